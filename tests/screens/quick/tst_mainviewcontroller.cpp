#include "MemoryTunnel.h"
#include "core/config/ServiceEndpoints.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/settings/SettingsStore.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"
#include "screens/MainScreens.h"
#include "screens/quick/MainViewController.h"
#include "support/ScreenSupport.h"
#include "ui/feedback/pulse/PulseHalo.h"
#include "ui/feedback/pulse/PulseView.h"
#include "ui/morphing/MorphingLabel.h"
#include "ui/toolkit/ScreenFactory.h"
#include "ui/toolkit/UserInteraction.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <memory>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(corvane::TunnelStatus)

namespace {
// Announces the status from its destructor, as a widget torn down with the screen might.
class AnnouncesWhenDestroyed final : public QObject
{
public:
    using QObject::QObject;
    Q_DISABLE_COPY_MOVE(AnnouncesWhenDestroyed)
    ~AnnouncesWhenDestroyed() override
    {
        VpnManager &manager = VpnManager::shared();
        Q_EMIT manager.statusChanged(manager.vpnStatus());
    }
};

const QString kConnect = u"连接"_s;
const QString kDisconnect = u"断开"_s;
const QString kOff = u"未连接"_s;
const QString kOn = u"已连接"_s;
const QString kConnecting = u"连接中..."_s;
const QString kDisconnecting = u"断开中..."_s;
} // namespace

class TestMainViewController final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void tapWhileOffConnectsThroughTheRelay();
    void tapWhileOnStopsThePulseAndDisconnects();
    void staleTitleWithTunnelOffStillConnects();
    void dropWhileOnSaysReconnectingAndTapStopsIt();
    void everyStatusRedraws_data();
    void everyStatusRedraws();
    void pulseCheckOneSecondAfterAppearing_data();
    void pulseCheckOneSecondAfterAppearing();
    void repeatedOnRestartsThePulse();
    void pulseLooksAsIfBlendedOntoTheScreen();
    void destroyedScreenHearsNothing();
    void titleShrinksToFitTheButton();
    void onlyTheDrawnCircleTaps_data();
    void onlyTheDrawnCircleTaps();
    void focusRingFollowsTheCircle();
    void proxyLineWhileOnCopiesFromTheKeyboard();
    void trafficLineOnlyWhileOnAndInSight();
    void systemWideLineAndRefusal();
    void builtInRelayRecord_data();
    void builtInRelayRecord();

private:
    std::unique_ptr<MainViewController> showScreen();

    std::unique_ptr<ManualClock> m_clock;
    QTemporaryDir m_home;
    MemoryTunnel m_tunnel;
    std::unique_ptr<MainViewController> m_screen;
};

void TestMainViewController::initTestCase()
{
    // One clock for all tests: Qt's animation timer keeps its last tick across drivers.
    m_clock = std::make_unique<ManualClock>();
    // The relay a connect takes is in the user's settings: these must be the test's own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    QVERIFY(m_tunnel.installShared());
}

void TestMainViewController::init()
{
    m_tunnel.setStatus(TunnelStatus::Disconnected);
    m_screen = showScreen();
    QVERIFY(m_screen->outlet<QPushButton>(u"connect"_s) &&
            m_screen->outlet<MorphingLabel>(u"content"_s));
    // Past the pulse check of the appearance.
    m_clock->advance(1s);
}

void TestMainViewController::cleanup()
{
    m_screen.reset();
    m_clock->advance(2s);
    m_tunnel.drain();
}

std::unique_ptr<MainViewController> TestMainViewController::showScreen()
{
    auto screen = std::make_unique<MainViewController>();
    screen->resize(375, 812);
    screen->show();
    return screen;
}

void TestMainViewController::tapWhileOffConnectsThroughTheRelay()
{
    m_tunnel.setStatus(TunnelStatus::Disconnected);
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    QCOMPARE(button->text(), kConnect);
    const int starts = m_tunnel.connection()->startCount();

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), kConnecting);
    QVERIFY(!isUserInteractionEnabled(button));
    // A second tap through the window meets a button that ignores touches.
    QTest::mouseClick(m_screen->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(m_screen.get(), button->rect().center()));
    m_clock->advance(900ms);
    m_tunnel.drain();
    QCOMPARE(m_tunnel.connection()->startCount(), starts);
    QVERIFY(!isUserInteractionEnabled(button));

    m_clock->advance(100ms);
    QVERIFY(isUserInteractionEnabled(button));
    m_tunnel.drain();
    QCOMPARE(m_tunnel.connection()->startCount(), starts + 1);
    const QVariantMap started = m_tunnel.connection()->startedConfiguration();
    QCOMPARE(started.value(u"ss_address"_s).toString(), ServiceEndpoints::current().relayHost);
    QCOMPARE(started.value(u"ss_port"_s).toLongLong(), 3005);
    QCOMPARE(started.value(u"ss_password"_s).toString(), QString());
    QCOMPARE(m_screen->status(), VPNStatus::connecting);
}

