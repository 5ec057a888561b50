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
    const QList<QByteArray> words = line.trimmed().toByteArray().split(' ');
    if (words.size() != 3 || words.at(0) != "proxy")
        return std::nullopt;
    bool socksOk = false;
    bool httpOk = false;
    const ushort socks = words.at(1).toUShort(&socksOk);
    const ushort http = words.at(2).toUShort(&httpOk);
    if (!socksOk || !httpOk || socks == 0 || http == 0)
        return std::nullopt;
    return LocalProxyPorts{socks, http};
}

} // namespace corvane
