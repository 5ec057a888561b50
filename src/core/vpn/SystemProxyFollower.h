#pragma once

#include "core/vpn/ProxyModeSetting.h"
#include "platform/tunnel/TunnelConnection.h"

#include <QObject>
#include <optional>

namespace corvane {

class SystemProxy;
class TunnelSequencer;
class VpnManager;

// Points the desktop's proxy settings at the local proxies while the tunnel is on in the system
// mode, and gives them back when it is off for good or the mode goes back to local. A change of
// exit address keeps them: its ports do not change. The tunnel's helper gives them back when it
// ends (corvanectl may be gone by then); this gives them back where the helper could not (it was
// killed) and when the person changes the mode.
class SystemProxyFollower final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SystemProxyFollower)

public:
    using Mode = ProxyModeSetting::Mode;

    SystemProxyFollower(TunnelSequencer &sequencer, VpnManager &manager, SystemProxy &proxy,
                        ProxyModeSetting setting, QObject *parent = nullptr);
    ~SystemProxyFollower() override;

    // The window's, once the application has made it; none in corvanectl and most tests.
    static SystemProxyFollower *shared();
    static void setShared(SystemProxyFollower *follower);

    Mode mode() const { return m_setting.mode(); }
    // Keeps the choice and follows it at once; false when it could not be kept.
    bool setMode(Mode mode);
    // The desktop's proxy settings point at this tunnel's proxies now.
    bool pointsHere() const { return m_applied.has_value(); }
    // Whether this desktop has proxy settings to point (none on a bare window manager).
    bool available() const;
    // The system mode is chosen but this desktop has no proxy settings to point.
    bool unavailable() const;
    // Brings the desktop's settings in line with the tunnel and the mode.
    void follow();

Q_SIGNALS:
    // pointsHere() or unavailable() may have changed.
    void changed();
    // The system mode met a desktop without proxy settings, the first time in this run.
    void foundUnavailable();

private:
    void giveBack();

    TunnelSequencer &m_sequencer;
    VpnManager &m_manager;
    SystemProxy &m_proxy;
    ProxyModeSetting m_setting;
    std::optional<LocalProxyPorts> m_applied;
    bool m_toldUnavailable = false;
};

} // namespace corvane
