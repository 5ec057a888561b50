#include "core/model/Map.h"

#include "core/model/SCDateFormatterTransform.h"

#include <cmath>

namespace corvane {

void Map::text(const QString &key, QString &field) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isString())
        field = value.toString();
}

void Map::integer(const QString &key, qint64 &field) const
{
    const QJsonValue value = m_object.value(key);
    if (!value.isDouble())
        return;
    // Whole numbers keep all 64 bits; fractions are cut towards zero, and numbers outside the
    // 64-bit range leave the field alone rather than wrap.
    const qint64 whole = value.toInteger(std::numeric_limits<qint64>::min());
    if (whole != std::numeric_limits<qint64>::min()) {
        field = whole;
        return;
    }
    const double number = value.toDouble();
    if (std::isfinite(number) && std::fabs(number) < 9.2e18)
        field = static_cast<qint64>(number);
}

void Map::real(const QString &key, double &field) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isDouble())
        field = value.toDouble();
}

void Map::real(const QString &key, float &field) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isDouble())
        field = static_cast<float>(value.toDouble());
}

void Map::transformed(const QString &key, const SCDateFormatterTransform &transform, QString &field) const
{
    if (const auto text = transform.transformFromJSON(m_object.value(key)))
        field = *text;
}

} // namespace corvane
