#include "TunnelHarness.h"
#include "tunnel/client/ServiceDatagramLink.h"
#include "tunnel/client/ServiceSession.h"
#include "tunnel/engine/TimeSource.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

using namespace std::chrono_literals;

namespace {
const ServiceKeys::Key kTunnelKey{7, 7, 7};
const TunnelId kTunnel{1, 2, 3};

QByteArray bytes(ByteView view)
{
    return {reinterpret_cast<const char *>(view.data()), static_cast<qsizetype>(view.size())};
}

ByteView view(const QByteArray &array)
{
    return {reinterpret_cast<const std::uint8_t *>(array.constData()),
            static_cast<std::size_t>(array.size())};
}

std::uint64_t numberOf(const QByteArray &packet)
{
    std::uint64_t number = 0;
    for (char byte : packet.mid(2 + sizeof(TunnelId), 8))
        number = number << 8 | static_cast<std::uint8_t>(byte);
    return number;
}

TargetAddress at(const std::string &host, std::uint16_t port)
{
    return *TargetAddress::fromHost(host, port);
}

// The relay's end, played on the test's thread over UDP and TCP on one port number.
struct FakeRelay
{
    QUdpSocket udp;
    QTcpServer tcp;
    ServiceDatagram codec{kTunnelKey, kTunnel, ServiceDatagram::End::Relay};
    QHostAddress peerHost;
    quint16 peerPort = 0;

    FakeRelay()
    {
        tcp.listen(QHostAddress::LocalHost, 0);
        udp.bind(QHostAddress::LocalHost, tcp.serverPort());
    }
    SocketAddress address() const { return SocketAddress::loopback(false, tcp.serverPort()); }
    QByteArray answer(const TargetAddress &from, const QByteArray &payload)
    {
        Bytes packet;
        codec.seal(from, view(payload), packet);
        return bytes(packet);
    }
    void sendUdp(const QByteArray &packet) { udp.writeDatagram(packet, peerHost, peerPort); }
};

struct Received
{
    QList<QByteArray> payloads;
    DatagramChannel::Receiver receiver()
    {
        return [this](Datagram &&datagram) { payloads << bytes(datagram.payload); };
    }
};
} // namespace

// The client's datagram link against a relay the test plays: answers reach the channels that
// sent to their source, bad packets are counted and harm nothing, numbers run on over the
// datagram connection that UDP without an answer falls back to.
class tst_ServiceDatagramLink final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersReachTheChannelsThatSentThere();
    void fallsBackToADatagramConnection();
    void numbersRunOnAcrossAResume();

private:
    // Runs the loop until `done`, or gives up after a while.
    bool pump(EventLoop &loop, const std::function<bool()> &done)
    {
        return QTest::qWaitFor([&] {
            loop.runReady();
            return done();
        });
    }
};

void tst_ServiceDatagramLink::answersReachTheChannelsThatSentThere()
{
    ManualTime time;
    EventLoop loop(time);
    FakeRelay relay;
    ServiceDatagramLink link(loop, relay.address(), kTunnelKey, kTunnel,
                             ServiceDatagramLink::Path::Udp);
    Received a;
    Received b;
    std::unique_ptr<DatagramChannel> channelA = link.open(a.receiver());
    std::unique_ptr<DatagramChannel> channelB = link.open(b.receiver());
    QVERIFY(channelA->send(at("127.0.0.1", 1000), view("to 1000")));
    QVERIFY(channelB->send(at("127.0.0.1", 2000), view("to 2000")));
    QVERIFY(channelA->send(at("127.0.0.1", 3000), view("a to 3000")));
    QVERIFY(channelB->send(at("127.0.0.1", 3000), view("b to 3000")));
    QVERIFY(channelA->send(at("example.com", 53), view("query")));
    for (std::uint64_t n = 0; n < 5; ++n) {
        QVERIFY(relay.udp.hasPendingDatagrams() || relay.udp.waitForReadyRead(10000));
        const QNetworkDatagram datagram = relay.udp.receiveDatagram();
        relay.peerHost = datagram.senderAddress();
        relay.peerPort = quint16(datagram.senderPort());
        QCOMPARE(numberOf(datagram.data()), n);
        QVERIFY(std::holds_alternative<Datagram>(relay.codec.open(view(datagram.data()))));
    }

    const QByteArray fromB = relay.answer(at("127.0.0.1", 2000), "from 2000");
    relay.sendUdp(fromB);
    relay.sendUdp(fromB);
    QByteArray tampered = relay.answer(at("127.0.0.1", 1000), "changed");
    tampered[tampered.size() - 1] = static_cast<char>(tampered[tampered.size() - 1] ^ 1);
    relay.sendUdp(tampered);
    ServiceDatagram otherTunnel(kTunnelKey, TunnelId{9}, ServiceDatagram::End::Relay);
    Bytes other;
    otherTunnel.seal(at("127.0.0.1", 1000), view("other tunnel"), other);
    relay.sendUdp(bytes(other));
    relay.sendUdp(relay.answer(at("127.0.0.1", 3000), "from 3000"));
    relay.sendUdp(relay.answer(at("192.0.2.53", 53), "answer"));
    QVERIFY(pump(loop, [&] { return a.payloads.size() == 2 && b.payloads.size() == 2; }));
    QCOMPARE(a.payloads, (QList<QByteArray>{"from 3000", "answer"}));
    QCOMPARE(b.payloads, (QList<QByteArray>{"from 2000", "from 3000"}));
    QCOMPARE(link.dropped(), std::size_t(3));
    QCOMPARE(link.path(), ServiceDatagramLink::Path::Udp);
    // An ended association's channel takes nothing more.
    channelB.reset();
    relay.sendUdp(relay.answer(at("127.0.0.1", 3000), "again"));
    QVERIFY(pump(loop, [&] { return a.payloads.size() == 3; }));
    QCOMPARE(b.payloads.size(), 2);
}

