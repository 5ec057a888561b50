#include "app/ConnectOnLaunch.h"

#include "core/config/ServiceEndpoints.h"
#include "core/vpn/VpnManager.h"

namespace corvane {

void ConnectOnLaunch::connect()
{
    VpnManager &manager = VpnManager::shared();
    manager.address = ServiceEndpoints::current().tunnelHost;
    manager.pwd.clear();
    manager.port = ServiceEndpoints::current().tunnelPort;
    manager.connectTunnel();
}

} // namespace corvane
