#include "MemoryTunnel.h"
#include "StandInService.h"
#include "core/config/ServiceEndpoints.h"
#include "core/home/AuthString.h"
#include "core/home/ServiceTunnel.h"
#include "core/province/ProvinceFile.h"
#include "core/state/LocalState.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "platform/log/Log.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"
#include "screens/MainScreens.h"
#include "screens/home/SCHomeClient.h"
#include "screens/home/SCHomeViewController.h"
#include "support/ScreenSupport.h"
#include "ui/toolkit/ActionSheet.h"
#include "ui/toolkit/LayoutConstraint.h"
#include "ui/toolkit/RowButton.h"
#include "ui/toolkit/ScreenFactory.h"
#include "ui/toolkit/Switch.h"
#include "ui/toolkit/UserInteraction.h"
#include "ui/toolkit/ViewAnimation.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(corvane::TunnelStatus)

namespace {

const QString kConnect = u"连接"_s;
const QString kDisconnect = u"断开"_s;
const QString kConnecting = u"连接中..."_s;
const QString kDisconnecting = u"断开中..."_s;
const QString kSwitching = u"切换中..."_s;
const QByteArray kLookup = R"(var returnCitySN = {"cip": "198.51.100.20", "cname": "CHINA"};)";

std::shared_ptr<SCOrder> makeOrder(const QString &id, qint64 productId, qint64 buyCount)
{
    auto order = std::make_shared<SCOrder>();
    order->orderId = id;
    order->secret = id + u"-secret"_s;
    order->productId = productId;
    order->buyCount = buyCount;
    order->orderCreateTime = u"2023-01-05 10:00:00"_s;
    order->tempOrderDate = u"2023-04-05 10:00:00"_s;
    order->remainFlow = 10;
    return order;
}

// A lookup service that holds every answer until released, so a test sees what shows in
// between.
class HeldLookup final : public QObject
{
public:
    HeldLookup()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                m_sockets << socket;
                if (!m_answer.isEmpty())
                    answer(socket);
            }
        });
    }
    QString baseUrl() const { return u"http://127.0.0.1:%1"_s.arg(m_server.serverPort()); }
    // Every request, come in or still to come, gets `body`: which of them is the cancelled one
    // depends on how far it got.
    void releaseAll(const QByteArray &body)
    {
        m_answer = body;
        for (QTcpSocket *socket : std::as_const(m_sockets))
            answer(socket);
    }

private:
    void answer(QTcpSocket *socket) const
    {
        socket->write(
            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
            QByteArray::number(m_answer.size()) + "\r\nConnection: close\r\n\r\n" + m_answer);
        socket->disconnectFromHost();
    }

    QByteArray m_answer;
    QTcpServer m_server;
    QList<QTcpSocket *> m_sockets;
};

} // namespace

class TestHomeViewController final : public QObject
{
    Q_OBJECT

private:
    QString title() const { return m_screen->outlet<QPushButton>(u"connectBtn"_s)->text(); }

    ActionSheet *sheet() const { return m_screen->findChild<ActionSheet *>(); }

    QStringList sheetTitles() const
    {
        QStringList titles;
        for (int i = 0; ActionSheet *shown = sheet(); ++i) {
            QPushButton *button = shown->buttonForAction(i);
            if (!button)
                break;
            titles << button->text();
        }
        return titles;
    }

    void chooseInSheet(int index)
    {
        sheet()->choose(index);
        m_clock->advance(500ms);
        flushDeletes();
    }

    static void flushDeletes()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The order the screen would connect with, as its signed string names it.
    QString chosenOrderId() const
    {
        const std::optional<AuthStringFields> fields =
            parseAuthString(m_screen->client().makeAuthString());
        return fields ? fields->orderId : QString();
    }

    void pickFirstOrder()
    {
        m_screen->selectedOrder();
        m_clock->advance(500ms);
        chooseInSheet(0);
        QVERIFY(m_screen->hasOrder());
    }

