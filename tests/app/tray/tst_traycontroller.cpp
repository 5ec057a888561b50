#include "MemoryTunnel.h"
#include "app/tray/TrayController.h"
#include "app/tray/TrayTunnelCommands.h"
#include "core/config/ServiceEndpoints.h"
#include "core/state/LocalState.h"
#include "core/vpn/VpnManager.h"
#include "platform/desktopnotifier/memory/RecordingNotifier.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/settings/SettingsStore.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"
#include "screens/home/SCHomeViewController.h"
#include "screens/login/SCLoginViewController.h"
#include "screens/quick/MainViewController.h"
#include "ui/shell/SCBaseNavigationController.h"
#include "ui/toolkit/ActionSheet.h"

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(corvane::TunnelStatus)

class TestTrayController final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The relay a connect takes is in the user's settings: these must be the test's own.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(u"config"_s)));
        QVERIFY(m_tunnel.installShared());
        // The home screen looks up the public address once the tunnel is on: nobody answers.
        ServiceEndpoints endpoints;
        endpoints.lookupBaseAddress = u"http://127.0.0.1:1"_s;
        ServiceEndpoints::install(endpoints);
    }

    void init()
    {
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        m_window = std::make_unique<QWidget>();
        m_window->show();
        m_trayAvailable = true;
        m_tray = std::make_unique<TrayController>(
            m_window.get(), m_notifier,
            AutostartEntry(m_dir.filePath(u"autostart/corvane.desktop"_s), u"/usr/bin/corvane"_s),
            [this] { return m_trayAvailable; });
    }

    void cleanup()
    {
        m_tray.reset();
        m_window.reset();
        m_notifier.notices.clear();
    }

    void connectsThroughTheRelayWhenNobodySignedIn()
    {
        QAction *connect = action(u"连接"_s);
        QVERIFY(connect && connect->isEnabled());
        QVERIFY(!action(u"切换IP"_s)->isEnabled());
        QVERIFY(!action(u"复制代理地址"_s)->isEnabled());
        const int starts = m_tunnel.connection()->startCount();
        connect->trigger();
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->startCount(), starts + 1);
        const TunnelProfile stored = *m_tunnel.store().storedProfile(m_tunnel.profile());
        const QVariantMap config = stored.protocolConfiguration()->providerConfiguration;
        QCOMPARE(config.value(u"ss_address"_s).toString(), ServiceEndpoints::current().relayHost);
        QCOMPARE(config.value(u"ss_port"_s).toLongLong(), ServiceEndpoints::current().relayPort);

        m_tunnel.connection()->setLocalProxy(LocalProxyPorts{40001, 40002});
        m_tunnel.setStatus(TunnelStatus::Connected);
        QCOMPARE(m_tray->state().icon, TrayMenuState::Icon::on);
        QGuiApplication::clipboard()->clear();
        action(u"复制代理地址"_s)->trigger();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.contains(u"socks5://127.0.0.1:40001"_s) &&
                     copied.contains(u"http://127.0.0.1:40002"_s),
                 qPrintable(copied));
        QVERIFY(action(u"断开"_s));
        const int stops = m_tunnel.connection()->stopCount();
        action(u"断开"_s)->trigger();
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->stopCount(), stops + 1);
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        QVERIFY(!action(u"复制代理地址"_s)->isEnabled());
    }

    void closingTheWindow_data()
    {
        QTest::addColumn<TunnelStatus>("tunnel");
        QTest::addColumn<bool>("trayShown");
        QTest::addColumn<bool>("keepsRunning");
        QTest::newRow("tunnel up, tray shown") << TunnelStatus::Connected << true << true;
        QTest::newRow("tunnel coming up, tray shown") << TunnelStatus::Connecting << true << true;
        QTest::newRow("tunnel off: quits") << TunnelStatus::Disconnected << true << false;
        QTest::newRow("no tray host: quits") << TunnelStatus::Connected << false << false;
    }

    void closingTheWindow()
    {
        QFETCH(TunnelStatus, tunnel);
        QFETCH(bool, trayShown);
        QFETCH(bool, keepsRunning);
        m_tunnel.setStatus(tunnel);
        m_trayAvailable = trayShown;

        // QWidget::close() is false when the close was refused.
        QCOMPARE(m_window->close(), !keepsRunning);
        QVERIFY(!m_window->isVisible());
        QCOMPARE(m_notifier.notices.size(), keepsRunning ? 1 : 0);

        // Said once: the next close into the tray is quiet.
        m_tray->showWindow();
        QCOMPARE(m_window->close(), !keepsRunning);
        QCOMPARE(m_notifier.notices.size(), keepsRunning ? 1 : 0);
        m_tunnel.setStatus(TunnelStatus::Disconnected);
    }

    // The icon after each step of the tunnel, with the home screen of a signed-in customer in
    // the window. A step is a status the helper reports or a tap on a menu item (连接 or 切换IP),
    // then a second for the screen's delayed step; the tunnel starts and stops by itself.
    void iconFollowsEveryStatus_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("icons");
        const QString on = u"on"_s;
        const QString amber = u"connecting"_s;
        const QString off = u"off"_s;
        QTest::newRow("connect") << QStringList{u"连接"_s, on} << QStringList{amber, on};
        QTest::newRow("disconnect")
            << QStringList{u"连接"_s, on, u"断开"_s, off} << QStringList{amber, on, amber, off};
        QTest::newRow("reasserting") << QStringList{u"连接"_s, on, u"reasserting"_s, on}
                                     << QStringList{amber, on, amber, on};
        QTest::newRow("change of IP") << QStringList{u"连接"_s, on, u"切换IP"_s, off, on}
                                      << QStringList{amber, on, amber, amber, on};
        QTest::newRow("change of IP, then off")
            << QStringList{u"连接"_s, on, u"切换IP"_s, off, on, u"disconnecting"_s, off}
            << QStringList{amber, on, amber, amber, on, amber, off};
    }

    void iconFollowsEveryStatus()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, icons);
        ManualClock clock;
        auto content = std::make_shared<SCOrderContent>();
        auto order = std::make_shared<SCOrder>();
        order->orderId = u"T1"_s;
        order->productId = 3;
        content->orderInfoList = {order};
        currentOrderContent() = content;
        auto *home = new SCHomeViewController(m_window.get());
        home->show();
        home->selectedOrder();
        clock.advance(1s);
        m_window->findChild<ActionSheet *>()->choose(0);
        clock.advance(1s);
        QVERIFY(home->hasOrder());

        const QHash<QString, TunnelStatus> statuses{
            {u"connecting"_s, TunnelStatus::Connecting},
            {u"reasserting"_s, TunnelStatus::Reasserting},
            {u"on"_s, TunnelStatus::Connected},
            {u"disconnecting"_s, TunnelStatus::Disconnecting},
            {u"off"_s, TunnelStatus::Disconnected}};
        const QHash<QString, TrayMenuState::Icon> looks{
            {u"off"_s, TrayMenuState::Icon::off},
            {u"connecting"_s, TrayMenuState::Icon::connecting},
            {u"on"_s, TrayMenuState::Icon::on}};
        for (qsizetype i = 0; i < steps.size(); ++i) {
            // Found without refreshing the menu, which would mend a stale icon.
            const QList<QAction *> items = m_tray->menu()->actions();
            const auto item = std::find_if(items.begin(), items.end(), [&](QAction *candidate) {
                return candidate->text() == steps.at(i);
            });
            if (item != items.end())
                (*item)->trigger();
            else
                m_tunnel.setStatus(statuses.value(steps.at(i)));
            clock.advance(1s);
            m_tunnel.drain();
            QCoreApplication::sendPostedEvents();
            QVERIFY2(m_tray->shownIcon() == looks.value(icons.at(i)),
                     qPrintable(u"after step %1 (%2)"_s.arg(i).arg(steps.at(i))));
        }
        delete home;
        currentOrderContent().reset();
    }

    // A system-wide tunnel away by itself leaves the machine's traffic blocked: the tool tip says
    // so, and why, until the tunnel is stopped or the block given back. The local mode blocks
    // nothing.
    void toolTipTellsTheBlock()
    {
        ManualClock clock;
        const QString blocked =
            u"\n断线保护：隧道恢复前，所有程序的网络已阻断（与隧道服务器的连接中断）"_s;
        const QString reconnecting = u"Corvane：隧道已断开，正在重连…"_s;
        for (const auto &[mode, away, toolTip] :
             {std::tuple{u"local"_s, TunnelStatus::Disconnected, reconnecting},
              {u"system-wide"_s, TunnelStatus::Disconnected, reconnecting + blocked},
              {u"system-wide"_s, TunnelStatus::Reasserting, u"Corvane：连接中..."_s + blocked}}) {
            QVERIFY(SettingsStore::shared().setObject(mode, u"proxyMode"_s));
            action(u"连接"_s)->trigger();
            m_tunnel.drain();
            m_tunnel.setStatus(TunnelStatus::Connected);
            m_tunnel.connection()->setEndReason(TunnelEndReason{TunnelEndReason::Kind::lost, {}});
            m_tunnel.setStatus(away);
            QCOMPARE(m_tray->state().toolTip, toolTip);
            action(u"断开"_s)->trigger();
            m_tunnel.drain();
            m_tunnel.setStatus(TunnelStatus::Disconnected);
            QCOMPARE(m_tray->state().toolTip, u"Corvane：未连接"_s);
        }
        // A reconnect that gave up: no helper runs, and the last one left the block.
        m_tunnel.connection()->setLeftTrafficBlocked(true);
        QCOMPARE(m_tray->state().toolTip, u"Corvane：未连接"_s + blocked);
        m_tunnel.connection()->setLeftTrafficBlocked(false);
        m_tunnel.connection()->setEndReason({});
        SettingsStore::shared().remove(u"proxyMode"_s);
    }

    void signingOut_data()
    {
        QTest::addColumn<bool>("byCorvanectl");
        QTest::newRow("退出登录 in the tray: the window's tunnel stops") << false;
        QTest::newRow("corvanectl logout: the tunnel is left as it left it") << true;
    }

    // Signing out from the home screen over the sign-in screen, with the window's tunnel up.
    void signingOut()
    {
        QFETCH(bool, byCorvanectl);
        ManualClock clock;
        LocalState &state = LocalState::shared();
        QVERIFY(state.setPhoneNum(u"13800000001"_s));
        state.setPwdNum(u"corvane1"_s);
        auto content = std::make_shared<SCOrderContent>();
        content->orderInfoList = {std::make_shared<SCOrder>()};
        currentOrderContent() = content;
        m_tray.reset();
        auto *login = new SCLoginViewController;
        m_window.reset(login);
        login->show();
        auto *password = login->findChild<QLineEdit *>(u"pwdTF"_s);
        QCOMPARE(password->text(), u"corvane1"_s);
        login->presentViewController(new SCBaseNavigationController(new SCHomeViewController),
                                     false);
        m_tray = std::make_unique<TrayController>(
            m_window.get(), m_notifier,
            AutostartEntry(m_dir.filePath(u"autostart/corvane.desktop"_s), u"/usr/bin/corvane"_s),
            [] { return true; });
        m_tunnel.setStatus(TunnelStatus::Connected);
        const int stops = m_tunnel.connection()->stopCount();
        QVERIFY(action(u"退出登录"_s)->isEnabled());

        if (byCorvanectl)
            QVERIFY(TrayTunnelCommands(m_window.get()).showSignedOut());
        else
            action(u"退出登录"_s)->trigger();
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->stopCount(), stops + (byCorvanectl ? 0 : 1));
        QVERIFY(!login->presentedViewController());
        QVERIFY(!currentOrderContent());
        QVERIFY(password->text().isEmpty());
        QCOMPARE(state.phoneNum(), u"13800000001"_s);
        std::optional<QString> kept = u"unread"_s;
        state.pwdNum(this, [&kept](const std::optional<QString> &stored) { kept = stored; });
        QCOMPARE(kept, std::nullopt);
        QVERIFY(!action(u"退出登录"_s)->isEnabled());
        m_tunnel.setStatus(TunnelStatus::Disconnected);
    }

    void startAtLoginWritesTheAutostartEntry()
    {
        const QString entry = m_dir.filePath(u"autostart/corvane.desktop"_s);
        QAction *startAtLogin = action(u"登录时启动"_s);
        QVERIFY(startAtLogin->isCheckable());
        QVERIFY(!startAtLogin->isChecked());
        QVERIFY(!QFile::exists(entry));

        startAtLogin->trigger();
        QVERIFY(QFile::exists(entry));
        QVERIFY(startAtLogin->isChecked());

        startAtLogin->trigger();
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!startAtLogin->isChecked());
    }

    // The 代理模式 submenu's third radio item keeps the setting, and shows corvanectl's choice.
    void proxyModeItemsKeepTheSetting()
    {
        QMenu *modes = action(u"代理模式"_s)->menu();
        QAction *systemWide = modes->actions().value(2);
        QCOMPARE(systemWide->text(), u"全局模式（所有程序）"_s);
        systemWide->trigger();
        QVERIFY(systemWide->isChecked());
        QCOMPARE(SettingsStore::shared().string(u"proxyMode"_s).value_or(QString()),
                 u"system-wide"_s);
        modes->actions().first()->trigger();
        QVERIFY(SettingsStore::shared().setObject(u"system-wide"_s, u"proxyMode"_s));
        m_tray->refresh();
        QVERIFY(systemWide->isChecked());
        QVERIFY(SettingsStore::shared().remove(u"proxyMode"_s));
    }

private:
    QAction *action(const QString &text) const
    {
        m_tray->refresh();
        for (QAction *candidate : m_tray->menu()->actions()) {
            if (candidate->text() == text)
                return candidate;
        }
        return nullptr;
    }

    MemoryTunnel m_tunnel;
    QTemporaryDir m_dir;
    RecordingNotifier m_notifier;
    bool m_trayAvailable = true;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<TrayController> m_tray;
};

QTEST_MAIN(TestTrayController)
#include "tst_traycontroller.moc"
