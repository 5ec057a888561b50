#include "app/tray/TrayTunnelCommands.h"

#include "core/config/ServiceEndpoints.h"
#include "core/vpn/VpnManager.h"
#include "screens/home/SCHomeViewController.h"
#include "screens/quick/MainViewController.h"
#include "ui/toolkit/UserInteraction.h"

#include <QPushButton>

namespace corvane {

namespace {
bool waiting(const QWidget *button)
{
    return button && !isUserInteractionEnabled(button);
}
} // namespace

TrayTunnelCommands::TrayTunnelCommands(QWidget *window) : m_window(window) {}

SCHomeViewController *TrayTunnelCommands::home() const
{
    return m_window ? m_window->findChild<SCHomeViewController *>() : nullptr;
}

MainViewController *TrayTunnelCommands::quick() const
{
    return qobject_cast<MainViewController *>(m_window.data());
}

bool TrayTunnelCommands::signedIn() const
{
    return home() != nullptr;
}

bool TrayTunnelCommands::hasOrder() const
{
    const SCHomeViewController *screen = home();
    return screen && screen->currentOrder;
}

bool TrayTunnelCommands::busy() const
{
    if (const SCHomeViewController *screen = home())
        return waiting(screen->connectBtn);
    if (const MainViewController *screen = quick())
        return waiting(screen->connect);
    return false;
}

bool TrayTunnelCommands::changingAddress() const
{
    const SCHomeViewController *screen = home();
    return screen && screen->isChange;
}

void TrayTunnelCommands::toggle()
{
    if (busy() || changingAddress())
        return;
    if (SCHomeViewController *screen = home()) {
        screen->connectVPN(screen->connectBtn);
        return;
    }
    if (MainViewController *screen = quick()) {
        screen->clickConnect(screen->connect);
        return;
    }
    VpnManager &manager = VpnManager::shared();
    if (manager.vpnStatus != VPNStatus::off) {
        manager.disconnectTunnel();
        return;
    }
    manager.address = MainViewController::relayAddress();
    manager.pwd.clear();
    manager.port = ServiceEndpoints::current().relayPort;
    manager.connectTunnel();
}

void TrayTunnelCommands::changeIP()
{
    SCHomeViewController *screen = home();
    if (screen && !screen->isChange && !busy() && VpnManager::shared().vpnStatus == VPNStatus::on)
        screen->changeIP();
}

} // namespace corvane