void TestMainViewController::tapWhileOnStopsThePulseAndDisconnects()
{
    m_tunnel.setStatus(TunnelStatus::Connected);
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    QCOMPARE(button->text(), kDisconnect);
    QVERIFY(PulseView::externalBorderLayer(button));
    const int stops = m_tunnel.connection()->stopCount();

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), kDisconnecting);
    QVERIFY(!isUserInteractionEnabled(button));
    m_clock->advance(900ms);
    QVERIFY(PulseView::externalBorderLayer(button));
    m_clock->advance(100ms);
    QVERIFY(!PulseView::externalBorderLayer(button));
    QVERIFY(isUserInteractionEnabled(button));
    m_tunnel.drain();
    QCOMPARE(m_tunnel.connection()->stopCount(), stops + 1);
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), kDisconnecting);
}

// The relay lost under a tunnel this screen connected: the line says it is coming back, and
// the button, still "disconnect", stops the next try.
void TestMainViewController::dropWhileOnSaysReconnectingAndTapStopsIt()
{
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    m_clock->advance(1s);
    m_tunnel.drain();
    m_tunnel.setStatus(TunnelStatus::Connected);
    m_tunnel.connection()->setEndReason(TunnelEndReason{TunnelEndReason::Kind::lost, {}});
    m_tunnel.setStatus(TunnelStatus::Disconnected);
    m_tunnel.drain();
    QVERIFY(TunnelSequencer::shared().isReconnecting());
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), u"隧道已断开，正在重连…"_s);
    QCOMPARE(button->text(), kDisconnect);

    const int starts = m_tunnel.connection()->startCount();
    QTest::mouseClick(button, Qt::LeftButton);
    m_clock->advance(2s);
    m_tunnel.drain();
    QCOMPARE(m_tunnel.connection()->startCount(), starts);
    QVERIFY(!TunnelSequencer::shared().isReconnecting());
    QCOMPARE(button->text(), kConnect);
}

void TestMainViewController::staleTitleWithTunnelOffStillConnects()
{
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    button->setText(kDisconnect);
    const int starts = m_tunnel.connection()->startCount();
    const int stops = m_tunnel.connection()->stopCount();
    QTest::mouseClick(button, Qt::LeftButton);
    // The title is not the screen's state: the announcement follows the tunnel's last status.
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), kConnecting);
    m_clock->advance(1s);
    m_tunnel.drain();
    QCOMPARE(m_tunnel.connection()->startCount(), starts + 1);
    QCOMPARE(m_tunnel.connection()->stopCount(), stops);
}

void TestMainViewController::everyStatusRedraws_data()
{
    QTest::addColumn<TunnelStatus>("tunnel");
    QTest::addColumn<VPNStatus>("status");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("pulse");
    // The title starts as "stale" and a halo is running: what a status leaves alone stays.
    QTest::newRow("off") << TunnelStatus::Disconnected << VPNStatus::off << kConnect << kOff
                         << true;
    QTest::newRow("invalid") << TunnelStatus::Invalid << VPNStatus::off << kConnect << kOff << true;
    QTest::newRow("on") << TunnelStatus::Connected << VPNStatus::on << kDisconnect << kOn << true;
    QTest::newRow("connecting") << TunnelStatus::Connecting << VPNStatus::connecting << u"stale"_s
                                << kConnecting << true;
    QTest::newRow("reasserting") << TunnelStatus::Reasserting << VPNStatus::connecting << u"stale"_s
                                 << kConnecting << true;
    QTest::newRow("disconnecting") << TunnelStatus::Disconnecting << VPNStatus::disconnecting
                                   << u"stale"_s << kDisconnecting << true;
}

