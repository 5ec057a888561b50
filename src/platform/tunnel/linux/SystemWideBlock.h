#pragma once

#include "platform/tunnel/linux/TunnelChannel.h"

#include <QObject>

namespace corvane {

// The block a system-wide tunnel leaves when it goes down by itself (its relay lost): the
// machine's traffic goes nowhere until the tunnel is back. Stopping that tunnel, or starting one
// in another mode, gives the machine back through corvane-netd.
class SystemWideBlock final
{
public:
    static bool isLeftBy(const TunnelChannel &channel);
    // Asks the service to take the block away when the channel left one; logs what failed.
    // The answer is dropped once `context` is gone.
    static void release(QObject *context, const TunnelChannel &channel);
};

} // namespace corvane
