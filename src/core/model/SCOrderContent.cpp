#include "core/model/SCOrderContent.h"

namespace corvane {

void SCOrderContent::mapping(const Map &map)
{
    SCBaseModel::mapping(map);
    map.text(QStringLiteral("secret"), secret);
    map.records(QStringLiteral("orderInfoList"), orderInfoList);
}

} // namespace corvane