void TestMainViewController::everyStatusRedraws()
{
    QFETCH(TunnelStatus, tunnel);
    QFETCH(VPNStatus, status);
    QFETCH(QString, title);
    QFETCH(QString, line);
    QFETCH(bool, pulse);
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    button->setText(u"stale"_s);
    PulseView::startPulse(button, Qt::white, PulseView::radar);
    m_tunnel.setStatus(tunnel);
    QCOMPARE(m_screen->status(), status);
    QCOMPARE(button->text(), title);
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), line);
    QCOMPARE(PulseView::externalBorderLayer(button) != nullptr, pulse);
}

void TestMainViewController::proxyLineWhileOnCopiesFromTheKeyboard()
{
    m_tunnel.connection()->setLocalProxy(LocalProxyPorts{40001, 40002});
    m_tunnel.setStatus(TunnelStatus::Connected);
    QPointer<QLabel> line = m_screen->outlet<QLabel>(u"proxyLbl"_s);
    QVERIFY(line && line->isVisible());
    QVERIFY(line->text().contains(u"socks5://127.0.0.1:40001"_s));
    QCOMPARE(line->accessibleName(), line->text());
    QApplication::setActiveWindow(m_screen.get());
    m_screen->outlet<QPushButton>(u"connect"_s)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(line.data()));
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(line, QKeySequence::Copy);
    const QString copied = QGuiApplication::clipboard()->text();
    QVERIFY2(copied.contains(u"127.0.0.1:40001"_s) && copied.contains(u"127.0.0.1:40002"_s),
             qPrintable(copied));

    // A screen opened on a running tunnel shows it without waiting for a change.
    m_screen = showScreen();
    QVERIFY(m_screen->outlet<QLabel>(u"proxyLbl"_s)->isVisible());
    m_tunnel.setStatus(TunnelStatus::Disconnected);
    QVERIFY(!m_screen->outlet<QLabel>(u"proxyLbl"_s)->isVisible());
}

void TestMainViewController::trafficLineOnlyWhileOnAndInSight()
{
    MemoryTunnelConnection *connection = m_tunnel.connection();
    QCOMPARE(connection->trafficWatchers(), 0);
    connection->setLocalProxy(LocalProxyPorts{40001, 40002});
    m_tunnel.setStatus(TunnelStatus::Connected);
    QCOMPARE(connection->trafficWatchers(), 1);
    connection->setTraffic(TunnelTraffic{400'000'000, 1'000'000'000, 12'345, 1'234'567, 0, 0});
    QLabel *line = m_screen->outlet<QLabel>(u"proxyLbl"_s);
    QVERIFY2(line->accessibleName().endsWith(u"\n↑ 12.3 KB/s ↓ 1.2 MB/s · 本次 1.4 GB"_s),
             qPrintable(line->accessibleName()));

    // Out of sight nothing is asked for, so nothing wakes the window.
    m_screen->showMinimized();
    QCOMPARE(connection->trafficWatchers(), 0);
    m_screen->showNormal();
    QCOMPARE(connection->trafficWatchers(), 1);
    m_tunnel.setStatus(TunnelStatus::Disconnected);
    QVERIFY(!line->isVisible());
    QCOMPARE(connection->trafficWatchers(), 0);
    connection->setLocalProxy(std::nullopt);
}

void TestMainViewController::pulseCheckOneSecondAfterAppearing_data()
{
    QTest::addColumn<TunnelStatus>("tunnel");
    QTest::addColumn<bool>("pulse");
    QTest::newRow("on") << TunnelStatus::Connected << true;
    QTest::newRow("off") << TunnelStatus::Disconnected << false;
    QTest::newRow("connecting") << TunnelStatus::Connecting << false;
    QTest::newRow("disconnecting") << TunnelStatus::Disconnecting << false;
}

void TestMainViewController::pulseCheckOneSecondAfterAppearing()
{
    QFETCH(TunnelStatus, tunnel);
    QFETCH(bool, pulse);
    m_screen.reset();
    m_tunnel.setStatus(tunnel);
    // No announcement reaches the new screen: only its own check can change the halo.
    m_screen = showScreen();
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    if (!pulse)
        PulseView::startPulse(button, Qt::white, PulseView::radar);
    const bool before = PulseView::externalBorderLayer(button) != nullptr;
    m_clock->advance(900ms);
    QCOMPARE(PulseView::externalBorderLayer(button) != nullptr, before);
    m_clock->advance(100ms);
    PulseHalo *halo = PulseView::externalBorderLayer(button);
    QCOMPARE(halo != nullptr, pulse);
    if (halo)
        QCOMPARE(halo->color(), QColor(Qt::white));
}

