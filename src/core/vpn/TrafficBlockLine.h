#pragma once

#include "core/vpn/ProxyModeSetting.h"

#include <QString>

namespace corvane {

class TunnelSequencer;
class VpnManager;

// Says that the machine's traffic is blocked, and why, while it is: a system-wide tunnel that
// loses its relay keeps every program off the network (rather than letting it leave past the
// tunnel) until the tunnel is back, and nothing else on screen would tell the person.
class TrafficBlockLine final
{
public:
    TrafficBlockLine() = delete;

    // In `mode`, from the helper reasserting (its relay lost) or a drop the sequencer brings
    // back, until the tunnel is on again or stopped; empty otherwise.
    static QString of(ProxyModeSetting::Mode mode, const VpnManager &manager,
                      const TunnelSequencer &sequencer);
    // The shared manager's and sequencer's, in the mode as set now: the next try takes it.
    static QString now();
};

} // namespace corvane
