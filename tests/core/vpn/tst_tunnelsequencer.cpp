#include "MemoryTunnel.h"
#include "core/config/ServiceEndpoints.h"
#include "core/home/AuthString.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include <QSet>
#include <QTest>
#include <cmath>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

class TestTunnelSequencer final : public QObject
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

    TunnelRequest service(qint64 province = 3, qint64 nd = 1)
    {
        return TunnelRequest{TunnelRequest::Service{m_order, province, nd, 0}};
    }

    // Connected through `sequencer` with a service request and up.
    void bringUp(TunnelSequencer &sequencer)
    {
        sequencer.connectTunnel(service());
        m_tunnel->drain();
        m_tunnel->setStatus(TunnelStatus::Connected);
        m_tunnel->drain();
    }

    void toggleConnectsAStepLaterWhenOff()
    {
        TunnelSequencer sequencer(*m_manager);
        sequencer.choose(service());
        QList<TunnelSequencer::Toggle> done;
        QVERIFY(sequencer.toggle([&done](TunnelSequencer::Toggle toggle) { done << toggle; }));
        QCOMPARE(sequencer.state(), TunnelSequencer::State::stepping);
        QVERIFY(!sequencer.toggle());
        m_clock->advance(990ms);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->startCount(), 0);
        m_clock->advance(10ms);
        m_tunnel->drain();
        QCOMPARE(done, QList<TunnelSequencer::Toggle>{TunnelSequencer::Toggle::connecting});
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
        TunnelSequencer sequencer(*m_manager);
        sequencer.choose(service());
        QList<TunnelSequencer::Toggle> done;
        sequencer.toggle([&done](TunnelSequencer::Toggle toggle) { done << toggle; });
        m_tunnel->setStatus(TunnelStatus::Connected);
        m_clock->advance(1s);
        m_tunnel->drain();
        QCOMPARE(done, QList<TunnelSequencer::Toggle>{TunnelSequencer::Toggle::disconnecting});
        QCOMPARE(m_tunnel->connection()->startCount(), 0);
        QCOMPARE(m_tunnel->connection()->stopCount(), 1);
    }

    // A change stops, connects again a step after the off with a fresh uid and string, and ends
    // at on; a refused reconnect ends it at the next off, and a disconnect ends it at once.
    void changeOfAddress_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("comes back") << u"on"_s;
        QTest::newRow("reconnect refused") << u"off"_s;
        QTest::newRow("disconnect while off") << u"disconnect"_s;
    }

    void changeOfAddress()
    {
        QFETCH(QString, ending);
        TunnelSequencer sequencer(*m_manager);
        bringUp(sequencer);
        const QString firstAuth =
            m_tunnel->connection()->startedConfiguration().value(u"ss_auth"_s).toString();
        QVERIFY(sequencer.changeAddress());
        QVERIFY(sequencer.isSwitching());
        QVERIFY(!sequencer.changeAddress());
        m_clock->advance(1s);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->stopCount(), 1);
        m_tunnel->setStatus(TunnelStatus::Disconnected);
        m_tunnel->drain();
        QVERIFY(sequencer.isSwitching());
        if (ending == u"disconnect"_s) {
            sequencer.disconnectTunnel();
            QVERIFY(!sequencer.isSwitching());
            m_clock->advance(2s);
            m_tunnel->drain();
            QCOMPARE(m_tunnel->connection()->startCount(), 1);
            return;
        }
        m_clock->advance(1s);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->startCount(), 2);
        const QString secondAuth =
            m_tunnel->connection()->startedConfiguration().value(u"ss_auth"_s).toString();
        QCOMPARE(parseAuthString(secondAuth)->orderId, u"B7"_s);
        QVERIFY(secondAuth != firstAuth);
        m_tunnel->setStatus(TunnelStatus::Connecting);
        m_tunnel->drain();
        QVERIFY(sequencer.isSwitching());
        m_tunnel->setStatus(ending == u"on"_s ? TunnelStatus::Connected
                                              : TunnelStatus::Disconnected);
        m_tunnel->drain();
        QVERIFY(!sequencer.isSwitching());
        m_clock->advance(2s);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->startCount(), 2);
    }

    // Only a running tunnel of the service's changes address: not one whose connect is still on
    // its way, nor one through a relay.
    void changeWhileAConnectIsPendingIsRefused()
    {
        TunnelSequencer sequencer(*m_manager);
        sequencer.connectTunnel(service());
        QVERIFY(!sequencer.changeAddress());
        m_tunnel->drain();
        m_tunnel->setStatus(TunnelStatus::Connecting);
        m_tunnel->drain();
        QVERIFY(!sequencer.changeAddress());
        m_tunnel->setStatus(TunnelStatus::Connected);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->startCount(), 1);
        QCOMPARE(m_tunnel->connection()->stopCount(), 0);
        sequencer.choose(TunnelRequest{TunnelRequest::Quick{}});
        QVERIFY(!sequencer.changeAddress());
        sequencer.choose(service());
        QVERIFY(sequencer.changeAddress());
    }

    // A disconnect overtakes the step of a toggle asked for before it.
    void aDisconnectDropsAPendingStep()
    {
        TunnelSequencer sequencer(*m_manager);
        sequencer.choose(service());
        sequencer.toggle();
        bool stopped = false;
        sequencer.disconnectTunnel([&stopped] { stopped = true; });
        QCOMPARE(sequencer.state(), TunnelSequencer::State::idle);
        m_tunnel->drain();
        QVERIFY(stopped);
        m_clock->advance(2s);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->startCount(), 0);
    }

    // The stop of every tunnel completes only after a connect already on its way has started,
    // so that the start cannot come after the stop.
    void theStopOfEveryTunnelWaitsForAConnectOnItsWay()
    {
        TunnelSequencer sequencer(*m_manager);
        sequencer.connectTunnel(service());
        bool stopped = false;
        sequencer.disconnectEveryTunnel(QString(), [&stopped] { stopped = true; });
        int rounds = 0;
        while (!stopped && rounds++ < 20) {
            QCOMPARE(m_tunnel->connection() ? m_tunnel->connection()->stopCount() : 0, 0);
            QCoreApplication::processEvents();
        }
        QVERIFY(stopped);
        QCOMPARE(m_tunnel->connection()->startCount(), 1);
        QCOMPARE(m_tunnel->connection()->stopCount(), 1);
    }

    void aSequencerGoneDropsItsPendingSteps()
    {
        auto sequencer = std::make_unique<TunnelSequencer>(*m_manager);
        bringUp(*sequencer);
        sequencer->changeAddress();
        sequencer.reset();
        m_clock->advance(2s);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->stopCount(), 0);
    }

    // The helper reports the tunnel down by itself for `kind`.
    void dropFor(TunnelEndReason::Kind kind)
    {
        m_tunnel->connection()->setEndReason(TunnelEndReason{kind, {}});
        m_tunnel->setStatus(TunnelStatus::Disconnected);
    }

    // A tunnel that goes down by itself for a reason that may pass is connected again, each
    // wait doubling from 1 s to 60 s and each try signed afresh, until it is up, stopped, refused
    // or 30 minutes have passed; never after a refusal or with the setting off.
    void reconnectsByItself_data()
    {
        using Kind = TunnelEndReason::Kind;
        QTest::addColumn<Kind>("reason");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("tries");
        QTest::newRow("lost, back on the 3rd") << Kind::lost << true << u"up"_s << 3;
        QTest::newRow("unreachable, refused on the 2nd")
            << Kind::unreachable << true << u"refused"_s << 2;
        QTest::newRow("lost, stopped in the back-off") << Kind::lost << true << u"stop"_s << 2;
        QTest::newRow("lost, gives up at 30 min") << Kind::lost << true << u"never"_s << 34;
        QTest::newRow("refused") << Kind::refused << true << u"up"_s << 0;
        QTest::newRow("setting off") << Kind::lost << false << u"up"_s << 0;
    }

    void reconnectsByItself()
    {
        QFETCH(TunnelEndReason::Kind, reason);
        QFETCH(bool, enabled);
        QFETCH(QString, ending);
        QFETCH(int, tries);
        TunnelSequencer sequencer(*m_manager);
        sequencer.setAutoReconnect([enabled] { return enabled; });
        bringUp(sequencer);
        QSet<QString> signedStrings{
            m_tunnel->connection()->startedConfiguration().value(u"ss_auth"_s).toString()};
        dropFor(reason);
        m_tunnel->drain();
        QCOMPARE(sequencer.isReconnecting(), tries > 0);
        for (int tried = 0; tried < tries; ++tried) {
            const auto wait = std::min(Scheduler::Duration(std::ldexp(1.0, tried)),
                                       TunnelSequencer::kLongestRetry);
            m_clock->scheduler().advance(wait - 10ms);
            m_tunnel->drain();
            QCOMPARE(m_tunnel->connection()->startCount(), 1 + tried);
            if (ending == u"stop"_s && tried + 1 == tries) {
                sequencer.disconnectTunnel();
                break;
            }
            m_clock->scheduler().advance(10ms);
            m_tunnel->drain();
            QCOMPARE(m_tunnel->connection()->startCount(), 2 + tried);
            const QString auth =
                m_tunnel->connection()->startedConfiguration().value(u"ss_auth"_s).toString();
            QCOMPARE(parseAuthString(auth)->uid.toUInt(), m_manager->uid);
            QVERIFY(!signedStrings.contains(auth));
            signedStrings << auth;
            QVERIFY(sequencer.isReconnecting());
            if (tried + 1 < tries || ending == u"never"_s)
                dropFor(TunnelEndReason::Kind::unreachable);
            else if (ending == u"up"_s)
                m_tunnel->setStatus(TunnelStatus::Connected);
            else
                dropFor(TunnelEndReason::Kind::refused);
            m_tunnel->drain();
        }
        QVERIFY(!sequencer.isReconnecting());
        const int started = m_tunnel->connection()->startCount();
        m_clock->scheduler().advance(TunnelSequencer::kReconnectFor);
        m_tunnel->drain();
        QCOMPARE(m_tunnel->connection()->startCount(), started);
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

QTEST_GUILESS_MAIN(TestTunnelSequencer)
#include "tst_tunnelsequencer.moc"