void TestMainViewController::repeatedOnRestartsThePulse()
{
    m_tunnel.setStatus(TunnelStatus::Connected);
    const QPointer<PulseHalo> first =
        PulseView::externalBorderLayer(m_screen->outlet<QPushButton>(u"connect"_s));
    QVERIFY(first);
    m_tunnel.setStatus(TunnelStatus::Connected);
    const QPointer<PulseHalo> second =
        PulseView::externalBorderLayer(m_screen->outlet<QPushButton>(u"connect"_s));
    QVERIFY(!first);
    QVERIFY(second);
    QCOMPARE(m_screen->outlet<QPushButton>(u"connect"_s)
                 ->parentWidget()
                 ->findChildren<PulseHalo *>()
                 .size(),
             1);
    // The radar halo grows and fades again from its start.
    QCOMPARE(second->scale(), 1.0);
    QCOMPARE(second->opacity(), double(0.7f));
}

void TestMainViewController::pulseLooksAsIfBlendedOntoTheScreen()
{
    m_tunnel.setStatus(TunnelStatus::Connected);
    PulseHalo *halo = PulseView::externalBorderLayer(m_screen->outlet<QPushButton>(u"connect"_s));
    QVERIFY(halo);
    // Opaque on the screen's backdrop: its frames repaint nothing beneath it.
    QVERIFY(halo->testAttribute(Qt::WA_OpaquePaintEvent));
    // Mid-way through a beat, the halo well out from the button and half faded.
    m_clock->advance(750ms);
    const QRect area =
        halo->geometry().translated(halo->parentWidget()->mapTo(m_screen.get(), QPoint()));
    const QImage fast = m_screen->grab(area).toImage();
    // The screen's shortcuts (its own backdrop, the face it skips) off: plainly blended.
    halo->setBackdrop(QColor());
    halo->setOpaqueView(false);
    const QImage plain = m_screen->grab(area).toImage();
    QCOMPARE(fast.size(), plain.size());
    int largest = 0;
    for (int y = 0; y < fast.height(); ++y)
        for (int x = 0; x < fast.width(); ++x) {
            const QRgb a = fast.pixel(x, y);
            const QRgb b = plain.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)),
                                std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
        }
    QVERIFY2(largest <= 1, qPrintable(QString::number(largest)));
    // And it did show: a ring lighter than the corner beyond its reach, 8 px out from the button.
    const int ring = (area.width() - 160) / 2 - 8;
    QVERIFY(qGray(fast.pixel(ring, fast.height() / 2)) > qGray(fast.pixel(2, 2)) + 40);
}

void TestMainViewController::destroyedScreenHearsNothing()
{
    QTest::mouseClick(m_screen->outlet<QPushButton>(u"connect"_s), Qt::LeftButton);
    const int starts = m_tunnel.connection()->startCount();
    // Children go after the screen's own members: its observer must already be gone by then.
    new AnnouncesWhenDestroyed(m_screen.get());
    m_screen.reset();
    m_tunnel.setStatus(TunnelStatus::Connected);
    // The toggle that was due goes with the screen.
    m_clock->advance(1s);
    m_tunnel.drain();
    QCOMPARE(m_tunnel.connection()->startCount(), starts);
}

void TestMainViewController::titleShrinksToFitTheButton()
{
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    const qreal natural = button->font().pointSizeF();
    button->setFixedSize(40, 40);
    m_tunnel.setStatus(TunnelStatus::Connected);
    QVERIFY(button->font().pointSizeF() < natural);
    QVERIFY(button->font().pointSizeF() >= natural / 2);
    button->setFixedSize(160, 160);
    QCOMPARE(button->font().pointSizeF(), natural);
}

void TestMainViewController::onlyTheDrawnCircleTaps_data()
{
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<bool>("taps");
    // Where on the 160 x 160 button, as shares of its size.
    QTest::newRow("centre") << QPointF(0.5, 0.5) << true;
    QTest::newRow("inside the top of the circle") << QPointF(0.5, 0.02) << true;
    QTest::newRow("inside the left of the circle") << QPointF(0.02, 0.5) << true;
    QTest::newRow("corner") << QPointF(0.02, 0.02) << false;
    QTest::newRow("just outside the circle") << QPointF(0.13, 0.13) << false;
}

