#include "app/launch/LaunchEnvironment.h"

#include "core/vpn/VpnManager.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include <QCoreApplication>

namespace corvane {

namespace {
void override(const QProcessEnvironment &environment, const QString &name, QString &value)
{
    const QString set = environment.value(name);
    if (!set.isEmpty())
        value = set;
}
} // namespace

ServiceEndpoints LaunchEnvironment::endpoints(const QProcessEnvironment &environment)
{
    ServiceEndpoints endpoints;
    override(environment, QStringLiteral("CORVANE_SERVICE_URL"), endpoints.serviceBaseAddress);
    override(environment, QStringLiteral("CORVANE_LOOKUP_URL"), endpoints.lookupBaseAddress);
    override(environment, QStringLiteral("CORVANE_TUNNEL_HOST"), endpoints.tunnelHost);
    override(environment, QStringLiteral("CORVANE_RELAY_HOST"), endpoints.relayHost);
    return endpoints;
}

QString LaunchEnvironment::tunnelHelper(const QProcessEnvironment &environment)
{
    return environment.value(QStringLiteral("CORVANE_TUNNEL_HELPER"));
}

QString LaunchEnvironment::demoService(const QProcessEnvironment &environment)
{
    const QString set = environment.value(QStringLiteral("CORVANE_DEMO_SERVICE"));
    return set.isEmpty()
               ? QCoreApplication::applicationDirPath() + QStringLiteral("/corvane-demo-service")
               : set;
}

TunnelProfileStore *LaunchEnvironment::install(const QProcessEnvironment &environment)
{
    ServiceEndpoints::install(endpoints(environment));
    auto store = std::make_unique<LinuxTunnelProfileStore>(
        LinuxTunnelProfileStore::defaultLocations(tunnelHelper(environment)));
    // The manager takes the store over and never lets it go, so the pointer stays good.
    TunnelProfileStore *installed = store.get();
    return VpnManager::installSharedStore(std::move(store)) ? installed : nullptr;
}

} // namespace corvane
