#include "core/model/SCBaseModel.h"

#include "core/model/SCDateFormatterTransform.h"

namespace corvane {

void SCBaseModel::mapping(const Map &map)
{
    map.transformed(QStringLiteral("createTime"),
                    SCDateFormatterTransform(QStringLiteral("yyyy-MM-dd HH:mm")), createTime);
    map.transformed(QStringLiteral("modifyTime"),
                    SCDateFormatterTransform(QStringLiteral("yyyy年MM月dd HH:mm")), modifyTime);
    // The same key again, kept as the raw number.
    map.real(QStringLiteral("modifyTime"), modifyTimeStamp);
}

} // namespace corvane
