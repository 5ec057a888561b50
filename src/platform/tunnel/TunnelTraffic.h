#pragma once

#include <QString>
#include <QtGlobal>

namespace corvane {

// What a running tunnel has carried since it started, in payload bytes, and how fast it carries
// now, in bytes a second; the relay's share apart (the rest went straight to destinations).
struct TunnelTraffic
{
    quint64 up = 0;
    quint64 down = 0;
    quint64 upRate = 0;
    quint64 downRate = 0;
    quint64 relayUp = 0;
    quint64 relayDown = 0;

    bool operator==(const TunnelTraffic &) const = default;
};

// One open connection of the tunnel's local proxies.
struct TunnelConnectionInfo
{
    // As the client named it, host:port.
    QString destination;
    // The rule that sent it its way: "<type>=<value>", "final" or "default".
    QString rule;
    bool relayed = false;
    quint64 up = 0;
    quint64 down = 0;
    qint64 ageSeconds = 0;

    bool operator==(const TunnelConnectionInfo &) const = default;
};

} // namespace corvane
