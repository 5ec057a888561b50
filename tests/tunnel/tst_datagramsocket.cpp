#include "tunnel/engine/DatagramSocket.h"
#include "tunnel/engine/EventLoop.h"

#include <QTest>

using namespace corvane::tunnel;

namespace {
struct Told final : Watched
{
    int readable = 0;
    void onEvents(Readiness ready) override { readable += ready.readable; }
};

DatagramSocket bound()
{
    auto socket = DatagramSocket::bind(SocketAddress::loopback(false, 0));
    if (auto *error = std::get_if<TunnelError>(&socket))
        qFatal("cannot bind a datagram socket: %s", error->description.c_str());
    return std::get<DatagramSocket>(std::move(socket));
}
} // namespace

class tst_DatagramSocket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void datagramArrivesWithItsSender_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("bytes") << QByteArray("a datagram");
        // An empty datagram is one, not the end of a stream.
        QTest::newRow("empty") << QByteArray();
    }
    void datagramArrivesWithItsSender()
    {
        QFETCH(QByteArray, payload);
        EventLoop loop;
        DatagramSocket receiver = bound();
        DatagramSocket sender = bound();
        Told told;
        receiver.watch(loop, told);
        QVERIFY(!receiver.want({true, false}));

        std::uint8_t buffer[64];
        QCOMPARE(receiver.receiveFrom(buffer).result.outcome, IoResult::Outcome::WouldBlock);
        const IoResult sent =
            sender.sendTo(bytesOf(payload.toStdString()), SocketAddress::local(receiver.fd()));
        QVERIFY(sent.done());
        QCOMPARE(sent.count, std::size_t(payload.size()));

        loop.runReady();
        QCOMPARE(told.readable, 1);
        const DatagramSocket::Received received = receiver.receiveFrom(buffer);
        QCOMPARE(received.result.outcome, IoResult::Outcome::Done);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), int(received.result.count)),
                 payload);
        QCOMPARE(received.from.text(), SocketAddress::local(sender.fd()).text());
        QCOMPARE(receiver.receiveFrom(buffer).result.outcome, IoResult::Outcome::WouldBlock);
    }

    // The relay channels and flows leave the sender check to the kernel.
    void aConnectedSocketHearsItsPeerAlone()
    {
        DatagramSocket peer = bound();
        DatagramSocket stranger = bound();
        auto connected = DatagramSocket::connect(SocketAddress::local(peer.fd()));
        QVERIFY(std::holds_alternative<DatagramSocket>(connected));
        const DatagramSocket &socket = std::get<DatagramSocket>(connected);
        const SocketAddress address = SocketAddress::local(socket.fd());

        QVERIFY(stranger.sendTo(bytesOf("from a stranger"), address).done());
        QVERIFY(peer.sendTo(bytesOf("from the peer"), address).done());
        std::uint8_t buffer[64];
        const IoResult received = socket.receive(buffer);
        QVERIFY(received.done());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), int(received.count)),
                 QByteArray("from the peer"));
        QCOMPARE(socket.receive(buffer).outcome, IoResult::Outcome::WouldBlock);

        QVERIFY(socket.send(bytesOf("back")).done());
        const DatagramSocket::Received back = peer.receiveFrom(buffer);
        QCOMPARE(back.from.text(), address.text());
        QCOMPARE(int(back.result.count), 4);
    }
};

QTEST_GUILESS_MAIN(tst_DatagramSocket)
#include "tst_datagramsocket.moc"
