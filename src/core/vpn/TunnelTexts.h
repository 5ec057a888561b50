#pragma once

#include "core/vpn/VPNStatus.h"
#include "platform/tunnel/TunnelConnection.h"
#include "platform/tunnel/TunnelError.h"

#include <QString>
#include <optional>

namespace corvane {

// How the tunnel reads wherever Corvane shows it: on the screens, in the tray and in
// corvanectl's messages.
class TunnelTexts final
{
public:
    TunnelTexts() = delete;

    // A step under way, as a connect button reads until the tunnel reports.
    static QString connecting();
    static QString disconnecting();
    static QString switching();
    // The tunnel went down by itself and is being brought back.
    static QString reconnecting();

    // A connect button once the tunnel reports `status`: the localised "connect" when off and
    // "disconnect" when on. While the exit address changes (`changing`) it reads as switching
    // until the tunnel goes down and as connecting from there on.
    static QString buttonTitle(VPNStatus status, bool changing = false);

    // The status in a line of its own (the quick connect screen, the tray's tool tip): the
    // localised "connect.off", "connect.ing", "connect.on" or "connect.dis".
    static QString statusLine(VPNStatus status);

    // Why a connect could not start, as the customer reads it; the log keeps the detail.
    static QString connectFailure(const TunnelError &error);
    // Why a running tunnel went down by itself, as the customer reads it.
    static QString endReason(const TunnelEndReason &reason);
    // Its cause alone (the relay lost, out of reach...); empty where the reason has its own words.
    static QString endCause(const TunnelEndReason &reason);
    // The system-wide mode's kill switch at work: every program's network is blocked until the
    // tunnel is back, with the cause in brackets where one is known.
    static QString trafficBlocked(const std::optional<TunnelEndReason> &why);
};

} // namespace corvane
