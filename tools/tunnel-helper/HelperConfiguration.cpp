#include "HelperConfiguration.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace corvane {

QString HelperConfiguration::problem(const QByteArray &data)
{
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return QStringLiteral("the configuration is not an object");
    const QJsonObject config = document.object();
    for (const char *key :
         {"ss_address", "ss_method", "ss_password", "ss_ip", "ss_auth", "json_conf"}) {
        if (!config.value(QLatin1String(key)).isString())
            return QStringLiteral("\"%1\" is missing or not text").arg(QLatin1String(key));
    }
    if (config.value(QLatin1String("ss_address")).toString().isEmpty())
        return QStringLiteral("\"ss_address\" is empty");
    if (!config.value(QLatin1String("ss_port")).isDouble() ||
        config.value(QLatin1String("ss_port")).toInteger() == 0)
        return QStringLiteral("\"ss_port\" is 0 or not a number");
    QJsonParseError error;
    QJsonDocument::fromJson(config.value(QLatin1String("json_conf")).toString().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("\"json_conf\" is not valid JSON: %1").arg(error.errorString());
    return {};
}

} // namespace corvane
