#include "app/ConnectOnLaunch.h"

#include "core/home/ServiceTunnel.h"
#include "core/vpn/VpnManager.h"

namespace corvane {

void ConnectOnLaunch::connect()
{
    VpnManager &manager = VpnManager::shared();
    ServiceTunnel::fillManager(manager, ServiceTunnel::drawUid());
    manager.connectTunnel();
}

} // namespace corvane
