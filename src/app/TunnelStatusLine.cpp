#include "app/TunnelStatusLine.h"

#include "core/vpn/VpnManager.h"

namespace corvane {

TunnelStatusLine::TunnelStatusLine(QWidget *parent) : QLabel(parent)
{
    setMinimumWidth(240);
    setAlignment(Qt::AlignCenter);
    connect(&VpnManager::shared(), &VpnManager::statusChanged, this, &TunnelStatusLine::showStatus);
    showStatus(VpnManager::shared().vpnStatus());
}

void TunnelStatusLine::showStatus(VPNStatus status)
{
    setText(QStringLiteral("Tunnel: ") + vpnStatusName(status));
}

} // namespace corvane
