#pragma once

#include <QString>

namespace corvane {

// Texts by key from the "Localizable" table among the resources; a key without a text shows
// as itself.
class Localization final
{
public:
    static QString string(const QString &key);
    // Forgets the loaded table (after tests change the resource roots).
    static void reload();
};

} // namespace corvane
