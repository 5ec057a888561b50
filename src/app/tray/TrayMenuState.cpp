#include "app/tray/TrayMenuState.h"

#include "platform/resources/Localization.h"

namespace corvane {

namespace {
QString statusText(VPNStatus status)
{
    switch (status) {
    case VPNStatus::off:
        return Localization::string(QStringLiteral("connect.off"));
    case VPNStatus::connecting:
        return Localization::string(QStringLiteral("connect.ing"));
    case VPNStatus::on:
        return Localization::string(QStringLiteral("connect.on"));
    case VPNStatus::disconnecting:
        return Localization::string(QStringLiteral("connect.dis"));
    }
    return {};
}
} // namespace

TrayMenuState TrayMenuState::of(VPNStatus status, bool signedIn, bool busy, bool changing)
{
    TrayMenuState state;
    if (changing) {
        const QString switching = QStringLiteral("切换中...");
        state.icon = Icon::connecting;
        state.toolTip = QStringLiteral("Corvane：") + switching;
        state.connectText = switching;
        state.connectEnabled = false;
        return state;
    }
    state.toolTip = QStringLiteral("Corvane：") + statusText(status);
    switch (status) {
    case VPNStatus::off:
        state.icon = Icon::off;
        state.connectText = Localization::string(QStringLiteral("connect"));
        break;
    case VPNStatus::connecting:
        state.icon = Icon::connecting;
        state.connectText = Localization::string(QStringLiteral("disconnect"));
        break;
    case VPNStatus::on:
        state.icon = Icon::on;
        state.connectText = Localization::string(QStringLiteral("disconnect"));
        state.changeIPEnabled = signedIn && !busy;
        break;
    case VPNStatus::disconnecting:
        state.icon = Icon::connecting;
        state.connectText = statusText(status);
        state.connectEnabled = false;
        return state;
    }
    state.connectEnabled = !busy;
    return state;
}

} // namespace corvane
