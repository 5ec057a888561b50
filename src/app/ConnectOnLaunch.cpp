#include "app/ConnectOnLaunch.h"

#include "core/vpn/VpnManager.h"

namespace corvane {

namespace {
constexpr qint64 kTunnelPort = 14223;
} // namespace

void ConnectOnLaunch::connect()
{
    VpnManager &manager = VpnManager::shared();
    const QString host = qEnvironmentVariable("CORVANE_TUNNEL_HOST");
    manager.address = host.isEmpty() ? QStringLiteral("127.0.0.1") : host;
    manager.pwd.clear();
    manager.port = kTunnelPort;
    manager.connectTunnel();
}

} // namespace corvane
