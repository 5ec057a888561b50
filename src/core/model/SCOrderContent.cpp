#include "core/model/SCOrderContent.h"

namespace corvane {

void SCOrderContent::mapping(const Map &map)
{
    SCBaseModel::mapping(map);
    map.text(QLatin1StringView("secret"), secret);
    map.records(QLatin1StringView("orderInfoList"), orderInfoList);
}

} // namespace corvane
