#include "app/tray/TrayMenuState.h"

#include <QtTest>

using namespace corvane;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(corvane::TrayMenuState::Icon)

class TestTrayMenuState final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void perStatusAndSignIn_data()
    {
        using Icon = TrayMenuState::Icon;
        QTest::addColumn<VPNStatus>("status");
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("changing");
        QTest::addColumn<Icon>("icon");
        QTest::addColumn<QString>("connectText");
        QTest::addColumn<bool>("connectEnabled");
        QTest::addColumn<bool>("changeIP");
        QTest::addColumn<QString>("toolTip");

        QTest::newRow("off, nobody signed in: the relay")
            << VPNStatus::off << false << false << false << Icon::off << u"连接"_s << true << false
            << u"Corvane：未连接"_s;
        QTest::newRow("off, signed in") << VPNStatus::off << true << false << false << Icon::off
                                        << u"连接"_s << true << false << u"Corvane：未连接"_s;
        QTest::newRow("connecting can be called off")
            << VPNStatus::connecting << true << false << false << Icon::connecting << u"断开"_s
            << true << false << u"Corvane：连接中..."_s;
        QTest::newRow("on, signed in: change IP")
            << VPNStatus::on << true << false << false << Icon::on << u"断开"_s << true << true
            << u"Corvane：已连接"_s;
        QTest::newRow("on through the relay: no order to change IP with")
            << VPNStatus::on << false << false << false << Icon::on << u"断开"_s << true << false
            << u"Corvane：已连接"_s;
        QTest::newRow("on, screen between tap and step")
            << VPNStatus::on << true << true << false << Icon::on << u"断开"_s << false << false
            << u"Corvane：已连接"_s;
        QTest::newRow("disconnecting waits")
            << VPNStatus::disconnecting << true << false << false << Icon::connecting
            << u"断开中..."_s << false << false << u"Corvane：断开中..."_s;
        QTest::newRow("change of IP, down leg")
            << VPNStatus::off << true << false << true << Icon::connecting << u"切换中..."_s
            << false << false << u"Corvane：切换中..."_s;
        QTest::newRow("change of IP, up leg")
            << VPNStatus::connecting << true << false << true << Icon::connecting << u"切换中..."_s
            << false << false << u"Corvane：切换中..."_s;
    }

    void perStatusAndSignIn()
    {
        QFETCH(VPNStatus, status);
        QFETCH(bool, signedIn);
        QFETCH(bool, busy);
        QFETCH(bool, changing);
        QFETCH(TrayMenuState::Icon, icon);
        QFETCH(QString, connectText);
        QFETCH(bool, connectEnabled);
        QFETCH(bool, changeIP);
        QFETCH(QString, toolTip);
        const TrayMenuState state = TrayMenuState::of(status, signedIn, busy, changing);
        QCOMPARE(state.icon, icon);
        QCOMPARE(state.connectText, connectText);
        QCOMPARE(state.connectEnabled, connectEnabled);
        QCOMPARE(state.changeIPEnabled, changeIP);
        QCOMPARE(state.toolTip, toolTip);
    }
};

QTEST_GUILESS_MAIN(TestTrayMenuState)
#include "tst_traymenustate.moc"
