#include "core/home/ChoiceTexts.h"

namespace corvane {

QString ChoiceTexts::anyProvince(Localization::Language language)
{
    return Localization::string(QStringLiteral("province.any"), language);
}

QString ChoiceTexts::anyProvince()
{
    return Localization::string(QStringLiteral("province.any"));
}

QString ChoiceTexts::deduplicationTitle()
{
    return Localization::string(QStringLiteral("dedup.title"));
}

QString ChoiceTexts::deduplication(qint64 nd)
{
    return Localization::string(nd == 1 ? QStringLiteral("dedup.24h")
                                        : QStringLiteral("dedup.none"));
}

} // namespace corvane