void TestMainViewController::onlyTheDrawnCircleTaps()
{
    QFETCH(QPointF, at);
    QFETCH(bool, taps);
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), kOff);
    const QPoint local(qRound(at.x() * button->width()), qRound(at.y() * button->height()));
    QTest::mouseClick(m_screen->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(m_screen.get(), local));
    QCOMPARE(m_screen->outlet<MorphingLabel>(u"content"_s)->text(), taps ? kConnecting : kOff);
    QCOMPARE(isUserInteractionEnabled(button), !taps);
}

void TestMainViewController::focusRingFollowsTheCircle()
{
    QPushButton *button = m_screen->outlet<QPushButton>(u"connect"_s);
    QApplication::setActiveWindow(m_screen.get());
    QVERIFY(QTest::qWaitForWindowActive(m_screen.get()));
    const QRect area(button->mapTo(m_screen.get(), QPoint(0, 0)), button->size());
    button->clearFocus();
    const QImage unfocused = m_screen->grab(area).toImage();
    button->setFocus(Qt::TabFocusReason);
    QVERIFY(button->hasFocus());
    const QImage focused = m_screen->grab(area).toImage();

    // A white ring along the rim of the circle, and nothing in the corners outside it.
    const int middle = button->width() / 2;
    for (const QPoint rim :
         {QPoint(middle, 1), QPoint(1, middle), QPoint(middle, button->height() - 2)}) {
        QVERIFY2(qGray(focused.pixel(rim)) > 230,
                 qPrintable(u"rim at %1,%2"_s.arg(rim.x()).arg(rim.y())));
        QVERIFY(qGray(unfocused.pixel(rim)) < 200);
    }
    for (const QPoint corner : {QPoint(2, 2), QPoint(button->width() - 3, button->height() - 3)})
        QCOMPARE(focused.pixel(corner), unfocused.pixel(corner));
}

// On in the system-wide mode, the line says every program goes through the tunnel, to a screen
// reader too; a start that corvane-netd or polkit refused is told at once, with their words.
void TestMainViewController::systemWideLineAndRefusal()
{
    QVERIFY(SettingsStore::shared().setObject(u"system-wide"_s, u"proxyMode"_s));
    MemoryTunnelConnection *connection = m_tunnel.connection();
    connection->setLocalProxy(LocalProxyPorts{40001, 40002});
    m_tunnel.setStatus(TunnelStatus::Connected);
    const QString name = m_screen->outlet<QLabel>(u"proxyLbl"_s)->accessibleName();
    QVERIFY2(name.contains(u"\n全局模式：所有程序经由隧道"_s), qPrintable(name));
    connection->setLocalProxy(std::nullopt);
    connection->setEndReason(TunnelEndReason{TunnelEndReason::Kind::systemWide, u"polkit: no"_s});
    m_tunnel.setStatus(TunnelStatus::Disconnected);
    QCOMPARE(toastTexts(m_screen.get()), QStringList{u"无法开启全局模式：polkit: no"_s});
    connection->setEndReason({});
    SettingsStore::shared().remove(u"proxyMode"_s);
}

void TestMainViewController::builtInRelayRecord_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("address");
    QTest::newRow("built in") << QString() << u"203.0.113.35"_s;
    QTest::newRow("installed") << u"127.0.0.1"_s << u"127.0.0.1"_s;
}

void TestMainViewController::builtInRelayRecord()
{
    QFETCH(QString, installed);
    QFETCH(QString, address);
    ServiceEndpoints endpoints;
    if (!installed.isEmpty())
        endpoints.relayHost = installed;
    ServiceEndpoints::install(endpoints);
    registerMainScreens();
    std::unique_ptr<ViewController> screen(ScreenFactory::named(u"Main"_s).instantiate(u"quick"_s));
    auto *quick = qobject_cast<MainViewController *>(screen.get());
    QVERIFY(quick);
    // The record exists once the view has loaded.
    QVERIFY(quick->models().isEmpty());
    quick->loadViewIfNeeded();
    ServiceEndpoints::install(ServiceEndpoints());
    QCOMPARE(quick->models().size(), 1);
    const FFSSModel *relay = quick->models().first();
    QCOMPARE(relay->ip, address);
    QCOMPARE(relay->pwd, QString());
    QCOMPARE(relay->port, 3005);
    QCOMPARE(quick->outlet<MorphingLabel>(u"content"_s)->morphingEffect(),
             MorphingEffect::evaporate);
}

QTEST_MAIN(TestMainViewController)
#include "tst_mainviewcontroller.moc"
