#include "core/model/Map.h"

#include "core/model/SCDateFormatterTransform.h"

#include <cmath>

namespace corvane {

void Map::text(QLatin1StringView key, QString &field) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isString())
        field = value.toString();
}

std::optional<qint64> Map::wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // Only whole numbers in the 64-bit range count: 0.5 must not read as a success code 0, and
    // huge values must not wrap.
    const double number = value.toDouble();
    if (number != std::trunc(number) || !(std::fabs(number) < 0x1p63))
        return std::nullopt;
    // Integers stored as such keep all 64 bits; toDouble() above may have rounded them.
    return value.toInteger(static_cast<qint64>(number));
}

void Map::integer(QLatin1StringView key, qint64 &field) const
{
    if (const auto number = wholeNumber(m_object.value(key)))
        field = *number;
}

void Map::real(QLatin1StringView key, double &field) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isDouble())
        field = value.toDouble();
}

void Map::real(QLatin1StringView key, float &field) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isDouble())
        field = static_cast<float>(value.toDouble());
}

void Map::transformed(QLatin1StringView key, const SCDateFormatterTransform &transform,
                      QString &field) const
{
    if (const auto text = transform.transformFromJSON(m_object.value(key)))
        field = *text;
}

} // namespace corvane
