#include "core/vpn/LocalProxyAddress.h"

namespace corvane {

QString LocalProxyAddress::socks(const LocalProxyPorts &ports)
{
    return QStringLiteral("127.0.0.1:%1").arg(ports.socks);
}

QString LocalProxyAddress::http(const LocalProxyPorts &ports)
{
    return QStringLiteral("127.0.0.1:%1").arg(ports.http);
}

QString LocalProxyAddress::urls(const LocalProxyPorts &ports)
{
    return QStringLiteral("socks5://") + socks(ports) + QStringLiteral(" · http://") + http(ports);
}

QString LocalProxyAddress::line(const LocalProxyPorts &ports)
{
    return QStringLiteral("本地代理 ") + urls(ports);
}

QList<QPair<QString, QString>> LocalProxyAddress::environment(const LocalProxyPorts &ports)
{
    // socks5h: names are resolved at the relay, so no lookup leaves this machine. curl and wget
    // read only the lower-case http_proxy, other programs only the upper-case names.
    const QString all = QStringLiteral("socks5h://") + socks(ports);
    const QString web = QStringLiteral("http://") + http(ports);
    return {{QStringLiteral("ALL_PROXY"), all},   {QStringLiteral("HTTP_PROXY"), web},
            {QStringLiteral("HTTPS_PROXY"), web}, {QStringLiteral("all_proxy"), all},
            {QStringLiteral("http_proxy"), web},  {QStringLiteral("https_proxy"), web}};
}

} // namespace corvane
