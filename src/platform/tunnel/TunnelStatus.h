#pragma once

#include <QString>
#include <optional>

namespace corvane {

// The six states a tunnel connection publishes, in the platform's order.
enum class TunnelStatus
{
    Invalid,
    Disconnected,
    Connecting,
    Connected,
    Reasserting,
    Disconnecting,
};

QString tunnelStatusName(TunnelStatus status);
// The status named by tunnelStatusName, or none for any other text.
std::optional<TunnelStatus> tunnelStatusFromName(QStringView name);

} // namespace corvane
