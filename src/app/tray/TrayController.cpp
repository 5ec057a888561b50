#include "app/tray/TrayController.h"

#include "core/vpn/LocalProxyAddress.h"
#include "core/vpn/ProxyModeSetting.h"
#include "core/vpn/SystemProxyFollower.h"
#include "core/vpn/TrafficText.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "platform/desktopnotifier/DesktopNotifier.h"
#include "platform/resources/Localization.h"
#include "platform/settings/ReconnectSetting.h"
#include "platform/settings/SettingsStore.h"
#include "ui/common/PngResource.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace corvane {

namespace {
QString iconName(TrayMenuState::Icon icon)
{
    switch (icon) {
    case TrayMenuState::Icon::off:
        return QStringLiteral("tray_off");
    case TrayMenuState::Icon::connecting:
        return QStringLiteral("tray_connecting");
    case TrayMenuState::Icon::on:
        return QStringLiteral("tray_on");
    }
    return {};
}
} // namespace

TrayController::TrayController(QWidget *window, DesktopNotifier &notifier, AutostartEntry autostart,
                               std::function<bool()> trayAvailable, QObject *parent)
    : QObject(parent), m_window(window), m_notifier(notifier), m_commands(window),
      m_autostart(std::move(autostart)), m_trayAvailable(std::move(trayAvailable)),
      m_menu(std::make_unique<QMenu>()), m_icon(new QSystemTrayIcon(this))
{
    m_menu->setAccessibleName(QStringLiteral("Corvane"));
    QAction *show = m_menu->addAction(QStringLiteral("显示窗口"));
    connect(show, &QAction::triggered, this, &TrayController::showWindow);
    m_connect = m_menu->addAction(QString());
    connect(m_connect, &QAction::triggered, this, &TrayController::connectOrDisconnect);
    m_changeIP = m_menu->addAction(QStringLiteral("切换IP"));
    connect(m_changeIP, &QAction::triggered, this, [this] { m_commands.changeIP(); });
    m_copyProxy = m_menu->addAction(QStringLiteral("复制代理地址"));
    connect(m_copyProxy, &QAction::triggered, this, [] {
        if (const std::optional<LocalProxyPorts> ports = VpnManager::shared().localProxy())
            QGuiApplication::clipboard()->setText(LocalProxyAddress::urls(*ports));
    });
    addProxyModeMenu();
    m_menu->addSeparator();
    m_startAtLogin = m_menu->addAction(QStringLiteral("登录时启动"));
    m_startAtLogin->setCheckable(true);
    connect(m_startAtLogin, &QAction::toggled, this, &TrayController::setStartAtLogin);
    m_autoReconnect = m_menu->addAction(Localization::string(QStringLiteral("autoReconnect")));
    m_autoReconnect->setCheckable(true);
    connect(m_autoReconnect, &QAction::toggled, this,
            [](bool on) { ReconnectSetting::setEnabled(SettingsStore::shared(), on); });
    m_signOut = m_menu->addAction(QStringLiteral("退出登录"));
    connect(m_signOut, &QAction::triggered, this, [this] {
        m_commands.signOut();
        refresh();
    });
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(QStringLiteral("退出"));
    // Quitting goes the usual way, so the tunnel is stopped as at every quit.
    connect(quit, &QAction::triggered, this, [] { QCoreApplication::quit(); });
    // The screens change what the items do without telling anyone: look again each time.
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TrayController::refresh);

    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    showWindow();
            });
    // Queued: the screens first take in the same status (a change of IP ends at `on`), and the
    // icon shows where they are afterwards.
    connect(&VpnManager::shared(), &VpnManager::statusChanged, this, &TrayController::refresh,
            Qt::QueuedConnection);
    connect(&TunnelSequencer::shared(), &TunnelSequencer::stateChanged, this,
            &TrayController::refresh, Qt::QueuedConnection);
    if (m_window)
        m_window->installEventFilter(this);
    refresh();
    m_icon->show();
}

TrayController::~TrayController() = default;

TrayMenuState TrayController::state() const
{
    return TrayMenuState::of(VpnManager::shared().vpnStatus(), m_commands.signedIn(),
                             m_commands.busy(), m_commands.changingAddress(),
                             TunnelSequencer::shared().isReconnecting());
}

