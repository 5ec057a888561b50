#pragma once

#include "platform/resources/Localization.h"

#include <QString>

namespace corvane {

// The home screen's choices as every way in shows them: the province list's first row, the
// de-duplication sheet and its two rules.
class ChoiceTexts final
{
public:
    ChoiceTexts() = delete;

    // "随机省份", the province index -1.
    static QString anyProvince(Localization::Language language);
    static QString anyProvince();
    // "去重设置".
    static QString deduplicationTitle();
    // The rule's title for the service's `nd`: "不去重" for 0, "24小时去重" for 1.
    static QString deduplication(qint64 nd);
};

} // namespace corvane
