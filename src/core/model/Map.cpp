#include "core/model/Map.h"

#include "core/model/SCDateFormatterTransform.h"

#include <cmath>

namespace corvane {

void Map::text(QLatin1StringView key, QString &field) const
{
    const auto found = m_object.constFind(key);
    if (found != m_object.constEnd() && found->isString())
        field = found->toString();
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
    const auto found = m_object.constFind(key);
    if (found == m_object.constEnd() || !found->isDouble())
        return;
    if (const auto number = wholeNumber(*found))
        field = *number;
}

void Map::real(QLatin1StringView key, double &field) const
{
    const auto found = m_object.constFind(key);
    if (found != m_object.constEnd() && found->isDouble())
        field = found->toDouble();
}

void Map::real(QLatin1StringView key, float &field) const
{
    const auto found = m_object.constFind(key);
    if (found != m_object.constEnd() && found->isDouble())
        field = static_cast<float>(found->toDouble());
}

void Map::transformed(QLatin1StringView key, const SCDateFormatterTransform &transform,
                      QString &field) const
{
    const auto found = m_object.constFind(key);
    if (found == m_object.constEnd())
        return;
    if (const auto text = transform.transformFromJSON(*found))
        field = *text;
}

} // namespace corvane
