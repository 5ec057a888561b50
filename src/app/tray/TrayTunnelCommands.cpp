#include "app/tray/TrayTunnelCommands.h"

#include "core/vpn/CustomRelay.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "screens/login/SCLoginViewController.h"

namespace corvane {

TrayTunnelCommands::TrayTunnelCommands(QWidget *window) : m_window(window) {}

SCLoginViewController *TrayTunnelCommands::login() const
{
    return qobject_cast<SCLoginViewController *>(m_window.data());
}

bool TrayTunnelCommands::signedIn() const
{
    // The home screen is presented over the sign-in screen for as long as someone is signed in,
    // and hands its choices to the sequencer while it lives.
    const SCLoginViewController *signIn = login();
    const std::optional<TunnelRequest> &request = TunnelSequencer::shared().request();
    return (signIn && signIn->presentedViewController()) || (request && request->isService());
}

bool TrayTunnelCommands::hasOrder() const
{
    const std::optional<TunnelRequest> &request = TunnelSequencer::shared().request();
    return signedIn() && request && request->isService();
}

bool TrayTunnelCommands::busy() const
{
    return TunnelSequencer::shared().state() == TunnelSequencer::State::stepping;
}

bool TrayTunnelCommands::changingAddress() const
{
    return TunnelSequencer::shared().isSwitching();
}

void TrayTunnelCommands::toggle()
{
    if (busy() || changingAddress())
        return;
    TunnelSequencer &sequencer = TunnelSequencer::shared();
    if (VpnManager::shared().vpnStatus() != VPNStatus::off || sequencer.isReconnecting()) {
        sequencer.disconnectTunnel();
        return;
    }
    // Signed in, the home screen's choices; else quick connect's relay.
    if (!signedIn())
        sequencer.connectTunnel(CustomRelay::quickConnect());
    else if (hasOrder())
        sequencer.connectTunnel(*sequencer.request());
}

void TrayTunnelCommands::changeIP()
{
    TunnelSequencer::shared().changeAddress();
}

void TrayTunnelCommands::signOut()
{
    // The home screen goes first, so that nothing of it reacts to the tunnel going down.
    if (showSignedOut())
        TunnelSequencer::shared().disconnectTunnel({}, kScriptProgram);
}

bool TrayTunnelCommands::showSignedOut()
{
    SCLoginViewController *screen = login();
    if (!screen || !signedIn())
        return false;
    screen->signOut();
    return true;
}

} // namespace corvane
