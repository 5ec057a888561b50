#include "launch/LocaleText.h"

namespace corvane {

Localization::Language LocaleText::language()
{
    static const Localization::Language answer = [] {
        for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const QString value = qEnvironmentVariable(name);
            if (!value.isEmpty())
                return value.startsWith(QLatin1StringView("zh")) ? Localization::Language::chinese
                                                                 : Localization::Language::english;
        }
        return Localization::Language::english;
    }();
    return answer;
}

bool LocaleText::chinese()
{
    return language() == Localization::Language::chinese;
}

QString LocaleText::text(const QString &key)
{
    return Localization::string(key, language());
}

} // namespace corvane
