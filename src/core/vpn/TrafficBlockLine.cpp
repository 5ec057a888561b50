#include "core/vpn/TrafficBlockLine.h"

#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"
#include "platform/settings/SettingsStore.h"

namespace corvane {

QString TrafficBlockLine::of(ProxyModeSetting::Mode mode, const VpnManager &manager,
                             const TunnelSequencer &sequencer)
{
    if (mode != ProxyModeSetting::Mode::systemWide)
        return {};
    // The helper retries its lost relay itself; nothing has ended yet, so it gives no reason.
    const TunnelConnection *connection = manager.connection();
    if (connection && connection->status() == TunnelStatus::Reasserting)
        return TunnelTexts::trafficBlocked(TunnelEndReason{TunnelEndReason::Kind::lost, {}});
    if (sequencer.isReconnecting() && manager.vpnStatus() != VPNStatus::on)
        return TunnelTexts::trafficBlocked(manager.endReason);
    // The reconnect gave up, and the last helper left the block in place.
    if (connection && manager.vpnStatus() == VPNStatus::off && connection->leftTrafficBlocked())
        return TunnelTexts::trafficBlocked(manager.endReason);
    return {};
}

QString TrafficBlockLine::now()
{
    return of(ProxyModeSetting(SettingsStore::shared()).mode(), VpnManager::shared(),
              TunnelSequencer::shared());
}

} // namespace corvane
