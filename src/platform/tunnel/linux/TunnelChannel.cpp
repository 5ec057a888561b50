#include "platform/tunnel/linux/TunnelChannel.h"

#include <QCryptographicHash>

namespace corvane {

TunnelChannel TunnelChannel::forProfile(const QString &runtimeDir, const QString &identifier)
{
    const QByteArray hash =
        QCryptographicHash::hash(identifier.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return TunnelChannel(runtimeDir + u'/' + QString::fromLatin1(hash));
}

std::optional<TunnelStatus> TunnelChannel::parseStatus(QByteArrayView text)
{
    return tunnelStatusFromName(QString::fromUtf8(text.trimmed()));
}

namespace {

const QList<QPair<TunnelEndReason::Kind, QByteArray>> kReasonNames{
    {TunnelEndReason::Kind::port, "port"},
    {TunnelEndReason::Kind::unreachable, "unreachable"},
    {TunnelEndReason::Kind::refused, "refused"},
    {TunnelEndReason::Kind::protocol, "protocol"},
    {TunnelEndReason::Kind::lost, "lost"},
    {TunnelEndReason::Kind::systemWide, "system-wide"},
};

} // namespace

QByteArray TunnelChannel::reasonLine(TunnelEndReason::Kind kind, const QString &detail)
{
    QByteArray name = "other";
    for (const auto &[known, text] : kReasonNames) {
        if (known == kind)
            name = text;
    }
    // One line, whatever the service wrote.
    QString oneLine = detail.simplified();
    return "reason " + name + (oneLine.isEmpty() ? QByteArray() : ' ' + oneLine.toUtf8()) + '\n';
}

std::optional<TunnelEndReason> TunnelChannel::parseReasonLine(QByteArrayView line)
{
    const QByteArray text = line.trimmed().toByteArray();
    if (!text.startsWith("reason "))
        return std::nullopt;
    const QByteArray rest = text.mid(7);
    const qsizetype space = rest.indexOf(' ');
    const QByteArray name = space < 0 ? rest : rest.left(space);
    TunnelEndReason reason;
    for (const auto &[kind, known] : kReasonNames) {
        if (known == name)
            reason.kind = kind;
    }
    if (space >= 0)
        reason.detail = QString::fromUtf8(rest.mid(space + 1));
    return reason;
}

std::optional<LocalProxyPorts> TunnelChannel::parseProxyLine(QByteArrayView line)
{
    // Read in place: the window reads every line from the helper with this first.
    const QByteArrayView text = line.trimmed();
    if (!text.startsWith("proxy "))
        return std::nullopt;
    const QByteArrayView ports = text.sliced(6);
    const qsizetype space = ports.indexOf(' ');
    if (space < 0 || ports.sliced(space + 1).contains(' '))
        return std::nullopt;
    bool socksOk = false;
    bool httpOk = false;
    const ushort socks = ports.first(space).toUShort(&socksOk);
    const ushort http = ports.sliced(space + 1).toUShort(&httpOk);
    if (!socksOk || !httpOk || socks == 0 || http == 0)
        return std::nullopt;
    return LocalProxyPorts{socks, http};
}

} // namespace corvane
