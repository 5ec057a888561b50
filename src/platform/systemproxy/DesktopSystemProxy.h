#pragma once

#include "platform/systemproxy/SystemProxy.h"

#include <memory>
#include <vector>

namespace corvane {

class ProxyKeyStore;
struct ProxyJournal;

// The desktop's proxy settings: GSettings wherever its proxy schemas are installed, and on
// Plasma (or wherever a kioslaverc exists) KIO's as well. The journal, its lock and the in-use
// mark live in the user's config folder; every program of the user reads the same journal, so
// a second apply() keeps the first one's "before" values.
class DesktopSystemProxy final : public SystemProxy
{
public:
    struct Locations
    {
        QString journalFile;
        QString kioFile;
        // Where running tunnel helpers keep their channels (and say their proxies' ports).
        QString runtimeDir;
        // The session is Plasma's, whose KIO settings are written even before a kioslaverc
        // exists.
        bool plasma = false;
        // An autostart entry kept for as long as the journal, so that the next login gives the
        // settings back even when Corvane itself does not start then; it runs `loginProgram`
        // (corvanectl, whose every start repairs) with --version, which does nothing else.
        QString loginEntry;
        QString loginProgram;
    };

    // $XDG_CONFIG_HOME/corvane/system-proxy.journal, $XDG_CONFIG_HOME/kioslaverc, the tunnel
    // helpers' runtime folder, XDG_CURRENT_DESKTOP naming KDE, and
    // $XDG_CONFIG_HOME/autostart/com.corvane.Corvane.SystemProxy.desktop running the
    // corvanectl beside this program, or the installed one seen from the helper's folder.
    static Locations defaultLocations();

    explicit DesktopSystemProxy(Locations locations = defaultLocations());
    ~DesktopSystemProxy() override;
    Q_DISABLE_COPY_MOVE(DesktopSystemProxy)

    bool available() const override;
    std::optional<QString> apply(Ports ports) override;
    std::optional<QString> restore() override;
    bool applied() const override;

    // For the start of every program, before anything touches the tunnel: restores a journal
    // left by a run that died, unless a program that applied it still runs (its in-use mark is
    // held) or a live tunnel helper still serves its ports. Says what it did in the log.
    std::optional<QString> repair();

private:
    std::vector<std::unique_ptr<ProxyKeyStore>> storesInUse() const;
    std::unique_ptr<ProxyKeyStore> store(const QString &name) const;
    // The journal, or none; one that is refused is logged and set aside, never followed.
    std::optional<ProxyJournal> loadJournal() const;
    // Under the journal's lock.
    std::optional<QString> restoreJournal(const ProxyJournal &journal);
    bool heldElsewhere() const;
    bool servedByLiveTunnel(Ports ports) const;
    void release();

    Locations m_locations;
    int m_inUse = -1;
};

} // namespace corvane