void TrayController::refresh()
{
    const TrayMenuState now = state();
    if (m_shown != now.icon) {
        m_icon->setIcon(icon(now.icon));
        m_shown = now.icon;
    }
    showToolTip();
    m_connect->setText(now.connectText);
    m_connect->setEnabled(now.connectEnabled);
    m_changeIP->setEnabled(now.changeIPEnabled);
    m_copyProxy->setEnabled(VpnManager::shared().localProxy().has_value());
    m_signOut->setEnabled(m_commands.signedIn());
    const QSignalBlocker quiet(m_startAtLogin);
    m_startAtLogin->setChecked(m_autostart.isEnabled());
    // corvanectl mode may have changed it meanwhile.
    switch (ProxyModeSetting(SettingsStore::shared()).mode()) {
    case TunnelRequest::ProxyMode::local:
        m_localMode->setChecked(true);
        break;
    case TunnelRequest::ProxyMode::system:
        m_systemMode->setChecked(true);
        break;
    case TunnelRequest::ProxyMode::systemWide:
        m_systemWideMode->setChecked(true);
        break;
    }
    // So may corvanectl config auto-reconnect.
    const QSignalBlocker quietReconnect(m_autoReconnect);
    m_autoReconnect->setChecked(ReconnectSetting::enabled(SettingsStore::shared()));
}

void TrayController::showToolTip()
{
    TunnelConnection *connection = VpnManager::shared().connection();
    if (connection != m_trafficSource) {
        if (m_trafficSource)
            disconnect(m_trafficSource, nullptr, this, nullptr);
        m_trafficSource = connection;
        if (connection)
            connect(connection, &TunnelConnection::trafficChanged, this,
                    &TrayController::showToolTip);
    }
    QString tip = state().toolTip;
    if (const std::optional<TunnelTraffic> traffic =
            connection && VpnManager::shared().vpnStatus() == VPNStatus::on ? connection->traffic()
                                                                            : std::nullopt)
        tip += u'\n' + TrafficText::line(*traffic);
    m_icon->setToolTip(tip);
}

void TrayController::addProxyModeMenu()
{
    QMenu *modes = m_menu->addMenu(Localization::string(QStringLiteral("proxyMode.menu")));
    modes->setAccessibleName(modes->title());
    auto *group = new QActionGroup(modes);
    group->setExclusive(true);
    const auto add = [this, modes, group](const QString &key, TunnelRequest::ProxyMode mode) {
        QAction *item = modes->addAction(Localization::string(key));
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, mode] { setProxyMode(mode); });
        return item;
    };
    m_localMode = add(QStringLiteral("proxyMode.local"), TunnelRequest::ProxyMode::local);
    m_systemMode = add(QStringLiteral("proxyMode.system"), TunnelRequest::ProxyMode::system);
    m_systemWideMode =
        add(QStringLiteral("proxyMode.systemWide"), TunnelRequest::ProxyMode::systemWide);
    if (SystemProxyFollower *follower = SystemProxyFollower::shared()) {
        connect(follower, &SystemProxyFollower::foundUnavailable, this, [this] {
            m_notifier.show({kTag, Localization::string(QStringLiteral("proxyMode.system")),
                             Localization::string(QStringLiteral("proxyMode.unavailable"))});
        });
    }
}

void TrayController::setProxyMode(TunnelRequest::ProxyMode mode)
{
    if (SystemProxyFollower *follower = SystemProxyFollower::shared())
        follower->setMode(mode);
    else
        ProxyModeSetting(SettingsStore::shared()).set(mode);
    refresh();
}

const QIcon &TrayController::icon(TrayMenuState::Icon which)
{
    auto found = m_icons.find(which);
    if (found == m_icons.end()) {
        found =
            m_icons.insert(which, QIcon(QPixmap::fromImage(PngResource::read(iconName(which)))));
    }
    return *found;
}

bool TrayController::keepsRunningOnClose() const
{
    const VPNStatus status = VpnManager::shared().vpnStatus();
    return (status == VPNStatus::on || status == VPNStatus::connecting) && m_trayAvailable();
}

void TrayController::showWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->raise();
    m_window->activateWindow();
}

void TrayController::connectOrDisconnect()
{
    // Without an order the home screen answers with a hint: the window has to be there to see it.
    if (m_commands.signedIn() && !m_commands.hasOrder())
        showWindow();
    m_commands.toggle();
    refresh();
}

void TrayController::setStartAtLogin(bool on)
{
    m_autostart.setEnabled(on, kDesktopName, kDesktopId);
    refresh();
}

bool TrayController::eventFilter(QObject *watched, QEvent *event)
{
    // Logging out closes every window: one that refused would hold up the whole session.
    if (watched == m_window && event->type() == QEvent::Close && keepsRunningOnClose() &&
        !qApp->isSavingSession()) {
        event->ignore();
        m_window->hide();
        if (!std::exchange(m_toldInTray, true)) {
            m_notifier.show({kTag, QStringLiteral("Corvane 仍在运行"),
                             QStringLiteral("隧道保持连接。从托盘图标可以打开窗口或退出。")});
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
