#pragma once

#include "platform/tunnel/linux/TunnelChannel.h"

namespace corvane {

// The block a system-wide tunnel leaves when it goes down by itself (its relay lost): the
// machine's traffic goes nowhere until the tunnel is back. Stopping that tunnel, or starting one
// in another mode, gives the machine back through corvane-netd.
class SystemWideBlock final
{
public:
    static bool isLeftBy(const TunnelChannel &channel);
    // Asks the service to take the block away (briefly waiting for its answer) when the channel
    // left one; logs what failed.
    static void release(const TunnelChannel &channel);
};

} // namespace corvane
