#pragma once

#include <QString>

namespace corvane {

// corvanectl speaks the language of the user's locale for messages (LocaleText's rule). Whatever
// is meant for scripts (JSON, option names, status words) is the same in both.
class CtlText final
{
public:
    static bool chinese();
    static QString pick(const QString &english, const QString &chinese);
    // The client's own sign-in messages and the service's known refusals, which are Chinese,
    // in the language of the locale; any other text as it comes.
    static QString message(const QString &text);
};

} // namespace corvane
