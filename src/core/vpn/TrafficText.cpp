#include "core/vpn/TrafficText.h"

#include <array>

namespace corvane {

QString TrafficText::amount(quint64 bytes)
{
    static constexpr std::array kUnits{"B", "KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    // 999.96 KB would print as "1000.0 KB": it is 1.0 MB.
    while (value >= 999.95 && unit + 1 < kUnits.size()) {
        value /= 1000;
        ++unit;
    }
    if (unit == 0)
        return QStringLiteral("%1 B").arg(bytes);
    return QStringLiteral("%1 %2")
        .arg(value, 0, 'f', value < 99.95 ? 1 : 0)
        .arg(QLatin1String(kUnits[unit]));
}

QString TrafficText::rate(quint64 bytesPerSecond)
{
    return amount(bytesPerSecond) + QStringLiteral("/s");
}

QString TrafficText::line(const TunnelTraffic &traffic)
{
    return QStringLiteral("↑ %1 ↓ %2 · 本次 %3")
        .arg(rate(traffic.upRate), rate(traffic.downRate), amount(traffic.up + traffic.down));
}

} // namespace corvane
