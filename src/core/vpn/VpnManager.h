#pragma once

#include "core/vpn/VPNStatus.h"
#include "platform/tunnel/TunnelProfileStore.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

namespace corvane {

// Posted with no object on every status refresh; receivers read VpnManager::shared().vpnStatus.
inline const QString kProxyServiceVPNStatusNotification =
    QStringLiteral("kProxyServiceVPNStatusNotification");

// Owns the application's one tunnel profile: creates it, drops surplus copies, writes the
// provider configuration, starts and stops the tunnel and announces its status. Screens fill the
// connection fields, call connectTunnel or disconnectTunnel, and follow the notification.
class VpnManager final
{
public:
    // The process-wide instance, made on first use on the store installed by then; the
    // application installs one at launch, before anything uses the tunnel.
    static VpnManager &shared();
    // Puts `store` under the shared instance; only before its first use (false afterwards).
    static bool installSharedStore(std::unique_ptr<TunnelProfileStore> store);

    // An instance of its own on `store` (not owned), as the shared one is made.
    explicit VpnManager(TunnelProfileStore &store);
    ~VpnManager();
    Q_DISABLE_COPY_MOVE(VpnManager)

    void connectTunnel();
    void disconnectTunnel();
    // As disconnectTunnel, but a tunnel that `program` started is left running.
    void disconnectTunnelUnlessStartedBy(const QString &program);
    // The local proxies of the tunnel while it is on.
    std::optional<LocalProxyPorts> localProxy() const;
    // The shared instance's, without making it: none before the application made it.
    static std::optional<LocalProxyPorts> sharedLocalProxy();

    bool observerAdded = false;
    QString address;
    QString ip;
    QString pwd;
    qint64 port = 0;
    QString auth;
    qint64 nd = 0;
    qint64 sip = 0;
    quint32 uid = 0;
    VPNStatus vpnStatus = VPNStatus::off;

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
    void watchStatus();
    void refreshStatus(const TunnelProfile &profile);

    TunnelProfileStore &m_store;
    // The connection whose changes are followed: each is watched once, however often the
    // profile is loaded again.
    QPointer<TunnelConnection> m_watched;
    // Bounds every observer and pending completion to this instance's life.
    std::unique_ptr<QObject> m_context;
};

} // namespace corvane
