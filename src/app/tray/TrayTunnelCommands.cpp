#include "app/tray/TrayTunnelCommands.h"

#include "core/vpn/CustomRelay.h"
#include "core/vpn/FFSSModel.h"
#include "core/vpn/QuickRelay.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "screens/home/SCHomeViewController.h"
#include "screens/login/SCLoginViewController.h"
#include "screens/quick/MainViewController.h"

namespace corvane {

TrayTunnelCommands::TrayTunnelCommands(QWidget *window) : m_window(window) {}

SCHomeViewController *TrayTunnelCommands::home() const
{
    // A home screen dismissed at sign-out lingers until the event loop deletes it.
    const SCLoginViewController *signIn = login();
    if (signIn && !signIn->presentedViewController())
        return nullptr;
    return m_window ? m_window->findChild<SCHomeViewController *>() : nullptr;
}

MainViewController *TrayTunnelCommands::quick() const
{
    return qobject_cast<MainViewController *>(m_window.data());
}

SCLoginViewController *TrayTunnelCommands::login() const
{
    return qobject_cast<SCLoginViewController *>(m_window.data());
}

bool TrayTunnelCommands::signedIn() const
{
    return home() != nullptr;
}

bool TrayTunnelCommands::hasOrder() const
{
    const SCHomeViewController *screen = home();
    return screen && screen->hasOrder();
}

bool TrayTunnelCommands::busy() const
{
    if (const SCHomeViewController *screen = home())
        return screen->isConnectPending();
    if (const MainViewController *screen = quick())
        return screen->isConnectPending();
    return false;
}

bool TrayTunnelCommands::changingAddress() const
{
    const SCHomeViewController *screen = home();
    return screen && screen->isChangingAddress();
}

void TrayTunnelCommands::toggle()
{
    if (busy() || changingAddress())
        return;
    if (SCHomeViewController *screen = home()) {
        screen->pressConnect();
        return;
    }
    if (MainViewController *screen = quick()) {
        screen->pressConnect();
        return;
    }
    VpnManager &manager = VpnManager::shared();
    if (manager.vpnStatus() != VPNStatus::off) {
        manager.disconnectTunnel();
        return;
    }
    auto relay = std::make_shared<FFSSModel>();
    CustomRelay::shared().describe(*relay, &manager, [relay, &manager] {
        QuickRelay::fillManager(manager, *relay);
        manager.connectTunnel();
    });
}

void TrayTunnelCommands::changeIP()
{
    SCHomeViewController *screen = home();
    if (screen && !screen->isChangingAddress() && !busy() &&
        VpnManager::shared().vpnStatus() == VPNStatus::on)
        screen->changeIP();
}

void TrayTunnelCommands::signOut()
{
    // The home screen goes first, so that nothing of it reacts to the tunnel going down.
    if (showSignedOut())
        VpnManager::shared().disconnectTunnelUnlessStartedBy(kScriptProgram);
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
