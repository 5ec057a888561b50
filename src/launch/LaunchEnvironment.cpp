#include "launch/LaunchEnvironment.h"

#include "core/state/LocalState.h"
#include "core/vpn/TunnelStoreProduct.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "platform/keyring/secret/SecretServiceKeyring.h"
#include "platform/resources/Resources.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>

namespace corvane {

namespace {
void override(const QProcessEnvironment &environment, const QString &name, QString &value)
{
    const QString set = environment.value(name);
    if (!set.isEmpty())
        value = set;
}

void override(const QProcessEnvironment &environment, const QString &name, qint64 &port)
{
    bool ok = false;
    const uint set = environment.value(name).toUInt(&ok);
    if (ok && set > 0 && set <= 65535)
        port = set;
}
} // namespace

ServiceEndpoints LaunchEnvironment::endpoints(const QProcessEnvironment &environment)
{
    ServiceEndpoints endpoints;
    override(environment, QStringLiteral("CORVANE_SERVICE_URL"), endpoints.serviceBaseAddress);
    override(environment, QStringLiteral("CORVANE_LOOKUP_URL"), endpoints.lookupBaseAddress);
    override(environment, QStringLiteral("CORVANE_TUNNEL_HOST"), endpoints.tunnelHost);
    override(environment, QStringLiteral("CORVANE_RELAY_HOST"), endpoints.relayHost);
    override(environment, QStringLiteral("CORVANE_TUNNEL_PORT"), endpoints.tunnelPort);
    override(environment, QStringLiteral("CORVANE_RELAY_PORT"), endpoints.relayPort);
    return endpoints;
}

QString LaunchEnvironment::companionProgram(const QString &name, const QString &appDir)
{
    // CORVANE_LIBEXEC_FROM_BIN is where the install puts these programs, seen from the folder
    // of corvane, so an unpacked or relocated package finds its own.
    const QString installed = appDir + QStringLiteral("/" CORVANE_LIBEXEC_FROM_BIN "/") + name;
    if (QFileInfo(installed).isExecutable())
        return QDir::cleanPath(installed);
    return appDir + u'/' + name;
}

QString LaunchEnvironment::tunnelHelper(const QProcessEnvironment &environment)
{
    QString program = companionProgram(QStringLiteral("corvane-tunnel-helper"),
                                       QCoreApplication::applicationDirPath());
    override(environment, QStringLiteral("CORVANE_TUNNEL_HELPER"), program);
    return program;
}

QString LaunchEnvironment::demoService(const QProcessEnvironment &environment)
{
    QString program = companionProgram(QStringLiteral("corvane-demo-service"),
                                       QCoreApplication::applicationDirPath());
    override(environment, QStringLiteral("CORVANE_DEMO_SERVICE"), program);
    return program;
}

LinuxTunnelProfileStore *LaunchEnvironment::install(const QProcessEnvironment &environment,
                                                    LinuxTunnelProfileStore::Tidying tidying)
{
    ServiceEndpoints::install(endpoints(environment));
    // A rules document of the demo's, which sends loopback destinations through the tunnel.
    const QString rulesDir = environment.value(QStringLiteral("CORVANE_RULES_DIR"));
    if (!rulesDir.isEmpty())
        Resources::setSearchRoots(QStringList{rulesDir} + Resources::searchRoots());
    auto store = std::make_unique<LinuxTunnelProfileStore>(
        LinuxTunnelProfileStore::defaultLocations(tunnelHelper(environment)),
        TunnelStoreProduct::product(), nullptr, tidying);
    // The manager takes the store over and never lets it go, so the pointer stays good.
    LinuxTunnelProfileStore *installed = store.get();
    return VpnManager::installSharedStore(std::move(store)) ? installed : nullptr;
}

void LaunchEnvironment::useDesktopKeyring()
{
    if (SecretServiceKeyring::available(QDBusConnection::sessionBus()))
        LocalState::installSharedKeyring(std::make_unique<SecretServiceKeyring>(kDesktopId));
}

} // namespace corvane
