#include "core/network/SCResponse.h"

namespace corvane {

void SCResponse::mapping(const Map &map)
{
    SCBaseModel::mapping(map);
    const QJsonValue resultValue = map.value(QStringLiteral("result"));
    if (!resultValue.isUndefined() && !resultValue.isNull())
        result = resultValue;

    const QJsonValue code = map.value(QStringLiteral("code"));
    if (code.isDouble()) {
        qint64 value = 0;
        map.integer(QStringLiteral("code"), value);
        resultCode = value;
    }

    const QJsonValue message = map.value(QStringLiteral("message"));
    if (message.isString())
        resultMsg = message.toString();
}

} // namespace corvane
