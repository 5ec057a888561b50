#include "launch/LocaleText.h"

namespace corvane {

bool LocaleText::chinese()
{
    static const bool answer = [] {
        for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const QString value = qEnvironmentVariable(name);
            if (!value.isEmpty())
                return value.startsWith(QLatin1StringView("zh"));
        }
        return false;
    }();
    return answer;
}

QString LocaleText::pick(const QString &english, const QString &chinese)
{
    return LocaleText::chinese() ? chinese : english;
}

} // namespace corvane
