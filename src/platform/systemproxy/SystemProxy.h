#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace corvane {

// The desktop's own proxy settings (GSettings, and KIO on Plasma) pointed at the local proxies
// while a tunnel is on, and given back as they were. Every write is journalled first, so a run
// that dies leaves enough behind for the next one to restore.
class SystemProxy
{
public:
    struct Ports
    {
        quint16 socks = 0;
        quint16 http = 0;
    };

    SystemProxy() = default;
    virtual ~SystemProxy() = default;
    Q_DISABLE_COPY_MOVE(SystemProxy)

    // Whether this session has any proxy settings store a program reads (none on a bare window
    // manager); the window and the tray say so once and stay with the local proxies.
    virtual bool available() const = 0;
    // Points the desktop at the ports; journals what it replaces before the first write. Again
    // with the same ports it changes nothing.
    virtual std::optional<QString> apply(Ports ports) = 0;
    // Gives back each key that still holds what apply() wrote (a person's later change wins)
    // and removes the journal. Nothing to do when nothing was applied.
    virtual std::optional<QString> restore() = 0;
    // Whether a journal of an applied setting exists, in this run or left by one that died.
    virtual bool applied() const = 0;

    // What the desktop is told to reach directly: loopback, the private ranges and link-local,
    // so the local network, the router's page and the local proxies never go through the
    // tunnel.
    static QStringList directHosts()
    {
        return {QStringLiteral("localhost"),
                QStringLiteral("127.0.0.0/8"),
                QStringLiteral("::1"),
                QStringLiteral("10.0.0.0/8"),
                QStringLiteral("172.16.0.0/12"),
                QStringLiteral("192.168.0.0/16"),
                QStringLiteral("169.254.0.0/16"),
                QStringLiteral("fe80::/10"),
                QStringLiteral("fc00::/7")};
    }
};

} // namespace corvane
