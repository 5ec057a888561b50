#include "TunnelHarness.h"
#include "tunnel/crypto/KeyDerivation.h"
#include "tunnel/relay/ChunkCodec.h"
#include "tunnel/service/ServiceDatagram.h"
#include "tunnel/service/ServiceDatagramStream.h"
#include "tunnel/service/ServiceMessage.h"

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

namespace {
const std::string kExit = "127.77.0.21";

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

// A client of the relay built from the codecs alone: it opens a tunnel on a control connection
// it keeps, then sends datagrams over UDP or a datagram connection.
struct TestClient
{
    QTcpSocket control;
    TunnelId id{};
    std::optional<ServiceDatagram> codec;
    QUdpSocket udp;
    QTcpSocket stream;
    std::optional<ChunkEncoder> sealer;
    quint16 relayPort = 0;

    bool open(quint16 port)
    {
        relayPort = port;
        control.connectToHost(QHostAddress::LocalHost, port);
        const X25519KeyPair pair;
        Bytes hello;
        ServiceHello{ServiceHello::Kind::Open, {}, pair.publicKey(), 0}.encode(hello);
        control.write(bytes(hello));
        while (control.bytesAvailable() < qint64(ServiceHelloReply::kSize)) {
            if (!control.waitForReadyRead(10000))
                return false;
        }
        bool malformed = false;
        const QByteArray replyBytes = control.read(ServiceHelloReply::kSize);
        const std::optional<ServiceHelloReply> reply =
            ServiceHelloReply::decode(view(replyBytes), malformed);
        const std::optional<X25519KeyPair::Key> shared = pair.agree(reply->publicKey);
        ServiceKeys::Key tunnelKey{};
        const ServiceKeys keys =
            ServiceKeys::forOpen(*shared, "", pair.publicKey(), reply->publicKey, tunnelKey);
        sealer.emplace(keys.clientToRelay);
        Bytes auth;
        sealer->transform(ServiceMessage{ServiceMessage::Type::Auth, {}, "auth"}.encode(), auth);
        control.write(bytes(auth));
        ChunkDecoder opener(keys.relayToClient);
        std::optional<ServiceMessage> accept;
        while (!accept && control.waitForReadyRead(10000)) {
            opener.decodeChunks(view(control.readAll()), [&](ByteView payload) {
                accept = ServiceMessage::decode(payload);
                return true;
            });
        }
        if (!accept || accept->type != ServiceMessage::Type::Accept)
            return false;
        id = accept->tunnel;
        codec.emplace(tunnelKey, id, ServiceDatagram::End::Client);
        return udp.bind(QHostAddress::LocalHost, 0);
    }

    QByteArray seal(quint16 port, const QByteArray &payload, const std::string &host = "127.0.0.1")
    {
        Bytes packet;
        codec->seal(*TargetAddress::fromHost(host, port), view(payload), packet);
        return bytes(packet);
    }

    bool openStream(const TunnelId &tunnel)
    {
        stream.connectToHost(QHostAddress::LocalHost, relayPort);
        Bytes hello;
        ServiceDatagramStream::encodeHello(tunnel, hello);
        if (!stream.waitForConnected())
            return false;
        stream.write(bytes(hello));
        return stream.flush();
    }

    void send(const QByteArray &packet, bool viaStream)
    {
        if (!viaStream) {
            udp.writeDatagram(packet, QHostAddress::LocalHost, relayPort);
            return;
        }
        Bytes framed;
        ServiceDatagramStream::encode(view(packet), framed);
        stream.write(bytes(framed));
        stream.flush();
    }

