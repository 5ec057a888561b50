#pragma once

#include "platform/tunnel/TunnelConnection.h"
#include "platform/tunnel/TunnelStatus.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace corvane {

// The files through which a window and the tunnel helper of one profile meet, all in the
// per-user runtime folder: the configuration handed to the helper (read and deleted by it),
// the helper's socket, its current status, its lock and its log.
class TunnelChannel final
{
public:
    explicit TunnelChannel(QString basePath) : m_base(std::move(basePath)) {}
    // File names come from a hash of the identifier, so a stored identifier never picks a path.
    static TunnelChannel forProfile(const QString &runtimeDir, const QString &identifier);

    QString basePath() const { return m_base; }
    QString configPath() const { return m_base + QStringLiteral(".conf"); }
    QString socketPath() const { return m_base + QStringLiteral(".sock"); }
    QString statusPath() const { return m_base + QStringLiteral(".status"); }
    QString lockPath() const { return m_base + QStringLiteral(".lock"); }
    // The local proxies' ports, one "proxy" line, while the helper's proxies listen.
    QString proxyPath() const { return m_base + QStringLiteral(".proxy"); }
    QString logPath() const { return m_base + QStringLiteral(".log"); }
    // Which program last started a helper on this channel.
    QString ownerPath() const { return m_base + QStringLiteral(".owner"); }
    // The reason line of a helper that ended by itself, kept until the next helper starts: a
    // window that had not reached the socket in time still learns why.
    QString reasonPath() const { return m_base + QStringLiteral(".reason"); }
    // There while a system-wide tunnel that went down by itself keeps the machine's traffic
    // blocked: whoever stops the tunnel or starts one in another mode gives the machine back.
    QString blockPath() const { return m_base + QStringLiteral(".block"); }

    // Wire format: one status name per line from the helper, "stop" from a window.
    static QByteArray stopCommand() { return QByteArrayLiteral("stop\n"); }
    // A line without its line break.
    static bool isStopCommand(QByteArrayView line) { return line == "stop"; }
    // Sent right before "stop" when a tunnel on the same ports follows at once: the helper
    // leaves the desktop's proxy settings to the next one.
    static QByteArray handOverCommand() { return QByteArrayLiteral("hand-over\n"); }
    static bool isHandOverCommand(QByteArrayView line) { return line == "hand-over"; }
    // The status that a line from the helper, or the status file's content, names; none for
    // anything else. Surrounding white space does not count.
    static std::optional<TunnelStatus> parseStatus(QByteArrayView text);
    // The ports of "proxy <socks5 port> <http port>", the helper's line about its proxies.
    static std::optional<LocalProxyPorts> parseProxyLine(QByteArrayView line);
    // "reason <kind>[ <detail>]", sent before "disconnected" when the tunnel went down by
    // itself: kind one of port, unreachable, refused, protocol, lost; detail UTF-8 text on one
    // line.
    static QByteArray reasonLine(TunnelEndReason::Kind kind, const QString &detail = {});
    static std::optional<TunnelEndReason> parseReasonLine(QByteArrayView line);

private:
    QString m_base;
};

} // namespace corvane
