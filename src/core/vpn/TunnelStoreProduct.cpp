#include "core/vpn/TunnelStoreProduct.h"

#include "core/vpn/ProxyModeSetting.h"
#include "platform/log/Log.h"
#include "platform/settings/SettingsStore.h"

namespace corvane {

QString TunnelStoreProduct::authKey()
{
    return QStringLiteral("ss_auth");
}

LinuxTunnelProfileStore::ProxyPorts TunnelStoreProduct::proxyPorts()
{
    SettingsStore settings(SettingsStore::defaultFilePath());
    LinuxTunnelProfileStore::ProxyPorts ports;
    for (const auto &[key, port] :
         {std::pair{"socksPort", &ports.socks}, std::pair{"httpProxyPort", &ports.http}}) {
        const QJsonValue value = settings.object(QLatin1String(key));
        if (!value.isDouble())
            continue;
        const double number = value.toDouble();
        if (number < 0 || number > 65535 || number != static_cast<int>(number)) {
            Log::warning(QStringLiteral("Ignoring \"%1\" in %2: not a port number")
                             .arg(QLatin1String(key), settings.filePath()));
            continue;
        }
        *port = static_cast<quint16>(number);
    }
    const ProxyModeSetting::Mode mode = ProxyModeSetting(settings).mode();
    ports.pointSystemProxy = mode == ProxyModeSetting::Mode::system;
    ports.systemWide = mode == ProxyModeSetting::Mode::systemWide;
    return ports;
}

LinuxTunnelProfileStore::Product TunnelStoreProduct::product()
{
    return {&TunnelStoreProduct::proxyPorts, authKey()};
}

} // namespace corvane
