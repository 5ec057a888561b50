#include "tunnel/packet/FlowTable.h"
#include "tunnel/packet/IpPacket.h"

#include <QTest>

using namespace corvane::tunnel;
using namespace std::chrono_literals;

namespace {
IpEndpoint endpoint(const char *host, std::uint16_t port)
{
    return *IpEndpoint::of(*SocketAddress::parse(host, port));
}

FlowTable::Settings settings(std::uint16_t ports)
{
    FlowTable::Settings settings;
    settings.peer4 = endpoint("198.18.0.2", 0);
    settings.peer6 = endpoint("fd00:c0a7::2", 0);
    settings.portCount = ports;
    return settings;
}

const IpEndpoint kMachine = endpoint("198.18.0.1", 40000);
const IpEndpoint kServer = endpoint("198.19.7.9", 80);
constexpr std::uint8_t kSyn = IpPacket::kSyn;
constexpr std::uint8_t kAck = IpPacket::kAck;
constexpr std::uint8_t kFin = IpPacket::kFin | IpPacket::kAck;
constexpr std::uint8_t kRst = IpPacket::kRst;
const FlowTable::Clock::time_point kStart{1h};
} // namespace

class tst_FlowTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyASynOpensAFlow_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("opens");
        QTest::newRow("syn") << int(kSyn) << true;
        QTest::newRow("syn ack") << int(kSyn | kAck) << false;
        QTest::newRow("ack of a forgotten flow") << int(kAck) << false;
        QTest::newRow("reset") << int(kRst) << false;
        QTest::newRow("syn reset") << int(kSyn | kRst) << false;
    }
    void onlyASynOpensAFlow()
    {
        QFETCH(int, flags);
        QFETCH(bool, opens);
        FlowTable table(settings(8));
        QCOMPARE(table.fromMachine(kMachine, kServer, std::uint8_t(flags), kStart) != nullptr,
                 opens);
        QCOMPARE(table.size(), std::size_t(opens));
    }

    void peersAreHandedOutInTurnAndLeadBack()
    {
        FlowTable table(settings(3));
        std::vector<IpEndpoint> peers;
        for (std::uint16_t port = 1; port <= 3; ++port) {
            const FlowTable::Flow *flow =
                table.fromMachine(kMachine.withPort(port), kServer, kSyn, kStart);
            QVERIFY(flow);
            peers.push_back(flow->peer);
        }
        QCOMPARE(peers[0].text(), std::string("198.18.0.2:10000"));
        QCOMPARE(peers[2].text(), std::string("198.18.0.2:10002"));
        QVERIFY(!table.fromMachine(kMachine.withPort(4), kServer, kSyn, kStart));
        // A retransmitted SYN keeps its flow; the other family has its own ports.
        QCOMPARE(table.fromMachine(kMachine.withPort(2), kServer, kSyn, kStart)->peer, peers[1]);
        const IpEndpoint machine6 = endpoint("fd00:c0a7::1", 40000);
        const FlowTable::Flow *flow6 =
            table.fromMachine(machine6, endpoint("fd00:c0a7:1::9", 443), kSyn, kStart);
        QVERIFY(flow6);
        QCOMPARE(flow6->peer.text(), std::string("[fd00:c0a7::2]:10000"));

        const std::optional<FlowTable::Flow> original = table.originalDestination(peers[1]);
        QVERIFY(original);
        QCOMPARE(original->source, kMachine.withPort(2));
        QCOMPARE(original->destination, kServer);
        QCOMPARE(table.fromListener(flow6->peer, kAck, kStart)->source, machine6);
        QVERIFY(!table.originalDestination(peers[1].withPort(10003)));
        QVERIFY(!table.originalDestination(endpoint("198.18.0.3", 10001)));
        QVERIFY(!table.fromListener(endpoint("198.18.0.2", 9999), kAck, kStart));
    }

    void idleFlowsEnd_data()
    {
        QTest::addColumn<QList<int>>("machine");
        QTest::addColumn<QList<int>>("listener");
        QTest::addColumn<int>("idleSeconds");
        QTest::addColumn<bool>("ends");
        const QList<int> none;
        const int established = 124 * 60;
        const int transitory = 4 * 60;
        QTest::newRow("open, just short")
            << QList<int>{kSyn, kAck} << QList<int>{kSyn | kAck} << established - 1 << false;
        QTest::newRow("open, idle") << QList<int>{kSyn, kAck} << none << established << true;
        QTest::newRow("one fin") << QList<int>{kSyn, kFin} << none << transitory << false;
        QTest::newRow("fins both ways")
            << QList<int>{kSyn, kFin} << QList<int>{kFin} << transitory << true;
        QTest::newRow("fins both ways, just short")
            << QList<int>{kSyn, kFin} << QList<int>{kFin} << transitory - 1 << false;
        QTest::newRow("reset by the listener")
            << QList<int>{kSyn} << QList<int>{kRst} << transitory << true;
        QTest::newRow("reset by the machine")
            << QList<int>{kSyn, kRst} << none << transitory << true;
    }
    void idleFlowsEnd()
    {
        QFETCH(QList<int>, machine);
        QFETCH(QList<int>, listener);
        QFETCH(int, idleSeconds);
        QFETCH(bool, ends);
        FlowTable table(settings(8));
        // The last packet sets the idle time's start, whichever side sent it.
        const auto last = kStart + 10s;
        IpEndpoint peer;
        for (const int flags : machine)
            peer = table.fromMachine(kMachine, kServer, std::uint8_t(flags), kStart)->peer;
        for (const int flags : listener)
            QVERIFY(table.fromListener(peer, std::uint8_t(flags), kStart));
        QVERIFY(table.fromListener(peer, kAck, last));
        table.expire(last + std::chrono::seconds(idleSeconds));
        QCOMPARE(table.size(), std::size_t(!ends));
        QCOMPARE(!table.originalDestination(peer), ends);
        QCOMPARE(!table.fromListener(peer, kAck, last), ends);
    }

    void aNewConnectionOnEndedPortsTakesAFreshPeer()
    {
        FlowTable table(settings(8));
        const IpEndpoint first = table.fromMachine(kMachine, kServer, kSyn, kStart)->peer;
        QVERIFY(table.fromListener(first, kRst, kStart));
        const FlowTable::Flow *again = table.fromMachine(kMachine, kServer, kSyn, kStart);
        QVERIFY(again);
        QVERIFY(again->peer != first);
        QCOMPARE(table.size(), std::size_t(1));
        QVERIFY(!table.originalDestination(first));
    }
};

QTEST_GUILESS_MAIN(tst_FlowTable)
#include "tst_flowtable.moc"
