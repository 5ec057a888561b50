#pragma once

#include <QString>

namespace corvane {

// The language of what the programs print for people: Chinese where the first of LC_ALL,
// LC_MESSAGES and LANG that is set names a zh_* locale, English otherwise.
class LocaleText final
{
public:
    static bool chinese();
    static QString pick(const QString &english, const QString &chinese);
};

} // namespace corvane
