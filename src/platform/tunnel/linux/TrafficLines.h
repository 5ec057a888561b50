#pragma once

#include "platform/tunnel/TunnelTraffic.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace corvane {

// The status channel's lines about traffic (docs/tunnel-helper.md, "The status channel"): a
// window asks "watch traffic" and is then sent "traffic" lines until it sends "unwatch traffic";
// "connections" is answered with
// one "connection" line per open connection and "connections end".
class TrafficLines final
{
public:
    static QByteArray watchCommand() { return QByteArrayLiteral("watch traffic\n"); }
    static bool isWatchCommand(QByteArrayView line) { return line == "watch traffic"; }
    static QByteArray unwatchCommand() { return QByteArrayLiteral("unwatch traffic\n"); }
    static bool isUnwatchCommand(QByteArrayView line) { return line == "unwatch traffic"; }
    static QByteArray connectionsCommand() { return QByteArrayLiteral("connections\n"); }
    static bool isConnectionsCommand(QByteArrayView line) { return line == "connections"; }
    static QByteArray endLine() { return QByteArrayLiteral("connections end\n"); }
    static bool isEndLine(QByteArrayView line) { return line == "connections end"; }

    // "traffic <up> <down> <upRate> <downRate> <relayUp> <relayDown>"; a reader takes six
    // numbers and ignores what follows them.
    static QByteArray trafficLine(const TunnelTraffic &traffic);
    static std::optional<TunnelTraffic> parseTrafficLine(QByteArrayView line);
    // "connection <relay|direct> <up> <down> <age s> <rule> <destination>", the last two
    // percent-encoded so that no byte a client sent can break the line.
    static QByteArray connectionLine(const TunnelConnectionInfo &connection);
    static std::optional<TunnelConnectionInfo> parseConnectionLine(QByteArrayView line);
};

} // namespace corvane
