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
