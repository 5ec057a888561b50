#include "core/model/SCDateFormatterTransform.h"

#include <QDateTime>
#include <array>
#include <charconv>
#include <cmath>

namespace corvane {

SCDateFormatterTransform::SCDateFormatterTransform(QString pattern)
    : m_pattern(std::move(pattern)), m_locale(QLocale::Chinese, QLocale::China)
{}

QString SCDateFormatterTransform::shortestText(double number)
{
    // Fixed notation of a double needs at most 309 integer digits plus sign, point and digits.
    std::array<char, 400> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return {};
    QString text = QString::fromLatin1(buffer.data(), end - buffer.data());
    if (!text.contains(u'.'))
        text += QStringLiteral(".0");
    return text;
}

std::optional<QString> SCDateFormatterTransform::transformFromJSON(const QJsonValue &value) const
{
    if (!value.isDouble())
        return std::nullopt;
    QString text = shortestText(value.toDouble());
    // Time stamps of this era in milliseconds have 13 digits; keeping 10 turns them into seconds.
    const qsizetype limit = text.startsWith(u'-') ? 11 : 10;
    if (text.size() > limit)
        text.truncate(limit);
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // At most 11 characters are left, so the number is far inside QDateTime's range.
    if (!ok)
        return QString();
    const auto msecs = static_cast<qint64>(std::llround(seconds * 1000.0));
    const QDateTime instant = QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime);
    return m_locale.toString(instant, m_pattern);
}

} // namespace corvane
