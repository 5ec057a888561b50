#pragma once

#include "core/vpn/VPNStatus.h"

#include <QString>

namespace corvane {

// What the tray shows for a tunnel status: the icon, its tool tip and the state of the menu's
// tunnel items.
struct TrayMenuState
{
    enum class Icon
    {
        off,
        connecting,
        on,
    };

    Icon icon = Icon::off;
    QString toolTip;
    QString connectText;
    bool connectEnabled = true;
    bool changeIPEnabled = false;

    // `signedIn`: the home screen is there, so connecting uses its order and a change of IP is
    // possible. `busy`: the screen that connects is between a tap and its delayed step.
    // `changing`: a change of IP is under way. `reconnecting`: the tunnel went down by itself
    // and is being brought back. `blocked`: the line saying the machine's traffic is blocked
    // meanwhile, added to the tool tip.
    static TrayMenuState of(VPNStatus status, bool signedIn, bool busy, bool changing,
                            bool reconnecting = false, const QString &blocked = {});
};

} // namespace corvane