void tst_ServiceDatagramLink::fallsBackToADatagramConnection()
{
    ManualTime time;
    EventLoop loop(time);
    FakeRelay relay;
    ServiceDatagramLink link(loop, relay.address(), kTunnelKey, kTunnel,
                             ServiceDatagramLink::Path::Udp);
    Received a;
    std::unique_ptr<DatagramChannel> channel = link.open(a.receiver());
    QVERIFY(channel->send(at("127.0.0.1", 1000), view("lost")));
    QVERIFY(relay.udp.waitForReadyRead(10000));
    relay.udp.receiveDatagram();
    time.advance(ServiceDatagramLink::kUdpAnswerWithin - 1ms);
    loop.runReady();
    QCOMPARE(link.path(), ServiceDatagramLink::Path::Udp);
    time.advance(1ms);
    loop.runReady();
    QCOMPARE(link.path(), ServiceDatagramLink::Path::Connection);

    QVERIFY(channel->send(at("127.0.0.1", 1000), view("over tcp")));
    QVERIFY(pump(loop, [&] { return relay.tcp.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> stream(relay.tcp.nextPendingConnection());
    const int expected =
        int(ServiceDatagramStream::kHelloSize + 2 + ServiceDatagram::kOverhead + 7 + 8);
    QVERIFY(pump(loop, [&] { return stream->bytesAvailable() >= expected; }));
    const QByteArray wire = stream->readAll();
    Bytes hello;
    ServiceDatagramStream::encodeHello(kTunnel, hello);
    QCOMPARE(wire.left(int(hello.size())), bytes(hello));
    const QByteArray packet = wire.mid(int(hello.size()) + 2);
    // The numbers run on from UDP.
    QCOMPARE(numberOf(packet), std::uint64_t(1));
    QVERIFY(std::holds_alternative<Datagram>(relay.codec.open(view(packet))));

    Bytes framed;
    ServiceDatagramStream::encode(view(relay.answer(at("127.0.0.1", 1000), "back")), framed);
    stream->write(bytes(framed));
    stream->flush();
    QVERIFY(pump(loop, [&] { return a.payloads.size() == 1; }));
    QCOMPARE(a.payloads.first(), QByteArray("back"));
}

void tst_ServiceDatagramLink::numbersRunOnAcrossAResume()
{
    RelayHarness relay({}, "127.77.0.22");
    ManualTime time;
    EventLoop loop(time);
    RelaySession::State state = RelaySession::State::Connecting;
    RelaySession::Events events;
    events.state = [&](RelaySession::State now, const std::string &) { state = now; };
    ServiceSession session(loop, {}, events, "", "auth");
    QVERIFY(!session.openDatagrams({}));
    session.start(SocketAddress::loopback(false, relay.port()));
    QVERIFY(pump(loop, [&] { return state == RelaySession::State::Connected; }));
    QUdpSocket echo;
    QVERIFY(echo.bind(QHostAddress::LocalHost, 0));
    Received a;
    std::unique_ptr<DatagramChannel> channel = session.openDatagrams(a.receiver());
    QVERIFY(channel);
    for (const char *payload : {"before", "after the resume"}) {
        if (a.payloads.size() == 1) {
            relay.drop();
            QVERIFY(relay.relisten());
            QVERIFY(pump(loop, [&] { return state == RelaySession::State::Reasserting; }));
            QVERIFY(pump(loop, [&] {
                time.advance(100ms);
                return state == RelaySession::State::Connected;
            }));
        }
        QVERIFY(channel->send(at("127.0.0.1", echo.localPort()), view(payload)));
        QVERIFY(pump(loop, [&] { return echo.hasPendingDatagrams(); }));
        const QNetworkDatagram datagram = echo.receiveDatagram();
        QCOMPARE(datagram.senderAddress().toString(), QStringLiteral("127.77.0.22"));
        echo.writeDatagram(datagram.makeReply(datagram.data()));
        QVERIFY(pump(loop, [&] { return a.payloads.size() && a.payloads.last() == payload; }));
    }
    QCOMPARE(session.datagrams()->dropped(), std::size_t(0));
}

QTEST_GUILESS_MAIN(tst_ServiceDatagramLink)
#include "tst_servicedatagramlink.moc"
