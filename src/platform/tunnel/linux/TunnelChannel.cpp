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

} // namespace corvane
