#pragma once

#include "platform/tunnel/TunnelConnection.h"

#include <QList>
#include <QPair>
#include <QString>

namespace corvane {

// Where the running tunnel's local proxies are, in the forms a person or a program takes them:
// the line the screens show, the addresses corvanectl prints and the proxy variables of a shell.
class LocalProxyAddress final
{
public:
    LocalProxyAddress() = delete;

    // host:port of each proxy on the loopback interface.
    static QString socks(const LocalProxyPorts &ports);
    static QString http(const LocalProxyPorts &ports);
    // Both proxies as URLs, as the tray copies them.
    static QString urls(const LocalProxyPorts &ports);
    // The line the home and quick connect screens show while the tunnel is on.
    static QString line(const LocalProxyPorts &ports);
    // Name and value of each variable that sends a program's traffic through the proxies.
    static QList<QPair<QString, QString>> environment(const LocalProxyPorts &ports);
};

} // namespace corvane
