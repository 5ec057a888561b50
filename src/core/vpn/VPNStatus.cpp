#include "core/vpn/VPNStatus.h"

#include <QMetaEnum>

namespace corvane {

QString vpnStatusName(VPNStatus status)
{
    return QString::fromLatin1(
        QMetaEnum::fromType<VPNStatus>().valueToKey(static_cast<int>(status)));
}

} // namespace corvane
