#pragma once

#include "app/tray/TrayMenuState.h"
#include "app/tray/TrayTunnelCommands.h"
#include "core/vpn/TunnelRequest.h"
#include "platform/autostart/AutostartEntry.h"
#include "platform/tunnel/TunnelConnection.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace corvane {

class DesktopNotifier;

// The application's icon in the panel: it shows whether the tunnel is off, on its way or on,
// and its menu shows the window, connects or disconnects, changes the IP, switches starting at
// login, signs out and quits. While the tunnel is up, closing the window keeps the application
// here (and says so once); without a tray, closing quits as always.
class TrayController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayController)

public:
    // `trayAvailable` tells whether a tray host shows the icon right now.
    TrayController(QWidget *window, DesktopNotifier &notifier, AutostartEntry autostart,
                   std::function<bool()> trayAvailable, QObject *parent = nullptr);
    ~TrayController() override;

    static inline const QString kTag = QStringLiteral("tray");

    TrayMenuState state() const;
    // The look last handed to the tray host.
    std::optional<TrayMenuState::Icon> shownIcon() const { return m_shown; }
    QMenu *menu() const { return m_menu.get(); }
    // Closing the window now hides it instead of quitting.
    bool keepsRunningOnClose() const;
    void showWindow();
    // Brings the icon and the menu in line with the tunnel and the screens.
    void refresh();
    void showToolTip();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectOrDisconnect();
    void setStartAtLogin(bool on);
    void addProxyModeMenu();
    void setProxyMode(TunnelRequest::ProxyMode mode);
    const QIcon &icon(TrayMenuState::Icon which);

    QPointer<QWidget> m_window;
    DesktopNotifier &m_notifier;
    TrayTunnelCommands m_commands;
    AutostartEntry m_autostart;
    std::function<bool()> m_trayAvailable;
    // A tray menu has no parent widget to own it.
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon *m_icon;
    QAction *m_connect;
    QAction *m_changeIP;
    QAction *m_copyProxy;
    QAction *m_signOut;
    QAction *m_startAtLogin;
    QAction *m_localMode = nullptr;
    QAction *m_systemMode = nullptr;
    QAction *m_systemWideMode = nullptr;
    QAction *m_autoReconnect = nullptr;
    bool m_toldInTray = false;
    // Each look is read once; the icon is handed to the tray host only when the look changes.
    QHash<TrayMenuState::Icon, QIcon> m_icons;
    std::optional<TrayMenuState::Icon> m_shown;
    // The tunnel connection whose traffic figures the tooltip adds, as the window's line asked
    // for them: the tray asks for none of its own.
    QPointer<TunnelConnection> m_trafficSource;
};

} // namespace corvane
