#pragma once

#include "platform/resources/Localization.h"

#include <QString>

namespace corvane {

// The language of what the programs print for people: Chinese where the first of LC_ALL,
// LC_MESSAGES and LANG that is set names a zh_* locale, English otherwise.
class LocaleText final
{
public:
    static Localization::Language language();
    static bool chinese();
    // The key table's text for `key` in that language.
    static QString text(const QString &key);
};

} // namespace corvane
