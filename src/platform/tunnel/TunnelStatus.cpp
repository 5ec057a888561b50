#include "platform/tunnel/TunnelStatus.h"

namespace corvane {

QString tunnelStatusName(TunnelStatus status)
{
    switch (status) {
    case TunnelStatus::Invalid:
        return QStringLiteral("invalid");
    case TunnelStatus::Disconnected:
        return QStringLiteral("disconnected");
    case TunnelStatus::Connecting:
        return QStringLiteral("connecting");
    case TunnelStatus::Connected:
        return QStringLiteral("connected");
    case TunnelStatus::Reasserting:
        return QStringLiteral("reasserting");
    case TunnelStatus::Disconnecting:
        return QStringLiteral("disconnecting");
    }
    return QStringLiteral("invalid");
}

std::optional<TunnelStatus> tunnelStatusFromName(QStringView name)
{
    for (TunnelStatus status :
         {TunnelStatus::Invalid, TunnelStatus::Disconnected, TunnelStatus::Connecting,
          TunnelStatus::Connected, TunnelStatus::Reasserting, TunnelStatus::Disconnecting}) {
        if (name == tunnelStatusName(status))
            return status;
    }
    return std::nullopt;
}

} // namespace corvane
