#include "app/DesktopSession.h"

#include "app/FirstFrame.h"
#include "app/notify/TunnelNotices.h"
#include "app/tray/TrayController.h"
#include "core/state/LocalState.h"
#include "core/vpn/TrafficBlockLine.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "launch/SingleInstance.h"
#include "platform/autostart/AutostartEntry.h"
#include "platform/desktopnotifier/FreedesktopNotifier.h"
#include "platform/log/Log.h"
#include "platform/settings/ReconnectMark.h"
#include "platform/settings/ReconnectSetting.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>

namespace corvane {

DesktopSession::DesktopSession(QWidget *window, SingleInstance &instance, QObject *parent)
    : QObject(parent), m_window(window),
      m_notifier(std::make_unique<FreedesktopNotifier>(kDesktopName, kDesktopId, kDesktopId))
{
    TrayTunnelCommands commands(window);
    m_notices = std::make_unique<TunnelNotices>(
        *m_notifier,
        TunnelNotices::Probes{[this] { return m_window && m_window->isActiveWindow(); },
                              [commands] { return commands.changingAddress(); },
                              [] { return TunnelSequencer::shared().isReconnecting(); },
                              [] { return TrafficBlockLine::now(); }});
    connect(&VpnManager::shared(), &VpnManager::statusChanged, m_notices.get(),
            &TunnelNotices::statusChanged);
    m_reconnectMark = std::make_unique<ReconnectMark>(ReconnectMark::defaultFilePath());
    // Another program already bringing a tunnel back owns that tunnel's reconnect.
    TunnelSequencer::shared().setAutoReconnect([mark = m_reconnectMark.get()] {
        return ReconnectSetting::enabled(SettingsStore::shared()) && !mark->heldElsewhere();
    });
    connect(&TunnelSequencer::shared(), &TunnelSequencer::stateChanged, m_notices.get(),
            [this](TunnelSequencer::State state) {
                const bool reconnecting = state == TunnelSequencer::State::reconnecting;
                m_reconnectMark->hold(reconnecting);
                if (reconnecting)
                    m_notices->reconnectStarted();
            });
    connect(&instance, &SingleInstance::activationRequested, this, [this] {
        m_firstFrame->hurry();
        m_tray->showWindow();
    });
    connect(&instance, &SingleInstance::signOutRequested, this, [commands]() mutable {
        if (commands.showSignedOut())
            Log::info(QStringLiteral("corvanectl 已退出登录：回到登录界面"));
    });
    m_firstFrame = std::make_unique<FirstFrame>(window, [this] { showTray(); });
}

DesktopSession::~DesktopSession() = default;

void DesktopSession::showTray()
{
    m_tray =
        std::make_unique<TrayController>(m_window, *m_notifier,
                                         AutostartEntry(AutostartEntry::defaultFilePath(kDesktopId),
                                                        QCoreApplication::applicationFilePath()),
                                         [] { return QSystemTrayIcon::isSystemTrayAvailable(); });
}

} // namespace corvane
