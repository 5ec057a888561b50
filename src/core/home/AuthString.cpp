#include "core/home/AuthString.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QHash>

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
    if (fields.provinceIndex >= 0)
        result += QStringLiteral("&pid=") + QString::number(fields.provinceIndex);
    result += QStringLiteral("&nd=") + QString::number(fields.nd) + QStringLiteral("&sip=") +
              QString::number(fields.sip) + QStringLiteral("&uid=") + QString::number(fields.uid);
    return result;
}

qint64 authTimeNow()
{
    return QDateTime::currentSecsSinceEpoch();
}

std::optional<AuthStringFields> parseAuthString(const QString &text)
{
    QHash<QString, QString> fields;
    for (const QString &pair : text.trimmed().split(u'&')) {
        const qsizetype equals = pair.indexOf(u'=');
        if (equals <= 0)
            return std::nullopt;
        fields.insert(pair.left(equals), pair.mid(equals + 1));
    }
    const auto whole = [](const QString &value) -> std::optional<qint64> {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        return ok ? std::optional<qint64>(number) : std::nullopt;
    };
    AuthStringFields parsed;
    parsed.orderId = fields.value(QStringLiteral("orderId"));
    parsed.time = fields.value(QStringLiteral("time"));
    parsed.sign = fields.value(QStringLiteral("sign"));
    parsed.uid = fields.value(QStringLiteral("uid"));
    const std::optional<qint64> nd = whole(fields.value(QStringLiteral("nd")));
    const std::optional<qint64> sip = whole(fields.value(QStringLiteral("sip")));
    if (parsed.orderId.isEmpty() || !whole(parsed.time) || parsed.sign.isEmpty() || !nd || !sip ||
        !whole(parsed.uid))
        return std::nullopt;
    parsed.nd = *nd;
    parsed.sip = *sip;
    if (fields.contains(QStringLiteral("pid"))) {
        parsed.provinceIndex = whole(fields.value(QStringLiteral("pid")));
        if (!parsed.provinceIndex)
            return std::nullopt;
    }
    return parsed;
}

} // namespace corvane
