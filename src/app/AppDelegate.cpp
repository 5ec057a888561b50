#include "app/AppDelegate.h"

#include "app/KeyboardManager.h"
#include "core/vpn/VpnManager.h"

#include <QApplication>

namespace corvane {

AppDelegate::AppDelegate(QApplication &application)
{
    connect(&application, &QCoreApplication::aboutToQuit, this, &AppDelegate::willTerminate);
}

bool AppDelegate::didFinishLaunching()
{
    KeyboardManager::shared().setEnable(true);
    VpnManager::shared().disconnectTunnel();
    return true;
}

void AppDelegate::willTerminate()
{
    VpnManager::shared().disconnectTunnel();
    // The event loop has ended: deliver the store's answer now so the stop reaches the tunnel
    // before the process exits.
    QCoreApplication::sendPostedEvents();
}

} // namespace corvane
