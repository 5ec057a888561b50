#include "app/AppDelegate.h"

#include "app/KeyboardManager.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "launch/TerminationSignals.h"
#include "platform/settings/SettingsStore.h"

#include <QApplication>

namespace corvane {

namespace {

// Store requests complete on posted events only, and a connect is three of them in a row
// (load, save, reload) before its start; a disconnect is one.
constexpr int kStoreRequestRounds = 4;

void deliverStoreRequests()
{
    for (int round = 0; round < kStoreRequestRounds; ++round)
        QCoreApplication::sendPostedEvents();
}

} // namespace

AppDelegate::AppDelegate(QApplication &application)
{
    connect(&application, &QCoreApplication::aboutToQuit, this, &AppDelegate::willTerminate);
    // A logout, `systemctl stop` or Ctrl-C ends the event loop, so the termination step below
    // still runs. Not through quit(): that asks every window to close first, and a window that
    // stays in the tray refuses, which would leave the process running until it is killed.
    auto *terminationSignals = new TerminationSignals(this);
    connect(terminationSignals, &TerminationSignals::received, &application,
            [] { QCoreApplication::exit(0); });
}

bool AppDelegate::didFinishLaunching()
{
    KeyboardManager::shared().setEnable(true);
    // Opened now so that a settings file or folder open to others is closed up at launch.
    SettingsStore::shared();
    stopTunnel();
    return true;
}

void AppDelegate::willTerminate()
{
    // The event loop has ended, so nothing queued would run any more. A connect still on its
    // way through the store is let through to its start first, or it would start the tunnel
    // after the stop; then the stop is delivered before the process exits. Every stored
    // profile's tunnel goes: another process may have made a profile of its own meanwhile.
    deliverStoreRequests();
    VpnManager::shared().disconnectEveryTunnel(sparesScriptedTunnel ? kScriptProgram : QString());
    deliverStoreRequests();
    TerminationSignals::allowEarlyEnd();
}

void AppDelegate::stopTunnel()
{
    if (sparesScriptedTunnel)
        VpnManager::shared().disconnectTunnelUnlessStartedBy(kScriptProgram);
    else
        VpnManager::shared().disconnectTunnel();
}

} // namespace corvane
