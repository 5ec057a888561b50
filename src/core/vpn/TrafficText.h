#pragma once

#include "platform/tunnel/TunnelTraffic.h"

#include <QString>

namespace corvane {

// Byte counts and rates as people read them: decimal units, three figures ("12.3 KB/s",
// "1.4 GB", "512 B").
class TrafficText final
{
public:
    static QString amount(quint64 bytes);
    static QString rate(quint64 bytesPerSecond);
    // The window's and the tray's line: "↑ 12.3 KB/s ↓ 1.2 MB/s · 本次 1.4 GB", the total
    // both ways since the tunnel started.
    static QString line(const TunnelTraffic &traffic);
};

} // namespace corvane
