#include "core/vpn/VPNStatus.h"

namespace corvane {

QString vpnStatusName(VPNStatus status)
{
    switch (status) {
    case VPNStatus::off:
        return QStringLiteral("off");
    case VPNStatus::connecting:
        return QStringLiteral("connecting");
    case VPNStatus::on:
        return QStringLiteral("on");
    case VPNStatus::disconnecting:
        return QStringLiteral("disconnecting");
    }
    return QStringLiteral("off");
}

} // namespace corvane
