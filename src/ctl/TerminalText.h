#pragma once

#include <QString>

namespace corvane {

// What corvanectl prints comes partly from the service, the lookup and files: their control
// characters must not reach the terminal, where an escape sequence can retitle the window,
// clear the screen or worse.
class TerminalText final
{
public:
    // `text` with every control character (C0 but the line break and tab, DEL, C1) replaced by
    // U+FFFD.
    static QString printable(const QString &text);
    // JSON text with DEL and the C1 controls written as \u escapes too: JSON escapes only C0.
    static QString escapedJson(const QString &json);
};

} // namespace corvane
