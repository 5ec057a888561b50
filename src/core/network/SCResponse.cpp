#include "core/network/SCResponse.h"

namespace corvane {

void SCResponse::mapping(const Map &map)
{
    SCBaseModel::mapping(map);
    const QJsonValue resultValue = map.value(QLatin1StringView("result"));
    if (!resultValue.isUndefined() && !resultValue.isNull())
        result = resultValue;

    resultCode = Map::wholeNumber(map.value(QLatin1StringView("code")));

    const QJsonValue message = map.value(QLatin1StringView("message"));
    if (message.isString())
        resultMsg = message.toString();
}

} // namespace corvane
