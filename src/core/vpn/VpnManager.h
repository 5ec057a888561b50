#pragma once

#include "core/vpn/VPNStatus.h"
#include "platform/tunnel/TunnelProfileStore.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// Posted with no object on every status refresh, right after statusChanged. The two screens
// whose steps are fixed (home and quick connect) follow this notification; everything else
// follows statusChanged (or the sequencer), which has moved by the time the screens hear.
inline const QString kProxyServiceVPNStatusNotification =
    QStringLiteral("kProxyServiceVPNStatusNotification");

// Owns the application's one tunnel profile: creates it, drops surplus copies, writes the
// provider configuration, starts and stops the tunnel and announces its status. The home and
// quick connect screens fill the connection fields and call connectTunnel or disconnectTunnel;
// every other way in goes through TunnelSequencer, the one other writer of the fields.
class VpnManager final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(corvane::VPNStatus status READ vpnStatus NOTIFY statusChanged)

public:
    // The process-wide instance, made on first use on the store installed by then; the
    // application installs one at launch, before anything uses the tunnel.
    static VpnManager &shared();
    // Puts `store` under the shared instance; only before its first use (false afterwards).
    static bool installSharedStore(std::unique_ptr<TunnelProfileStore> store);

    // An instance of its own on `store` (not owned), as the shared one is made.
    explicit VpnManager(TunnelProfileStore &store);
    ~VpnManager() override;
    Q_DISABLE_COPY_MOVE(VpnManager)

    void connectTunnel();
    // `stopped` runs once the stop has been handed to the tunnel (or there was none to stop).
    void disconnectTunnel(std::function<void()> stopped = {});
    // As disconnectTunnel, but a tunnel that `program` started is left running.
    void disconnectTunnelUnlessStartedBy(const QString &program,
                                         std::function<void()> stopped = {});
    // As disconnectTunnel, for a connect on the same ports that follows at once (a change of
    // exit address): the desktop's proxy settings stay for the next tunnel.
    void handOverTunnel();
    // Stops the tunnel of every stored profile, not only the first one's (two processes that
    // connected at once on an empty store made one each), but a tunnel that `sparedProgram`
    // started, when one is named. A connect still on its way through the store reaches its
    // start first, so that it cannot start the tunnel after the stop. For the application's end.
    void disconnectEveryTunnel(const QString &sparedProgram = {},
                               std::function<void()> stopped = {});
    // The provider configuration the first stored profile holds (empty without one), handed to
    // `done` once the store answers: what a tunnel that somebody else started runs with.
    void readConfiguration(std::function<void(const QVariantMap &configuration)> done);
    // The local proxies of the tunnel while it is on.
    std::optional<LocalProxyPorts> localProxy() const;
    // The profile's connection once it has been loaded: its traffic figures and open
    // connections.
    TunnelConnection *connection() const { return m_watched; }
    // The shared instance's, without making it: none before the application made it.
    static std::optional<LocalProxyPorts> sharedLocalProxy();

    bool observerAdded = false;
    QString address;
    QString ip;
    QString pwd;
    qint64 port = 0;
    // The relay's method; empty for the service's own.
    QString method;
    QString auth;
    qint64 nd = 0;
    qint64 sip = 0;
    quint32 uid = 0;

    // The last status seen on the profile's connection.
    VPNStatus vpnStatus() const { return m_vpnStatus; }
    // Why the last connect never reached a running start (the store, the rules or the tunnel's
    // files refused it), set before the status refresh that announces it; cleared by the next
    // connect. Callers that wait for a connect read it when the notification comes.
    std::optional<TunnelError> connectFailure;
    // Why the tunnel last went down by itself, as its helper said, set before the refresh that
    // announces off; cleared by the next connect.
    std::optional<TunnelEndReason> endReason;

Q_SIGNALS:
    // On every refresh, with kProxyServiceVPNStatusNotification: a status may be announced
    // again unchanged, and receivers that draw only changes compare.
    void statusChanged(corvane::VPNStatus status);

private:
    using ProfileCompletion = std::function<void(TunnelProfilePtr profile)>;
    // Whether a store that hands back no list is worth a log line: it is when a disconnect
    // asked for it, not for the status reads of creation and watching.
    enum class LoadErrors
    {
        ignore,
        log
    };

    void loadFirstProfile(ProfileCompletion completion, LoadErrors errors = LoadErrors::ignore);
    void prepareProfile(ProfileCompletion completion);
    TunnelProfilePtr makeProfile();
    void removeDuplicateProfiles(const QList<TunnelProfilePtr> &profiles);
    void applyProviderConfiguration(TunnelProfile &profile, const QString &rules);
    void startTunnel(const TunnelProfilePtr &profile);
    void stopTunnel(const TunnelProfilePtr &profile);
    void connectSettled();
    void watchStatus();
    // Whether the running tunnel of `profile` was started by `program` and is to be left.
    bool isSpared(const TunnelProfilePtr &profile, const QString &program) const;
    void refreshStatus(const TunnelProfile &profile);
    // Logs `reason`, keeps it in connectFailure and refreshes the status (from `profile` where
    // there is one) so that whoever waits for the connect hears of it now.
    void failConnect(const TunnelError &reason, const TunnelProfilePtr &profile = nullptr);

    VPNStatus m_vpnStatus = VPNStatus::off;
    TunnelProfileStore &m_store;
    // The connection whose changes are followed: each is watched once, however often the
    // profile is loaded again.
    QPointer<TunnelConnection> m_watched;
    // Connects between their request and their start (or failure), and what waits for them.
    int m_connectsOnTheirWay = 0;
    std::vector<std::function<void()>> m_afterConnects;
    // Bounds every observer and pending completion to this instance's life.
    std::unique_ptr<QObject> m_context;
};

} // namespace corvane
