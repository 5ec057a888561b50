#include "TunnelPeers.h"
#include "tunnel/client/PlainSession.h"
#include "tunnel/engine/EngineThread.h"
#include "tunnel/relay/RelayMethod.h"

#include <QNetworkDatagram>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>

using namespace corvane::tunnel;
using namespace Qt::StringLiterals;

// Both plain forms' datagrams against Debian's `ss-server -u`, nobody's code but its own: a
// packet sealed here reaches a UDP echo server through it, and its answer opens here; a plain
// session's channels find it on the relay's port number and get their own answers only.
class tst_DatagramInterop final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void echoesThroughSsServer_data();
    void echoesThroughSsServer();
    void plainSessionChannelsEcho_data();
    void plainSessionChannelsEcho();

private:
    QProcess m_echo;
    quint16 m_echoPort = 0;
};

namespace {
const auto kPassword = QStringLiteral("interop-password-17");
} // namespace

void tst_DatagramInterop::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ss-server")).isEmpty())
        QSKIP("ss-server is not installed (scripts/setup.sh installs it)");
    m_echoPort = startPythonServer(
        m_echo, {QStringLiteral("-c"),
                 QStringLiteral("import socket\n"
                                "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                                "s.bind(('127.0.0.1', 0))\n"
                                "print('port', s.getsockname()[1], flush=True)\n"
                                "while True:\n"
                                "    data, peer = s.recvfrom(65535)\n"
                                "    s.sendto(data, peer)\n")});
    QVERIFY(m_echoPort);
}

void tst_DatagramInterop::cleanupTestCase()
{
    m_echo.kill();
    m_echo.waitForFinished();
}

void tst_DatagramInterop::echoesThroughSsServer_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("host");
    // ss-server carries datagrams of up to about 2.7 KB (it cuts or drops larger ones); a name
    // is resolved there.
    for (const char *method : {"chacha20", "chacha20-ietf-poly1305"}) {
        for (int size : {1, 1400, 2700})
            QTest::addRow("%s, %d bytes", method, size)
                << QString::fromLatin1(method) << size << QStringLiteral("127.0.0.1");
        QTest::addRow("%s, to a name", method)
            << QString::fromLatin1(method) << 100 << QStringLiteral("localhost");
    }
}

void tst_DatagramInterop::echoesThroughSsServer()
{
    QFETCH(QString, method);
    QFETCH(int, size);
    QFETCH(QString, host);
    SsServer server;
    QVERIFY(server.start(method, kPassword, true));
    std::unique_ptr<DatagramCodec> codec =
        RelayMethod(*RelayMethod::formNamed(method.toStdString()), kPassword.toStdString())
            .datagrams();
    const TargetAddress echo = *TargetAddress::fromHost(host.toStdString(), m_echoPort);
    const Bytes payload(static_cast<std::size_t>(size), static_cast<std::uint8_t>(size));
    Bytes packet;
    QVERIFY(codec->seal(echo, payload, packet));
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    QCOMPARE(socket.writeDatagram(reinterpret_cast<const char *>(packet.data()),
                                  static_cast<qint64>(packet.size()), QHostAddress::LocalHost,
                                  server.udpPort()),
             static_cast<qint64>(packet.size()));
    QVERIFY(socket.hasPendingDatagrams() || socket.waitForReadyRead(30000));
    const QByteArray answer = socket.receiveDatagram().data();
    const OpenedDatagram opened =
        codec->open({reinterpret_cast<const std::uint8_t *>(answer.constData()),
                     static_cast<std::size_t>(answer.size())});
    QVERIFY(std::holds_alternative<Datagram>(opened));
    QCOMPARE(std::get<Datagram>(opened).address.text(), "127.0.0.1:" + std::to_string(m_echoPort));
    QVERIFY(std::get<Datagram>(opened).payload == payload);
}

void tst_DatagramInterop::plainSessionChannelsEcho_data()
{
    QTest::addColumn<QString>("method");
    QTest::newRow("stream") << QStringLiteral("chacha20");
    QTest::newRow("aead") << QStringLiteral("chacha20-ietf-poly1305");
}

void tst_DatagramInterop::plainSessionChannelsEcho()
{
    QFETCH(QString, method);
    SsServer server;
    QVERIFY(server.start(method, kPassword, true));
    EngineThread engine;
    QStringList answers[2];
    std::unique_ptr<PlainSession> session;
    std::unique_ptr<DatagramChannel> channels[2];
    engine.call([&] {
        session = std::make_unique<PlainSession>(
            engine.loop(), SessionTimings{}, RelaySession::Events{},
            RelayMethod(*RelayMethod::formNamed(method.toStdString()), kPassword.toStdString()));
        session->start(SocketAddress::loopback(false, server.port()));
        for (int i = 0; i < 2; ++i) {
            channels[i] = session->openDatagrams([&, i](Datagram &&answer) {
                answers[i] << QString::fromStdString(
                    std::string(answer.payload.begin(), answer.payload.end()) + " from " +
                    answer.address.text());
            });
            const std::string payload = "channel " + std::to_string(i);
            channels[i]->send(
                *TargetAddress::fromHost(i ? "localhost" : "127.0.0.1", m_echoPort),
                {reinterpret_cast<const std::uint8_t *>(payload.data()), payload.size()});
        }
    });
    const auto received = [&](int i) {
        QStringList got;
        engine.call([&] { got = answers[i]; });
        return got;
    };
    // Each channel gets the answer to what it sent, and nothing else.
    for (int i = 0; i < 2; ++i)
        QTRY_COMPARE(received(i),
                     QStringList{u"channel %1 from 127.0.0.1:%2"_s.arg(i).arg(m_echoPort)});
    engine.call([&] {
        channels[0].reset();
        channels[1].reset();
        session.reset();
    });
}

QTEST_GUILESS_MAIN(tst_DatagramInterop)
#include "tst_datagraminterop.moc"
