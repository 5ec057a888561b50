#include "MemoryTunnel.h"
#include "core/config/ServiceEndpoints.h"
#include "core/home/AuthString.h"
#include "core/home/TunnelRoad.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include <QTest>

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

class TestTunnelRoad final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<MemoryTunnel> m_tunnel;
    std::unique_ptr<VpnManager> m_manager;
    std::shared_ptr<SCOrder> m_order;

private Q_SLOTS:
    void init()
    {
        m_clock = std::make_unique<ManualClock>();
        m_tunnel = std::make_unique<MemoryTunnel>();
        m_manager = std::make_unique<VpnManager>(m_tunnel->store());
        m_tunnel->drain();
        m_order = std::make_shared<SCOrder>();
        m_order->orderId = u"B7"_s;
        m_order->secret = u"s"_s;
        ServiceEndpoints endpoints;
        endpoints.tunnelHost = u"tunnel.test"_s;
        ServiceEndpoints::install(endpoints);
    }

    void cleanup()
    {
        m_manager.reset();
        m_tunnel.reset();
        m_clock.reset();
        ServiceEndpoints::install(ServiceEndpoints());
    }

    void toggleConnectsASecondLaterWhenOff()
    {
        TunnelRoad road(*m_manager);
        m_manager->nd = 1;
        QList<TunnelRoad::Toggle> done;
        road.toggleLater(m_order, 3, [&done](TunnelRoad::Toggle toggle) { done << toggle; });
        m_clock->advance(0.99);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->startCount(), 0);
        QVERIFY(done.isEmpty());
        m_clock->advance(0.01);
        m_tunnel->drain();
        QCOMPARE(done, QList<TunnelRoad::Toggle>{TunnelRoad::Toggle::connecting});
        QCOMPARE(m_tunnel->connection()->startCount(), 1);
        const QVariantMap started = m_tunnel->connection()->startedConfiguration();
        QCOMPARE(started.value(u"ss_address"_s).toString(), u"tunnel.test"_s);
        QCOMPARE(started.value(u"ss_port"_s).toLongLong(), 14223);
        const auto auth = parseAuthString(started.value(u"ss_auth"_s).toString());
        QVERIFY(auth);
        QCOMPARE(auth->orderId, u"B7"_s);
        QCOMPARE(auth->provinceIndex, 3);
        QCOMPARE(auth->nd, 1);
        QCOMPARE(auth->uid.toUInt(), m_manager->uid);
    }

    void theStatusWhenTheStepRunsDecides()
    {
        TunnelRoad road(*m_manager);
        QList<TunnelRoad::Toggle> done;
        road.toggleLater(m_order, -1, [&done](TunnelRoad::Toggle toggle) { done << toggle; });
        m_tunnel->setStatus(TunnelStatus::Connected);
        m_clock->advance(1.0);
        m_tunnel->drain();
        QCOMPARE(done, QList<TunnelRoad::Toggle>{TunnelRoad::Toggle::disconnecting});
        QCOMPARE(m_tunnel->connection()->startCount(), 0);
        QCOMPARE(m_tunnel->connection()->stopCount(), 1);
    }

    void changeStopsThenReconnectsOnceOff()
    {
        m_tunnel->setStatus(TunnelStatus::Connected);
        TunnelRoad road(*m_manager);
        int reconnects = 0;
        const auto reconnect = [&reconnects] { ++reconnects; };
        road.beginChange();
        QVERIFY(road.isChanging());
        m_clock->advance(1.0);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->stopCount(), 1);
        road.statusChanged(VPNStatus::disconnecting, reconnect);
        QCOMPARE(reconnects, 0);
        road.statusChanged(VPNStatus::off, reconnect);
        QCOMPARE(reconnects, 1);
        QVERIFY(road.isChanging());
        road.statusChanged(VPNStatus::connecting, reconnect);
        road.statusChanged(VPNStatus::on, reconnect);
        QVERIFY(!road.isChanging());
        // Outside a change an off is just an off.
        road.statusChanged(VPNStatus::off, reconnect);
        QCOMPARE(reconnects, 1);
    }

    void aRefusedReconnectEndsTheChange()
    {
        TunnelRoad road(*m_manager);
        int reconnects = 0;
        const auto reconnect = [&reconnects] { ++reconnects; };
        road.beginChange();
        road.statusChanged(VPNStatus::off, reconnect);
        road.statusChanged(VPNStatus::connecting, reconnect);
        road.statusChanged(VPNStatus::off, reconnect);
        QCOMPARE(reconnects, 1);
        QVERIFY(!road.isChanging());
        // The next change starts afresh.
        road.beginChange();
        road.statusChanged(VPNStatus::off, reconnect);
        QCOMPARE(reconnects, 2);
    }

    void aRoadGoneDropsItsPendingSteps()
    {
        m_tunnel->setStatus(TunnelStatus::Connected);
        auto road = std::make_unique<TunnelRoad>(*m_manager);
        road->beginChange();
        road->toggleLater(m_order, -1, {});
        road.reset();
        m_clock->advance(2.0);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->stopCount(), 0);
    }

    void signedStringsReadBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("with province")
            << makeAuthString({u"A1"_s, u"s"_s, 17, 4, 1, 0, 123456789}) << true;
        QTest::newRow("without province")
            << makeAuthString({u"A1"_s, u"s"_s, 17, -1, 0, 1, 999999999}) << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("no uid") << u"orderId=A1&time=1&sign=ab&nd=0&sip=0"_s << false;
        QTest::newRow("time not a number")
            << u"orderId=A1&time=x&sign=ab&nd=0&sip=0&uid=1"_s << false;
        QTest::newRow("province not a number")
            << u"orderId=A1&time=1&sign=ab&pid=bj&nd=0&sip=0&uid=1"_s << false;
        QTest::newRow("a field without a value")
            << u"orderId=A1&time&sign=ab&nd=0&sip=0&uid=1"_s << false;
    }

    void signedStringsReadBack()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<AuthStringFields> fields = parseAuthString(text);
        QCOMPARE(fields.has_value(), valid);
        if (!fields)
            return;
        QCOMPARE(fields->orderId, u"A1"_s);
        QCOMPARE(fields->time, u"17"_s);
        QCOMPARE(fields->sign.size(), 32);
        QCOMPARE(fields->provinceIndex.has_value(), text.contains(u"&pid="_s));
    }
};

QTEST_GUILESS_MAIN(TestTunnelRoad)
#include "tst_tunnelroad.moc"