    // The next packet from the relay, as it came.
    QByteArray receive(bool viaStream)
    {
        if (!viaStream) {
            return udp.hasPendingDatagrams() || udp.waitForReadyRead(10000)
                       ? udp.receiveDatagram().data()
                       : QByteArray();
        }
        while (stream.bytesAvailable() < 2 && stream.waitForReadyRead(10000)) {
        }
        const QByteArray length = stream.peek(2);
        if (length.size() < 2)
            return {};
        const qint64 size =
            static_cast<std::uint8_t>(length[0]) << 8 | static_cast<std::uint8_t>(length[1]);
        while (stream.bytesAvailable() < 2 + size && stream.waitForReadyRead(10000)) {
        }
        return stream.read(2 + size).mid(2);
    }
};

// A UDP echo server on 127.0.0.1 that tells who sent each datagram.
struct Echo
{
    QUdpSocket socket;
    QString lastSender;
    int received = 0;

    Echo() { socket.bind(QHostAddress::LocalHost, 0); }
    quint16 port() const { return socket.localPort(); }
    bool answerOne()
    {
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(10000))
            return false;
        const QNetworkDatagram datagram = socket.receiveDatagram();
        lastSender = datagram.senderAddress().toString();
        ++received;
        socket.writeDatagram(datagram.makeReply("echo " + datagram.data()));
        return true;
    }
};
} // namespace

// The service relay's datagrams at the demo relay, from a client made of the codecs: they leave
// from the tunnel's exit address over both paths under one numbering, and anything that is
// not an authentic new packet of a known tunnel gets no answer and harms nothing.
class tst_ServiceDatagrams final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersComeBackFromTheExitAddress_data();
    void answersComeBackFromTheExitAddress();
    void badPacketsGetNoAnswer_data();
    void badPacketsGetNoAnswer();
    void datagramConnectionsEndWithTheirTunnel();
    void idleFlowsEnd();
};

void tst_ServiceDatagrams::answersComeBackFromTheExitAddress_data()
{
    QTest::addColumn<QList<bool>>("viaStream");
    QTest::addColumn<std::string>("host");
    QTest::newRow("udp") << QList<bool>{false, false} << std::string("127.0.0.1");
    QTest::newRow("name resolved at the relay") << QList<bool>{false} << std::string("localhost");
    QTest::newRow("datagram connection") << QList<bool>{true, true} << std::string("127.0.0.1");
    QTest::newRow("udp, then the connection, then udp")
        << QList<bool>{false, true, false} << std::string("127.0.0.1");
}

void tst_ServiceDatagrams::answersComeBackFromTheExitAddress()
{
    QFETCH(QList<bool>, viaStream);
    QFETCH(std::string, host);
    RelayHarness relay({}, kExit);
    TestClient client;
    QVERIFY(client.open(relay.port()));
    QVERIFY(client.openStream(client.id));
    Echo echo;
    for (qsizetype i = 0; i < viaStream.size(); ++i) {
        const QByteArray payload = "datagram " + QByteArray::number(i);
        client.send(client.seal(echo.port(), payload, host), viaStream[i]);
        QVERIFY(echo.answerOne());
        QCOMPARE(echo.lastSender, QString::fromStdString(kExit));
        const QByteArray answer = client.receive(viaStream[i]);
        // The relay numbers its answers once for the tunnel, whichever way they go.
        QCOMPARE(numberOf(answer), std::uint64_t(i));
        OpenedDatagram opened = client.codec->open(view(answer));
        QVERIFY(std::holds_alternative<Datagram>(opened));
        const Datagram &datagram = std::get<Datagram>(opened);
        QCOMPARE(datagram.address.text(), "127.0.0.1:" + std::to_string(echo.port()));
        QCOMPARE(bytes(datagram.payload), "echo " + payload);
    }
}

