#include "app/ConnectOnLaunch.h"

#include "core/vpn/TunnelSequencer.h"

namespace corvane {

void ConnectOnLaunch::connect()
{
    TunnelSequencer::shared().connectTunnel(TunnelRequest{TunnelRequest::Service{}});
}

} // namespace corvane
