#include "app/TunnelStatusLine.h"

#include "core/vpn/VpnManager.h"
#include "platform/notification/NotificationCenter.h"

namespace corvane {

TunnelStatusLine::TunnelStatusLine(QWidget *parent) : QLabel(parent)
{
    setMinimumWidth(240);
    setAlignment(Qt::AlignCenter);
    NotificationCenter::shared().addObserver(kProxyServiceVPNStatusNotification, this,
                                             [this] { refresh(); });
    refresh();
}

void TunnelStatusLine::refresh()
{
    setText(QStringLiteral("Tunnel: ") + vpnStatusName(VpnManager::shared().vpnStatus));
}

} // namespace corvane
