#pragma once

#include "platform/tunnel/TunnelProfileStore.h"
#include "platform/tunnel/linux/ProfileFile.h"
#include "platform/tunnel/linux/TunnelChannel.h"

#include <QHash>
#include <QPointer>
#include <functional>
#include <optional>

class QFileSystemWatcher;

namespace corvane {

class LinuxTunnelConnection;

// The profile store of a Linux desktop: a 0600 JSON file in the per-user data folder, and per
// profile a tunnel run by a helper process that outlives the window. Every request reads or
// writes the file at once, so requests take effect in issue order and another window process
// sees them.
class LinuxTunnelProfileStore final : public TunnelProfileStore
{
    Q_OBJECT

public:
    struct Locations
    {
        QString storeFile;
        QString runtimeDir;
        QString helperProgram;
    };

    // The local proxies' ports a helper is started with; unset ones are the helper's defaults.
    struct ProxyPorts
    {
        std::optional<quint16> socks;
        std::optional<quint16> http;
        // The helper points the desktop's proxy settings at them itself: corvanectl may have
        // exited before the tunnel comes up.
        bool pointSystemProxy = false;
        // The helper asks corvane-netd for the system-wide mode's TUN device, and ends the
        // tunnel with the reason when it cannot have it.
        bool systemWide = false;
    };
    // What the product decides and the store carries out, told by the layer that knows the
    // user's settings and the provider configuration.
    struct Product
    {
        // Asked at each helper start, so a change of the settings takes effect at the next.
        std::function<ProxyPorts()> proxyPorts;
        // The provider configuration's key of the signed string.
        QString authKey;
    };

    // $XDG_DATA_HOME/corvane/profiles.json, $XDG_RUNTIME_DIR/corvane, and `helperProgram`, or
    // the helper next to the application when that is empty.
    static Locations defaultLocations(const QString &helperProgram = {});

    // Whether a new store tidies the runtime folder at once or leaves it to tidyRuntimeFolder(),
    // for a window that has its first frame to paint.
    enum class Tidying
    {
        atOnce,
        later
    };

    // A store is made once per process, at launch.
    LinuxTunnelProfileStore(Locations locations, Product product, QObject *parent = nullptr,
                            Tidying tidying = Tidying::atOnce);
    ~LinuxTunnelProfileStore() override;
    Q_DISABLE_COPY_MOVE(LinuxTunnelProfileStore)

    void loadAll(LoadCompletion completion) override;
    void save(const TunnelProfilePtr &profile, Completion completion) override;
    void reload(const TunnelProfilePtr &profile, Completion completion) override;
    void remove(const TunnelProfilePtr &profile, Completion completion) override;
    TunnelProfilePtr makeProfile() override;

    // Stops the helpers that no profile in use owns and removes configurations that no running
    // helper will read.
    void tidyRuntimeFolder();
    Locations locations() const { return m_locations; }
    ProxyPorts proxyPorts() const { return m_product.proxyPorts(); }
    // How long a save or remove waits for another process's change of the store.
    void setLockWait(std::chrono::milliseconds wait) { m_file.setLockWait(wait); }
    TunnelChannel channel(const QString &identifier) const;
    // The profile as last saved, for a tunnel start.
    std::variant<StoredProfile, TunnelError> storedProfile(const QString &identifier) const;
    // The stored configuration's signed string; empty when there is none.
    QString storedAuthString(const QString &identifier) const;
    // Empties the stored signed string if it still is `auth`: a tunnel that is down needs it
    // no more, and it should not linger on disk.
    void forgetAuthString(const QString &identifier, const QString &auth);

private:
    void watchRuntimeFolder();
    void runtimeFolderChanged();
    TunnelProfilePtr toProfile(const StoredProfile &stored);
    // Under the store's lock: reads the store, lets `change` edit the list (given the profile's
    // index, or -1), and writes it back unless reading failed or `change` refused with an error.
    std::optional<TunnelError> modifyStored(
        const QString &identifier,
        const std::function<std::optional<TunnelError>(QList<StoredProfile> &, qsizetype)> &change);
    LinuxTunnelConnection *connection(const QString &identifier);

    Locations m_locations;
    Product m_product;
    ProfileFile m_file;
    QHash<QString, QPointer<LinuxTunnelConnection>> m_connections;
    QFileSystemWatcher *m_watcher = nullptr;
};

} // namespace corvane
