#pragma once

#include <QObject>
#include <QString>

namespace corvane {

// A namespace of the enum's own lets moc describe it, so its case names come from QMetaEnum.
namespace vpnstatus {
Q_NAMESPACE

// The application's own view of the tunnel.
enum class VPNStatus
{
    off,
    connecting,
    on,
    disconnecting,
};
Q_ENUM_NS(VPNStatus)

} // namespace vpnstatus

using vpnstatus::VPNStatus;

// The case name, for log lines and corvanectl's output.
QString vpnStatusName(VPNStatus status);

} // namespace corvane
