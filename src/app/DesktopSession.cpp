#include "app/DesktopSession.h"

#include "app/instance/SingleInstance.h"
#include "app/notify/TunnelNotices.h"
#include "app/tray/TrayController.h"
#include "core/state/LocalState.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "platform/autostart/AutostartEntry.h"
#include "platform/notify/FreedesktopNotifier.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>

namespace corvane {

DesktopSession::DesktopSession(QWidget *window, SingleInstance &instance, QObject *parent)
    : QObject(parent), m_window(window),
      m_notifier(std::make_unique<FreedesktopNotifier>(kDesktopName, kDesktopId, kDesktopId))
{
    m_tray =
        std::make_unique<TrayController>(window, *m_notifier,
                                         AutostartEntry(AutostartEntry::defaultFilePath(kDesktopId),
                                                        QCoreApplication::applicationFilePath()),
                                         [] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    const TrayTunnelCommands commands(window);
    m_notices = std::make_unique<TunnelNotices>(
        *m_notifier,
        TunnelNotices::Probes{[this] { return m_window && m_window->isActiveWindow(); },
                              [commands] { return commands.changingAddress(); }});
    connect(&VpnManager::shared(), &VpnManager::statusChanged, m_notices.get(),
            &TunnelNotices::statusChanged);
    connect(&instance, &SingleInstance::activationRequested, this,
            [this] { m_tray->showWindow(); });
}

DesktopSession::~DesktopSession() = default;

} // namespace corvane
