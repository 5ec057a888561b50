#include "app/AppDelegate.h"

#include "app/KeyboardManager.h"
#include "core/vpn/TunnelSequencer.h"
#include "launch/DesktopIdentity.h"
#include "platform/settings/SettingsStore.h"
#include "platform/signals/TerminationSignals.h"

#include <QApplication>
#include <QEventLoop>

namespace corvane {

AppDelegate::AppDelegate(QApplication &application)
{
    connect(&application, &QCoreApplication::aboutToQuit, this, &AppDelegate::willTerminate);
    // A logout, `systemctl stop` or Ctrl-C ends the event loop, so the termination step below
    // still runs. Not through quit(): that asks every window to close first, and a window that
    // stays in the tray refuses, which would leave the process running until it is killed.
    auto *terminationSignals = new TerminationSignals(TerminationSignals::HangUp::caught, this);
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
    // The event loop has ended, so the store's answers are delivered here until the stop is
    // handed over (after any connect still on its way has started). Every stored profile's
    // tunnel goes: another process may have made a profile of its own meanwhile.
    bool stopped = false;
    TunnelSequencer::shared().disconnectEveryTunnel(
        sparesScriptedTunnel ? kScriptProgram : QString(), [&stopped] { stopped = true; });
    while (!stopped)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    TerminationSignals::allowEarlyEnd();
}

void AppDelegate::stopTunnel()
{
    TunnelSequencer::shared().disconnectTunnel({},
                                               sparesScriptedTunnel ? kScriptProgram : QString());
}

} // namespace corvane