void tst_ServiceDatagrams::badPacketsGetNoAnswer_data()
{
    QTest::addColumn<QString>("fault");
    for (const char *fault : {"replayed", "replayed over the connection", "payload changed",
                              "number changed", "unknown tunnel", "wrong version", "short"})
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void tst_ServiceDatagrams::badPacketsGetNoAnswer()
{
    QFETCH(QString, fault);
    RelayHarness relay({}, kExit);
    TestClient client;
    QVERIFY(client.open(relay.port()));
    QVERIFY(client.openStream(client.id));
    Echo echo;
    const QByteArray first = client.seal(echo.port(), "first");
    client.send(first, false);
    QVERIFY(echo.answerOne());
    QVERIFY(!client.receive(false).isEmpty());

    QByteArray bad = fault.startsWith(u"replayed") ? first : client.seal(echo.port(), "bad");
    if (fault == u"payload changed")
        bad[bad.size() - 20] = static_cast<char>(bad[bad.size() - 20] ^ 1);
    if (fault == u"number changed")
        bad[2 + sizeof(TunnelId) + 7] = static_cast<char>(bad[2 + sizeof(TunnelId) + 7] ^ 2);
    if (fault == u"unknown tunnel")
        bad[2] = static_cast<char>(bad[2] ^ 0x80);
    if (fault == u"wrong version")
        bad[0] = 2;
    if (fault == u"short")
        bad.truncate(ServiceDatagram::kOverhead - 1);
    client.send(bad, fault.endsWith(u"connection"));
    // What follows is taken: the bad packet neither answered nor harmed the tunnel. Loopback
    // keeps one socket's order, so an answer to it would come first.
    client.send(client.seal(echo.port(), "after"), false);
    QVERIFY(echo.answerOne());
    const OpenedDatagram opened = client.codec->open(view(client.receive(false)));
    QVERIFY(std::holds_alternative<Datagram>(opened));
    QCOMPARE(bytes(std::get<Datagram>(opened).payload), QByteArray("echo after"));
    QCOMPARE(echo.received, 2);
    QVERIFY(!client.udp.hasPendingDatagrams());
    QCOMPARE(client.stream.bytesAvailable(), 0);
    QCOMPARE(client.stream.state(), QAbstractSocket::ConnectedState);
}

void tst_ServiceDatagrams::datagramConnectionsEndWithTheirTunnel()
{
    RelayHarness relay({}, kExit);
    TestClient client;
    QVERIFY(client.open(relay.port()));
    TunnelId unknown = client.id;
    unknown[0] ^= 1;
    QVERIFY(client.openStream(unknown));
    QVERIFY(client.stream.waitForDisconnected(10000));
    QVERIFY(client.openStream(client.id));
    // A zero length cannot start a packet.
    client.stream.write(QByteArray(2, '\0'));
    client.stream.flush();
    QVERIFY(client.stream.waitForDisconnected(10000));

    QVERIFY(client.openStream(client.id));
    Bytes close;
    client.sealer->transform(ServiceMessage{ServiceMessage::Type::Close, {}, {}}.encode(), close);
    client.control.write(bytes(close));
    client.control.flush();
    QVERIFY(client.stream.waitForDisconnected(10000));
    QCOMPARE(relay.tunnelCount(), std::size_t(0));
}

void tst_ServiceDatagrams::idleFlowsEnd()
{
    using namespace std::chrono_literals;
    RelayHarness relay({}, kExit, {}, true);
    TestClient client;
    QVERIFY(client.open(relay.port()));
    Echo echo;
    // Nobody listens on port 53 here; the flow lives all the same.
    client.send(client.seal(53, "query"), false);
    client.send(client.seal(echo.port(), "datagram"), false);
    QVERIFY(echo.answerOne());
    QVERIFY(!client.receive(false).isEmpty());
    QCOMPARE(relay.datagramFlowCount(), std::size_t(2));
    relay.advance(30s);
    QCOMPARE(relay.datagramFlowCount(), std::size_t(1));
    relay.advance(29s);
    QCOMPARE(relay.datagramFlowCount(), std::size_t(1));
    relay.advance(1s);
    QCOMPARE(relay.datagramFlowCount(), std::size_t(0));
}

QTEST_GUILESS_MAIN(tst_ServiceDatagrams)
#include "tst_servicedatagrams.moc"
