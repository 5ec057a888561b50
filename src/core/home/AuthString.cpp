#include "core/home/AuthString.h"

#include <QCryptographicHash>
#include <QDateTime>

namespace corvane {

QString makeAuthString(const AuthFields &fields)
{
    const QString time = QString::number(fields.time);
    const QString signing = QStringLiteral("orderId=") + fields.orderId +
                            QStringLiteral("&secret=") + fields.secret + QStringLiteral("&time=") +
                            time;
    const QByteArray sign =
        QCryptographicHash::hash(signing.toUtf8(), QCryptographicHash::Md5).toHex();
    QString result = QStringLiteral("orderId=") + fields.orderId + QStringLiteral("&time=") + time +
                     QStringLiteral("&sign=") + QLatin1StringView(sign);
    if (fields.pid >= 0)
        result += QStringLiteral("&pid=") + QString::number(fields.pid);
    result += QStringLiteral("&nd=") + QString::number(fields.nd) + QStringLiteral("&sip=") +
              QString::number(fields.sip) + QStringLiteral("&uid=") + QString::number(fields.uid);
    return result;
}

qint64 authTimeNow()
{
    return QDateTime::currentSecsSinceEpoch();
}

} // namespace corvane
