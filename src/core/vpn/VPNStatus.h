#pragma once

#include <QString>

namespace corvane {

// The application's own view of the tunnel.
enum class VPNStatus
{
    off,
    connecting,
    on,
    disconnecting,
};

// The case name, for log lines.
QString vpnStatusName(VPNStatus status);

} // namespace corvane
