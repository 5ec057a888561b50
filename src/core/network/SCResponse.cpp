#include "core/network/SCResponse.h"

namespace corvane {

void SCResponse::mapping(const Map &map)
{
    SCBaseModel::mapping(map);
    const QJsonValue resultValue = map.value(QStringLiteral("result"));
    if (!resultValue.isUndefined() && !resultValue.isNull())
        result = resultValue;

    resultCode = Map::wholeNumber(map.value(QStringLiteral("code")));

    const QJsonValue message = map.value(QStringLiteral("message"));
    if (message.isString())
        resultMsg = message.toString();
}

} // namespace corvane
