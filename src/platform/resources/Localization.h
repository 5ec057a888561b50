#pragma once

#include <QString>

namespace corvane {

// Texts by key from the key table among the resources: "Localizable" holds the Chinese texts,
// "Localizable.en" the English ones, with the same keys. A key without a text shows as itself.
class Localization final
{
public:
    enum class Language
    {
        chinese,
        english
    };

    // In the process's language: Chinese, the window's, unless a program chose another.
    static QString string(const QString &key);
    static QString string(const QString &key, Language language);
    // For every text a program shows, the core's among them; set once, before the first.
    static void setLanguage(Language language);
    // Forgets the loaded tables (after tests change the resource roots).
    static void reload();
};

} // namespace corvane
