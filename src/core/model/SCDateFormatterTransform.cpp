#include "core/model/SCDateFormatterTransform.h"

#include <QDateTime>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace corvane {

namespace {

// Numeric fields only: names of months or days would need the locale.
bool isNumericField(QChar letter, int width)
{
    switch (letter.unicode()) {
    case u'y':
        return width == 2 || width == 4;
    case u'M':
    case u'd':
    case u'H':
    case u'm':
    case u's':
        return width == 1 || width == 2;
    default:
        return false;
    }
}

std::vector<SCDateFormatterTransform::Field> compile(const QString &pattern)
{
    std::vector<SCDateFormatterTransform::Field> fields;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == u'\'')
            return {};
        if (c.unicode() > 0x7f || !c.isLetter()) {
            if (fields.empty() || !fields.back().letter.isNull())
                fields.push_back({QChar(), 0, QString()});
            fields.back().literal += c;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < pattern.size() && pattern.at(end) == c)
            ++end;
        const int width = static_cast<int>(end - i);
        if (!isNumericField(c, width))
            return {};
        fields.push_back({c, width, QString()});
        i = end;
    }
    return fields;
}

// Fixed notation of a double needs at most 309 integer digits plus sign, point and digits.
constexpr size_t kTextCapacity = 400;

// Writes the shortest plain-decimal text that reads back as `number` and returns its length.
qsizetype renderShortest(double number, std::array<char, kTextCapacity> &buffer)
{
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size() - 2, number,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return 0;
    char *tail = end;
    if (std::find(buffer.data(), tail, '.') == tail) {
        *tail++ = '.';
        *tail++ = '0';
    }
    return tail - buffer.data();
}

} // namespace

SCDateFormatterTransform::SCDateFormatterTransform(QString pattern)
    : m_pattern(std::move(pattern)), m_locale(QLocale::Chinese, QLocale::China),
      m_fields(compile(m_pattern))
{}

QString SCDateFormatterTransform::shortestText(double number)
{
    std::array<char, kTextCapacity> buffer{};
    return QString::fromLatin1(buffer.data(), renderShortest(number, buffer));
}

std::optional<QString> SCDateFormatterTransform::transformFromJSON(const QJsonValue &value) const
{
    if (!value.isDouble())
        return std::nullopt;
    std::array<char, kTextCapacity> buffer{};
    qsizetype textLength = renderShortest(value.toDouble(), buffer);
    // Time stamps of this era in milliseconds have 13 digits; keeping 10 turns them into seconds.
    const qsizetype limit = buffer[0] == '-' ? 11 : 10;
    textLength = std::min(textLength, limit);
    double seconds = 0;
    if (std::from_chars(buffer.data(), buffer.data() + textLength, seconds).ec != std::errc())
        return QString();
    if (m_fields.empty()) {
        const auto msecs = static_cast<qint64>(std::llround(seconds * 1000.0));
        return m_locale.toString(QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime), m_pattern);
    }

    // Whole seconds are enough for the numeric fields; the C library applies the device zone
    // at a fraction of QDateTime's cost.
    const auto whole = static_cast<std::time_t>(std::floor(seconds));
    std::tm local{};
    if (!localtime_r(&whole, &local))
        return QString();
    std::array<char16_t, 128> out{};
    size_t length = 0;
    const auto put = [&](char16_t c) {
        if (length < out.size())
            out[length++] = c;
    };
    const auto putNumber = [&](int number, int width) {
        std::array<char, 16> digits{};
        const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), number);
        for (int pad = static_cast<int>(end - digits.data()); ec == std::errc() && pad < width;
             ++pad)
            put(u'0');
        for (const char *d = digits.data(); d != end; ++d)
            put(static_cast<char16_t>(*d));
    };
    for (const Field &field : m_fields) {
        switch (field.letter.unicode()) {
        case 0:
            for (QChar c : field.literal)
                put(c.unicode());
            break;
        case u'y':
            if (field.width == 4)
                putNumber(local.tm_year + 1900, 4);
            else
                putNumber(std::abs(local.tm_year + 1900) % 100, 2);
            break;
        case u'M':
            putNumber(local.tm_mon + 1, field.width);
            break;
        case u'd':
            putNumber(local.tm_mday, field.width);
            break;
        case u'H':
            putNumber(local.tm_hour, field.width);
            break;
        case u'm':
            putNumber(local.tm_min, field.width);
            break;
        case u's':
            putNumber(local.tm_sec, field.width);
            break;
        }
    }
    return QString(reinterpret_cast<const QChar *>(out.data()), static_cast<qsizetype>(length));
}

} // namespace corvane
