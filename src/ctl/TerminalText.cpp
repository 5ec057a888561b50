#include "ctl/TerminalText.h"

namespace corvane {

namespace {
bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}
} // namespace

QString TerminalText::printable(const QString &text)
{
    QString shown = text;
    for (QChar &c : shown) {
        if (isControl(c.unicode()) && c != u'\n' && c != u'\t')
            c = QChar::ReplacementCharacter;
    }
    return shown;
}

QString TerminalText::escapedJson(const QString &json)
{
    QString escaped;
    escaped.reserve(json.size());
    for (const QChar c : json) {
        // Only C0 is escaped already, so anything left is inside a string, where \u is valid.
        if (isControl(c.unicode()))
            escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

} // namespace corvane
