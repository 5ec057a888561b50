#include "app/tray/TrayMenuState.h"

#include "core/vpn/TunnelTexts.h"

namespace corvane {

namespace {
TrayMenuState stateOf(VPNStatus status, bool signedIn, bool busy, bool changing, bool reconnecting)
{
    using Icon = TrayMenuState::Icon;
    TrayMenuState state;
    // Between tries the item stops them.
    if (reconnecting && status != VPNStatus::on) {
        state.icon = Icon::connecting;
        state.toolTip = QStringLiteral("Corvane：") + TunnelTexts::reconnecting();
        state.connectText = TunnelTexts::buttonTitle(VPNStatus::on);
        return state;
    }
    if (changing) {
        const QString switching = TunnelTexts::switching();
        state.icon = Icon::connecting;
        state.toolTip = QStringLiteral("Corvane：") + switching;
        state.connectText = switching;
        state.connectEnabled = false;
        return state;
    }
    state.toolTip = QStringLiteral("Corvane：") + TunnelTexts::statusLine(status);
    // Connecting can be called off, so the item offers to disconnect as soon as it starts.
    switch (status) {
    case VPNStatus::off:
        state.icon = Icon::off;
        state.connectText = TunnelTexts::buttonTitle(VPNStatus::off);
        break;
    case VPNStatus::connecting:
        state.icon = Icon::connecting;
        state.connectText = TunnelTexts::buttonTitle(VPNStatus::on);
        break;
    case VPNStatus::on:
        state.icon = Icon::on;
        state.connectText = TunnelTexts::buttonTitle(VPNStatus::on);
        state.changeIPEnabled = signedIn && !busy;
        break;
    case VPNStatus::disconnecting:
        state.icon = Icon::connecting;
        state.connectText = TunnelTexts::statusLine(status);
        state.connectEnabled = false;
        return state;
    }
    state.connectEnabled = !busy;
    return state;
}
} // namespace

TrayMenuState TrayMenuState::of(VPNStatus status, bool signedIn, bool busy, bool changing,
                                bool reconnecting, const QString &blocked)
{
    TrayMenuState state = stateOf(status, signedIn, busy, changing, reconnecting);
    if (!blocked.isEmpty())
        state.toolTip += u'\n' + blocked;
    return state;
}

} // namespace corvane
