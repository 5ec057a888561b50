#pragma once

#include "core/home/AuthString.h"
#include "core/home/PublicAddressLookup.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VPNStatus.h"
#include "platform/tunnel/TunnelConnection.h"
#include "platform/tunnel/TunnelTraffic.h"

#include <QJsonObject>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class SystemProxy;
class SystemProxyFollower;
class TunnelProfileStore;
class VpnManager;

// The tunnel as corvanectl sees it: the one profile's status (the same helper channel a window
// follows), the order and choices its stored configuration was signed for, and the public
// address while it is up.
class TunnelSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TunnelSession)

public:
    struct Snapshot
    {
        VPNStatus status = VPNStatus::off;
        // What the stored configuration's signed string says; none without a configuration.
        std::optional<AuthStringFields> auth;
        // Where the tunnel's local proxies listen while it is on.
        std::optional<LocalProxyPorts> proxy;
        // What the running tunnel carried, once its helper told it.
        std::optional<TunnelTraffic> traffic;
        // Off, but the program that started the tunnel is bringing it back.
        bool reconnecting = false;
        // The proxyMode setting's value, which the next start takes (a running tunnel took it
        // at its own).
        QString mode = QStringLiteral("local");
    };

    TunnelSession(VpnManager &manager, TunnelProfileStore &store, QObject *parent = nullptr);
    ~TunnelSession() override;

    // The desktop's proxy settings that every session of this process follows; none leaves
    // them alone.
    static void useSystemProxy(SystemProxy *proxy);

    VpnManager &manager() { return m_manager; }
    TunnelSequencer &sequencer() { return m_sequencer; }
    // Null without a system proxy to follow.
    SystemProxyFollower *follower() { return m_follower.get(); }

    // Once the store has answered: the status and the stored configuration.
    void snapshot(std::function<void(const Snapshot &)> done);
    // Every status change of the tunnel, in order.
    void onStatusChanged(std::function<void(VPNStatus)> changed);
    // The public address now; none when the lookup fails or answers in another shape.
    void lookUp(std::function<void(const std::optional<PublicAddressAnswer> &)> done);

    // The running tunnel's figures as its helper tells them (the first about a second after
    // asking, then whenever they change), until `done` answers false; none while the tunnel is
    // off or once it goes down, and none after 3 s from a helper that does not tell them.
    void followTraffic(std::function<bool(const std::optional<TunnelTraffic> &)> done);
    // The open connections; none while the tunnel is off.
    void connections(TunnelConnection::ConnectionsDone done);

    // What `status --json` prints, and its one-line text form.
    static QJsonObject toJson(const Snapshot &snapshot,
                              const std::optional<PublicAddressAnswer> &address);
    static QStringList toText(const Snapshot &snapshot,
                              const std::optional<PublicAddressAnswer> &address);

private:
    VpnManager &m_manager;
    TunnelProfileStore &m_store;
    // Made before the status follower below, so that it has moved when a command hears.
    TunnelSequencer m_sequencer;
    PublicAddressLookup m_lookup;
    std::unique_ptr<SystemProxyFollower> m_follower;
    std::function<void(VPNStatus)> m_changed;
};

} // namespace corvane