    // Taps connect and runs the delayed step; returns the configuration the tunnel started with.
    QVariantMap tapConnectAndStart()
    {
        const int starts = m_tunnel.connection()->startCount();
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"connectBtn"_s), Qt::LeftButton);
        m_clock->advance(1s);
        m_tunnel.drain();
        if (m_tunnel.connection()->startCount() != starts + 1)
            return {};
        return m_tunnel.connection()->startedConfiguration();
    }

    void bringUp()
    {
        pickFirstOrder();
        tapConnectAndStart();
        m_tunnel.setStatus(TunnelStatus::Connecting);
        m_tunnel.setStatus(TunnelStatus::Connected);
        m_clock->advance(500ms);
    }

    static double alphaOf(QWidget *view) { return alpha(view); }

    std::unique_ptr<ManualClock> m_clock;
    MemoryTunnel m_tunnel;
    std::unique_ptr<StandInService> m_service;
    std::unique_ptr<SCHomeViewController> m_screen;
    QStringList m_log;

private Q_SLOTS:
    void initTestCase()
    {
        m_clock = std::make_unique<ManualClock>();
        QVERIFY(m_tunnel.installShared());
        registerMainScreens();
        Log::setSink([this](QtMsgType, const QString &line) { m_log << line; });
    }

    void init()
    {
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        VpnManager::shared().nd = 0;
        VpnManager::shared().sip = 0;
        m_service = std::make_unique<StandInService>();
        m_service->lookupReply = kLookup;
        m_service->install();
        auto content = std::make_shared<SCOrderContent>();
        content->orderInfoList = {makeOrder(u"T1"_s, 3, 10), makeOrder(u"X5"_s, 5, 1),
                                  makeOrder(u"B2"_s, 2, 20), makeOrder(u"F1"_s, 1, 0)};
        currentOrderContent() = content;
        m_screen.reset(qobject_cast<SCHomeViewController *>(
            ScreenFactory::named(u"Main"_s).instantiate(u"home"_s)));
        QVERIFY(m_screen);
        m_screen->resize(375, 812);
        m_screen->show();
        m_log.clear();
    }

    void cleanup()
    {
        m_screen.reset();
        m_clock->advance(3s);
        m_tunnel.drain();
        flushDeletes();
        m_service.reset();
    }

    void ordersOfferedByTitle()
    {
        m_screen->selectedOrder();
        QVERIFY(sheet());
        QCOMPARE(sheetTitles(),
                 QStringList({u"流量订单-10G"_s, u"带宽订单-20M/季"_s, u"试用订单"_s, u"取消"_s}));
        m_clock->advance(500ms);
        // The second title stands for the third order: the unknown product is not offered.
        chooseInSheet(1);
        QCOMPARE(m_screen->outlet<QLabel>(u"orderLbl"_s)->text(), u"带宽订单-20M/季"_s);
        QCOMPARE(chosenOrderId(), currentOrderContent()->orderInfoList.at(2)->orderId);
        QCOMPARE(m_screen->outlet<QLabel>(u"residueLbl"_s)->text(),
                 u"到期时间:2023-04-05 10:00:00"_s);

        m_screen->selectedOrder();
        m_clock->advance(500ms);
        chooseInSheet(0);
        QCOMPARE(m_screen->outlet<QLabel>(u"residueLbl"_s)->text(), u"剩余:10.0G"_s);
        // A trial order has no residue: the traffic order's figure must not stay on screen.
        m_screen->selectedOrder();
        m_clock->advance(500ms);
        chooseInSheet(2);
        QCOMPARE(m_screen->outlet<QLabel>(u"orderLbl"_s)->text(), u"试用订单"_s);
        QVERIFY(m_screen->outlet<QLabel>(u"residueLbl"_s)->isHidden());
        QVERIFY(m_screen->outlet<QLabel>(u"residueLbl"_s)->text().isEmpty());
        // Cancelling keeps the choice.
        m_screen->selectedOrder();
        m_clock->advance(500ms);
        chooseInSheet(3);
        QCOMPARE(chosenOrderId(), currentOrderContent()->orderInfoList.at(3)->orderId);
    }

    void withoutOrders()
    {
        currentOrderContent().reset();
        m_screen->selectedOrder();
        QVERIFY(!sheet());
        QVERIFY(toastTexts(m_screen.get()).isEmpty());
        currentOrderContent() = std::make_shared<SCOrderContent>();
        m_screen->selectedOrder();
        QVERIFY(!sheet());
        QCOMPARE(toastTexts(m_screen.get()), QStringList{u"暂无订单信息"_s});
    }

    void connectNeedsAnOrder()
    {
        const int starts = m_tunnel.connection()->startCount();
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"connectBtn"_s), Qt::LeftButton);
        QCOMPARE(toastTexts(m_screen.get()), QStringList{u"请选择订单"_s});
        QCOMPARE(title(), kConnect);
        QVERIFY(isUserInteractionEnabled(m_screen->outlet<QPushButton>(u"connectBtn"_s)));
        m_clock->advance(1s);
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->startCount(), starts);
    }

    void connectWritesTheSignedConfigurationAfterOneSecond()
    {
        pickFirstOrder();
        const int starts = m_tunnel.connection()->startCount();
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"connectBtn"_s), Qt::LeftButton);
        QCOMPARE(title(), kConnecting);
        QVERIFY(!isUserInteractionEnabled(m_screen->outlet<QPushButton>(u"connectBtn"_s)));
        // A second tap meets a button that takes no clicks until the step has run.
        QTest::mouseClick(
            m_screen->window()->windowHandle(), Qt::LeftButton, {},
            m_screen->outlet<QPushButton>(u"connectBtn"_s)
                ->mapTo(m_screen.get(),
                        m_screen->outlet<QPushButton>(u"connectBtn"_s)->rect().center()));
        m_clock->advance(900ms);
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->startCount(), starts);
        m_clock->advance(100ms);
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->startCount(), starts + 1);
        QVERIFY(isUserInteractionEnabled(m_screen->outlet<QPushButton>(u"connectBtn"_s)));

        const QVariantMap started = m_tunnel.connection()->startedConfiguration();
        QCOMPARE(started.value(u"ss_address"_s).toString(), u"tunnel.test"_s);
        QCOMPARE(started.value(u"ss_port"_s).toLongLong(), 14223);
        QCOMPARE(started.value(u"ss_password"_s).toString(), QString());
        const quint32 uid = VpnManager::shared().uid;
        QVERIFY(uid >= ServiceTunnel::kLowestUid && uid <= ServiceTunnel::kHighestUid);
        const QString auth = started.value(u"ss_auth"_s).toString();
        QVERIFY2(QRegularExpression(
                     u"^orderId=T1&time=\\d+&sign=[0-9a-f]{32}&nd=0&sip=0&uid=%1$"_s.arg(uid))
                     .match(auth)
                     .hasMatch(),
                 qPrintable(auth));
        QVERIFY(!auth.contains(u"secret"_s));
    }

    // A connect the store refuses changes no status: the screen must still say why, and offer
    // the connect again.
    void aConnectThatCannotStartSaysWhy()
    {
        pickFirstOrder();
        m_tunnel.store().setSaveError(TunnelError{u"the disk is full"_s});
        const auto restore = qScopeGuard([this] { m_tunnel.store().setSaveError(std::nullopt); });
        QPushButton *connect = m_screen->outlet<QPushButton>(u"connectBtn"_s);
        QTest::mouseClick(connect, Qt::LeftButton);
        m_clock->advance(1s);
        m_tunnel.drain();
        QCOMPARE(title(), kConnect);
        QCOMPARE(toastTexts(m_screen.get()), QStringList{u"无法启动隧道：无法保存隧道配置"_s});
        QVERIFY(isUserInteractionEnabled(connect));
    }

    // The tunnel this screen connected goes down by itself: the helper's reason is shown; a
    // stop asked for shows nothing.
    void aTunnelThatGoesDownSaysWhy()
    {
        bringUp();
        m_tunnel.connection()->setEndReason(
            TunnelEndReason{TunnelEndReason::Kind::refused, u"订单已过期"_s});
        const auto restore = qScopeGuard([this] { m_tunnel.connection()->setEndReason({}); });
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        QCOMPARE(title(), kConnect);
        QCOMPARE(toastTexts(m_screen.get()), QStringList{u"隧道被服务拒绝：订单已过期"_s});
    }

    void titlesFollowTheTunnel_data()
    {
        QTest::addColumn<TunnelStatus>("tunnel");
        QTest::addColumn<QString>("expected");
        QTest::newRow("connecting") << TunnelStatus::Connecting << kConnecting;
        QTest::newRow("reasserting") << TunnelStatus::Reasserting << kConnecting;
        QTest::newRow("on") << TunnelStatus::Connected << kDisconnect;
        QTest::newRow("disconnecting") << TunnelStatus::Disconnecting << kDisconnecting;
    }

    void titlesFollowTheTunnel()
    {
        QFETCH(TunnelStatus, tunnel);
        QFETCH(QString, expected);
        m_tunnel.setStatus(tunnel);
        QCOMPARE(title(), expected);
        QCOMPARE(m_log.filter(u"设置状态："_s).size(), 1);
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        QCOMPARE(title(), kConnect);
        QCOMPARE(m_log.last(), u"设置状态：off"_s);
    }

    void aRepeatedStatusIsIgnored()
    {
        m_tunnel.setStatus(TunnelStatus::Connected);
        QCOMPARE(m_log, QStringList{u"设置状态：on"_s});
        m_screen->outlet<QPushButton>(u"connectBtn"_s)->setText(u"stale"_s);
        NotificationCenter::shared().post(kProxyServiceVPNStatusNotification);
        m_tunnel.setStatus(TunnelStatus::Connected);
        QCOMPARE(title(), u"stale"_s);
        QCOMPARE(m_log, QStringList{u"设置状态：on"_s});
    }

    void addressAreaShowsOnlyWhileOn()
    {
        pickFirstOrder();
        tapConnectAndStart();
        m_tunnel.connection()->setLocalProxy(LocalProxyPorts{40001, 40002});
        m_tunnel.setStatus(TunnelStatus::Connecting);
        QCOMPARE(alphaOf(m_screen->outlet<QLabel>(u"IPLbl"_s)), 0.0);
        QVERIFY(!m_screen->outlet<QPushButton>(u"changeIPBtn"_s)->isEnabled());
        const QPointer<QLabel> proxy = m_screen->outlet<QLabel>(u"proxyLbl"_s);
        QVERIFY(proxy && !proxy->isVisible());

        m_tunnel.setStatus(TunnelStatus::Connected);
        QCOMPARE(title(), kDisconnect);
        QVERIFY(proxy->isVisible());
        QCOMPARE(proxy->text(), u"本地代理 socks5://127.0.0.1:40001 · http://127.0.0.1:40002"_s);
        QCOMPARE(proxy->accessibleName(), proxy->text());
        // The lookup would take that proxy, which nothing serves here.
        m_tunnel.connection()->setLocalProxy(std::nullopt);
        QCOMPARE(m_screen->outlet<QLabel>(u"IPLbl"_s)->text(), u"IP解析中"_s);
        QCOMPARE(m_screen->outlet<QLabel>(u"addressLbl"_s)->text(), QString());
        QVERIFY(m_screen->outlet<QPushButton>(u"changeIPBtn"_s)->isEnabled());
        // It fades in over half a second.
        m_clock->advance(250ms);
        QVERIFY(alphaOf(m_screen->outlet<QLabel>(u"IPLbl"_s)) > 0.0 &&
                alphaOf(m_screen->outlet<QLabel>(u"IPLbl"_s)) < 1.0);
        m_clock->advance(300ms);
        for (QWidget *view :
             {static_cast<QWidget *>(m_screen->outlet<QLabel>(u"IPLbl"_s)),
              static_cast<QWidget *>(m_screen->outlet<QLabel>(u"addressLbl"_s)),
              static_cast<QWidget *>(m_screen->outlet<QPushButton>(u"changeIPBtn"_s))})
            QCOMPARE(alphaOf(view), 1.0);
        QCOMPARE(m_screen->outlet<LayoutConstraint>(u"ipTop"_s)->constant(), 50);

        // The lookup starts a second after the area shows.
        QCOMPARE(m_service->lookups, 0);
        m_clock->advance(450ms);
        QTRY_COMPARE(m_service->lookups, 1);
        QCOMPARE(VpnManager::shared().ip, u"IP解析中"_s);
        QTRY_COMPARE(m_screen->outlet<QLabel>(u"IPLbl"_s)->text(), u"当前IP：198.51.100.20"_s);
        QCOMPARE(m_screen->outlet<QLabel>(u"addressLbl"_s)->text(), u"中国"_s);

        QTest::mouseClick(m_screen->outlet<QPushButton>(u"connectBtn"_s), Qt::LeftButton);
        QCOMPARE(title(), kDisconnecting);
        m_clock->advance(1s);
        m_tunnel.drain();
        QCOMPARE(title(), kDisconnecting);
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        QCOMPARE(title(), kConnect);
        QCOMPARE(m_screen->outlet<QLabel>(u"IPLbl"_s)->text(), QString());
        QCOMPARE(m_screen->outlet<QLabel>(u"addressLbl"_s)->text(), QString());
        QVERIFY(!m_screen->outlet<QPushButton>(u"changeIPBtn"_s)->isEnabled());
        m_clock->advance(500ms);
        QCOMPARE(alphaOf(m_screen->outlet<QLabel>(u"IPLbl"_s)), 0.0);
        QCOMPARE(m_screen->outlet<LayoutConstraint>(u"ipTop"_s)->constant(), 0);
        QVERIFY(!proxy->isVisible());
    }

    void changeOfAddressReconnectsWithAFreshString()
    {
        bringUp();
        const QString firstAuth =
            m_tunnel.connection()->startedConfiguration().value(u"ss_auth"_s).toString();
        const quint32 firstUid = VpnManager::shared().uid;
        const int starts = m_tunnel.connection()->startCount();
        const int stops = m_tunnel.connection()->stopCount();
        QStringList titles;

        QTest::mouseClick(m_screen->outlet<QPushButton>(u"changeIPBtn"_s), Qt::LeftButton);
        titles << title();
        // Hidden at once, not faded.
        QCOMPARE(alphaOf(m_screen->outlet<QLabel>(u"IPLbl"_s)), 0.0);
        QCOMPARE(m_screen->outlet<LayoutConstraint>(u"ipTop"_s)->constant(), 0);
        QVERIFY(!m_screen->outlet<QPushButton>(u"changeIPBtn"_s)->isEnabled());
        m_clock->advance(1s);
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->stopCount(), stops + 1);
        m_tunnel.setStatus(TunnelStatus::Disconnecting);
        titles << title();
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        titles << title();
        QVERIFY(!isUserInteractionEnabled(m_screen->outlet<QPushButton>(u"connectBtn"_s)));
        m_clock->advance(1s);
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->startCount(), starts + 1);
        m_tunnel.setStatus(TunnelStatus::Connecting);
        titles << title();
        m_tunnel.setStatus(TunnelStatus::Connected);
        titles << title();
        QCOMPARE(titles,
                 QStringList({kSwitching, kConnecting, kConnecting, kConnecting, kDisconnect}));
        QVERIFY(!m_screen->isChangingAddress());

        const QString secondAuth =
            m_tunnel.connection()->startedConfiguration().value(u"ss_auth"_s).toString();
        QVERIFY(secondAuth != firstAuth);
        QVERIFY(VpnManager::shared().uid != firstUid);
        QVERIFY(secondAuth.endsWith(u"&uid="_s + QString::number(VpnManager::shared().uid)));
        // Back at on the area fades in again.
        m_clock->advance(250ms);
        QVERIFY(alphaOf(m_screen->outlet<QLabel>(u"IPLbl"_s)) > 0.0 &&
                alphaOf(m_screen->outlet<QLabel>(u"IPLbl"_s)) < 1.0);
    }

    void aRefusedReconnectEndsTheChange()
    {
        bringUp();
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"changeIPBtn"_s), Qt::LeftButton);
        m_clock->advance(1s);
        m_tunnel.drain();
        m_tunnel.setStatus(TunnelStatus::Disconnecting);
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        m_clock->advance(1s);
        m_tunnel.drain();
        const int starts = m_tunnel.connection()->startCount();
        m_tunnel.setStatus(TunnelStatus::Connecting);
        // The service turns the new string down: the tunnel falls back to off.
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        QVERIFY(!m_screen->isChangingAddress());
        QCOMPARE(title(), kConnect);
        m_clock->advance(2s);
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->startCount(), starts);
        QVERIFY(isUserInteractionEnabled(m_screen->outlet<QPushButton>(u"connectBtn"_s)));
    }

    // A tunnel that another program started with its own order and choices: the screen shows
    // them from the stored configuration and 切换IP keeps them, or, with an order the screen
    // does not know, refuses and leaves the tunnel up.
    void changeOfIPOnATunnelStartedElsewhere_data()
    {
        QTest::addColumn<bool>("known");
        QTest::newRow("an order of this account") << true;
        QTest::newRow("another account's order") << false;
    }

    void changeOfIPOnATunnelStartedElsewhere()
    {
        QFETCH(bool, known);
        const std::shared_ptr<SCOrder> order =
            known ? currentOrderContent()->orderInfoList.at(2) : makeOrder(u"Z9"_s, 2, 20);
        VpnManager &manager = VpnManager::shared();
        manager.nd = 1;
        manager.sip = 1;
        TunnelSequencer(manager).connectTunnel(
            TunnelRequest{TunnelRequest::Service{order, 3, manager.nd, manager.sip}});
        manager.nd = 0;
        manager.sip = 0;
        m_tunnel.drain();
        m_tunnel.setStatus(TunnelStatus::Connected);
        m_tunnel.drain();
        QCOMPARE(title(), kDisconnect);
        const int stops = m_tunnel.connection()->stopCount();
        if (!known) {
            QTest::mouseClick(m_screen->outlet<QPushButton>(u"changeIPBtn"_s), Qt::LeftButton);
            QCOMPARE(toastTexts(m_screen.get()),
                     QStringList{u"无法切换IP：不知道当前隧道使用的订单"_s});
            m_clock->advance(2s);
            m_tunnel.drain();
            QCOMPARE(m_tunnel.connection()->stopCount(), stops);
            QCOMPARE(title(), kDisconnect);
            return;
        }
        QCOMPARE(m_screen->outlet<QLabel>(u"orderLbl"_s)->text(), u"带宽订单-20M/季"_s);
        QCOMPARE(m_screen->outlet<QLabel>(u"provinceLbl"_s)->text(), ProvinceFile::load()->at(3));
        QCOMPARE(m_screen->outlet<QLabel>(u"duplicateLbl"_s)->text(), u"24小时去重"_s);
        QVERIFY(!m_screen->outlet<Switch>(u"abnormalSwitch"_s)->isOn());

        QTest::mouseClick(m_screen->outlet<QPushButton>(u"changeIPBtn"_s), Qt::LeftButton);
        m_clock->advance(1s);
        m_tunnel.drain();
        QCOMPARE(m_tunnel.connection()->stopCount(), stops + 1);
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        m_clock->advance(1s);
        m_tunnel.drain();
        const std::optional<AuthStringFields> again = parseAuthString(
            m_tunnel.connection()->startedConfiguration().value(u"ss_auth"_s).toString());
        QVERIFY(again);
        QCOMPARE(again->orderId, order->orderId);
        QCOMPARE(again->provinceIndex, std::optional<qint64>(3));
        QCOMPARE(again->nd, 1);
        QCOMPARE(again->sip, 1);
        m_tunnel.setStatus(TunnelStatus::Connected);
        QCOMPARE(title(), kDisconnect);
    }

    void aTunnelAlreadyUpShowsAtOnce()
    {
        m_screen.reset();
        m_tunnel.setStatus(TunnelStatus::Connected);
        m_screen.reset(qobject_cast<SCHomeViewController *>(
            ScreenFactory::named(u"Main"_s).instantiate(u"home"_s)));
        m_screen->resize(375, 812);
        m_screen->show();
        QCOMPARE(title(), kDisconnect);
        QVERIFY(m_screen->outlet<QPushButton>(u"changeIPBtn"_s)->isEnabled());
        QCOMPARE(m_screen->outlet<QLabel>(u"IPLbl"_s)->text(), u"IP解析中"_s);
    }

    void choicesGoIntoTheSignedString()
    {
        pickFirstOrder();
        m_screen->settingDuplicate();
        QCOMPARE(sheetTitles(), QStringList({u"不去重"_s, u"24小时去重"_s, u"取消"_s}));
        m_clock->advance(500ms);
        chooseInSheet(1);
        QCOMPARE(m_screen->outlet<QLabel>(u"duplicateLbl"_s)->text(), u"24小时去重"_s);
        QCOMPARE(VpnManager::shared().nd, 1);

        QVERIFY(m_screen->outlet<Switch>(u"abnormalSwitch"_s)->isOn());
        QTest::mouseClick(m_screen->outlet<Switch>(u"abnormalSwitch"_s), Qt::LeftButton);
        QCOMPARE(VpnManager::shared().sip, 1);

        m_screen->didChooseProvince(u"北京"_s, 0);
        QCOMPARE(m_screen->outlet<QLabel>(u"provinceLbl"_s)->text(), u"北京"_s);
        QString auth = tapConnectAndStart().value(u"ss_auth"_s).toString();
        QVERIFY2(auth.contains(QRegularExpression(u"&pid=0&nd=1&sip=1&uid=\\d{9}$"_s)),
                 qPrintable(auth));

        m_tunnel.setStatus(TunnelStatus::Disconnected);
        m_screen->settingDuplicate();
        m_clock->advance(500ms);
        chooseInSheet(2);
        QCOMPARE(VpnManager::shared().nd, 1);
        QTest::mouseClick(m_screen->outlet<Switch>(u"abnormalSwitch"_s), Qt::LeftButton);
        QCOMPARE(VpnManager::shared().sip, 0);
        m_screen->didChooseProvince(u"随机省份"_s, -1);
        auth = tapConnectAndStart().value(u"ss_auth"_s).toString();
        QVERIFY2(auth.contains(QRegularExpression(u"&sign=[0-9a-f]{32}&nd=1&sip=0&uid="_s)),
                 qPrintable(auth));
    }

    void aNewLookupReplacesTheCancelledOne()
    {
        HeldLookup lookup;
        ServiceEndpoints endpoints = ServiceEndpoints::current();
        endpoints.lookupBaseAddress = lookup.baseUrl();
        ServiceEndpoints::install(endpoints);
        const QPair<QString, QString> shown = m_screen->client().lookupPublicAddress();
        QCOMPARE(shown, qMakePair(u"IP解析中"_s, QString()));
        m_screen->client().lookupPublicAddress();
        QTRY_COMPARE(m_screen->outlet<QLabel>(u"IPLbl"_s)->text(), u"IP连接异常"_s);
        QCOMPARE(m_screen->outlet<QLabel>(u"addressLbl"_s)->text(), QString());
        lookup.releaseAll(R"(var returnCitySN = {"cip": "203.0.113.9", "cname": "上海市"};)");
        QTRY_COMPARE(m_screen->outlet<QLabel>(u"IPLbl"_s)->text(), u"当前IP：203.0.113.9"_s);
        QCOMPARE(m_screen->outlet<QLabel>(u"addressLbl"_s)->text(), u"上海市"_s);
    }

    void anAnswerOfAnotherShapeChangesNothing()
    {
        m_service->lookupReply = "<html>captive portal</html>";
        m_screen->outlet<QLabel>(u"IPLbl"_s)->setText(u"IP解析中"_s);
        m_screen->client().lookupPublicAddress();
        QTRY_COMPARE(m_service->lookups, 1);
        QTRY_VERIFY(!m_screen->client().request.isRunning());
        settle();
        QCOMPARE(m_screen->outlet<QLabel>(u"IPLbl"_s)->text(), u"IP解析中"_s);
    }

    void outsideTextIsShownAsItCame_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::newRow("styles and a link")
            << u"<span style='font-size:34px;color:red'>1.2.3.4</span><a href='http://x'>x</a>"_s;
        QTest::newRow("a picture from disk") << u"<img src='file://%1'>"_s;
    }

    // What the lookup and the province file say is shown as text: no size, colour, link or
    // picture of their choosing. Rendered as rich text, either would take several lines.
    void outsideTextIsShownAsItCame()
    {
        QFETCH(QString, markup);
        QTemporaryDir dir;
        QImage picture(200, 200, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(dir.filePath(u"big.png"_s)));
        markup.replace(u"%1"_s, dir.filePath(u"big.png"_s));
        bringUp();
        m_service->lookupReply =
            u"var returnCitySN = {\"cip\": \"%1\", \"cname\": \"%1\"};"_s.arg(markup).toUtf8();
        m_screen->client().lookupPublicAddress();
        const QLabel *ip = m_screen->outlet<QLabel>(u"IPLbl"_s);
        QTRY_VERIFY(ip->text().contains(markup));
        m_screen->didChooseProvince(markup, 3);
        for (const QLabel *label : std::initializer_list<const QLabel *>{
                 ip, m_screen->outlet<QLabel>(u"addressLbl"_s).data(),
                 m_screen->outlet<QLabel>(u"provinceLbl"_s).data()})
            QVERIFY2(label->sizeHint().height() < 2 * QFontMetrics(label->font()).height(),
                     qPrintable(label->objectName()));
    }

    void keyboardAndScreenReaders()
    {
        bringUp();
        QCOMPARE(unnamedControls(m_screen.get()), QStringList());
        const auto *orderRow = m_screen->findChild<RowButton *>(u"orderRow"_s);
        QCOMPARE(orderRow->accessibleName(), u"订单：流量订单-10G"_s);
        QApplication::setActiveWindow(m_screen.get());
        m_screen->findChild<RowButton *>(u"orderRow"_s)->setFocus();
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, QStringList({u"orderRow"_s, u"provinceRow"_s, u"duplicateRow"_s,
                                     u"abnormalSwitch"_s, u"changeIPBtn"_s, u"connectBtn"_s}));
        // Return on a row opens its sheet; Escape closes it without a choice.
        m_screen->findChild<RowButton *>(u"duplicateRow"_s)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(sheet());
        m_clock->advance(500ms);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        m_clock->advance(500ms);
        flushDeletes();
        QVERIFY(!sheet());
        QCOMPARE(m_screen->outlet<QLabel>(u"duplicateLbl"_s)->text(), u"不去重"_s);
        // The keyboard is back on the row that opened the sheet, so Return opens it again.
        QCOMPARE(QApplication::focusWidget()->objectName(), u"duplicateRow"_s);

        // A change of IP from the keyboard ends with the keyboard on 切换IP again, not on the
        // disconnect button that a second Space would press.
        QPushButton *changeIP = m_screen->outlet<QPushButton>(u"changeIPBtn"_s);
        changeIP->setFocus();
        QTest::keyClick(changeIP, Qt::Key_Space);
        QVERIFY(m_screen->isChangingAddress());
        m_clock->advance(1s);
        m_tunnel.drain();
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        m_clock->advance(1s);
        m_tunnel.drain();
        m_tunnel.setStatus(TunnelStatus::Connected);
        QVERIFY(!m_screen->isChangingAddress());
        QCOMPARE(QApplication::focusWidget(), changeIP);
    }
};

QTEST_MAIN(TestHomeViewController)
#include "tst_homeviewcontroller.moc"
