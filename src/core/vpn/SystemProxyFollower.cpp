#include "core/vpn/SystemProxyFollower.h"

#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "platform/log/Log.h"
#include "platform/systemproxy/SystemProxy.h"

namespace corvane {

namespace {
SystemProxyFollower *sharedFollower = nullptr;

bool samePorts(const std::optional<LocalProxyPorts> &a, const LocalProxyPorts &b)
{
    return a && a->socks == b.socks && a->http == b.http;
}
} // namespace

SystemProxyFollower::SystemProxyFollower(TunnelSequencer &sequencer, VpnManager &manager,
                                         SystemProxy &proxy, ProxyModeSetting setting,
                                         QObject *parent)
    : QObject(parent), m_sequencer(sequencer), m_manager(manager), m_proxy(proxy),
      m_setting(setting)
{
    connect(&m_manager, &VpnManager::statusChanged, this, &SystemProxyFollower::follow);
    connect(&m_sequencer, &TunnelSequencer::stateChanged, this, &SystemProxyFollower::follow);
    // The manager may have announced its first status already, and then says nothing until it
    // changes. Following it holds the setting for this process too, so that a change of address
    // it asks for is not taken, at the next helper's start, for settings a dead run left.
    QMetaObject::invokeMethod(this, &SystemProxyFollower::follow, Qt::QueuedConnection);
}

SystemProxyFollower::~SystemProxyFollower()
{
    if (sharedFollower == this)
        sharedFollower = nullptr;
}

SystemProxyFollower *SystemProxyFollower::shared()
{
    return sharedFollower;
}

void SystemProxyFollower::setShared(SystemProxyFollower *follower)
{
    sharedFollower = follower;
}

bool SystemProxyFollower::setMode(Mode mode)
{
    const bool kept = m_setting.set(mode);
    follow();
    Q_EMIT changed();
    return kept;
}

bool SystemProxyFollower::available() const
{
    return m_proxy.available();
}

bool SystemProxyFollower::unavailable() const
{
    return mode() == Mode::system && !available();
}

void SystemProxyFollower::follow()
{
    // A change of exit address stops one tunnel and starts the next on the same ports; one
    // that fails ends at idle with the tunnel off, and is given back then.
    if (m_sequencer.isSwitching())
        return;
    const Mode mode = m_setting.mode();
    const VPNStatus status = m_manager.vpnStatus();
    const std::optional<LocalProxyPorts> ports = m_manager.localProxy();
    if (mode == Mode::system && status == VPNStatus::on && ports) {
        if (!m_proxy.available()) {
            if (!std::exchange(m_toldUnavailable, true)) {
                Log::info(QStringLiteral("This desktop has no proxy settings to point at the "
                                         "tunnel; programs reach it through the local proxies"));
                Q_EMIT foundUnavailable();
            }
            return;
        }
        if (samePorts(m_applied, *ports))
            return;
        if (std::optional<QString> error = m_proxy.apply({ports->socks, ports->http})) {
            Log::warning(
                QStringLiteral("Cannot point the desktop's proxy settings at the tunnel: ") +
                *error);
            return;
        }
        m_applied = ports;
        Q_EMIT changed();
        return;
    }
    // Connecting includes a relay being reached again: its proxies still listen meanwhile.
    if (mode == Mode::system && status != VPNStatus::off)
        return;
    giveBack();
}

void SystemProxyFollower::giveBack()
{
    const bool had = m_applied.has_value();
    m_applied.reset();
    // Also a journal that another program, or a run that died, left for a tunnel now gone.
    if (m_proxy.applied()) {
        if (std::optional<QString> error = m_proxy.restore())
            Log::warning(QStringLiteral("Cannot give back the desktop's proxy settings: ") +
                         *error);
    }
    if (had)
        Q_EMIT changed();
}

} // namespace corvane
