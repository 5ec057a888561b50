#include "core/model/SCBaseModel.h"

#include "core/model/SCDateFormatterTransform.h"

namespace corvane {

void SCBaseModel::mapping(const Map &map)
{
    // Built once: a transform holds no state that one record could leave for the next, and the
    // device's zone is read at each formatting.
    static const SCDateFormatterTransform createFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    static const SCDateFormatterTransform modifyFormat(QStringLiteral("yyyy年MM月dd HH:mm"));
    map.transformed(QLatin1StringView("createTime"), createFormat, createTime);
    map.transformed(QLatin1StringView("modifyTime"), modifyFormat, modifyTime);
    // The same key again, kept as the raw number.
    map.real(QLatin1StringView("modifyTime"), modifyTimeStamp);
}

} // namespace corvane
