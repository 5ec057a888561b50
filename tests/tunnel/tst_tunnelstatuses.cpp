#include "ClosedPort.h"
#include "TunnelHarness.h"
#include "TunnelPeers.h"
#include "tunnel/relay/ChunkCodec.h"
#include "tunnel/service/ServiceKeys.h"
#include "tunnel/service/ServiceMessage.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Status = TunnelClient::Status;

namespace {
const std::string kAuth = "orderId=D1T&time=1700000000&sign=0123&nd=0&sip=0&uid=123456789";
const std::string kExit = "127.77.0.9";

// A SOCKS5 connection through the tunnel to 127.0.0.1:port, opened and left as it is.
std::unique_ptr<QTcpSocket> openStream(quint16 socksPort, quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, socksPort);
    if (!socket->waitForConnected())
        return nullptr;
    socket->write(QByteArray("\x05\x01\x00\x05\x01\x00\x01\x7f\x00\x00\x01", 11) +
                  QByteArray(1, static_cast<char>(port >> 8)) +
                  QByteArray(1, static_cast<char>(port & 0xff)));
    while (socket->bytesAvailable() < 12) {
        if (!socket->waitForReadyRead(5000))
            return nullptr;
    }
    return socket->read(12) == QByteArray("\x05\x00\x05\x00\x00\x01\0\0\0\0\0\0", 12)
               ? std::move(socket)
               : nullptr;
}

// Bytes still on their way before the close do not count against it; a loaded machine may take
// a while to deliver it.
bool closedByPeer(QTcpSocket &socket)
{
    const QDeadlineTimer deadline(30000);
    while (socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        socket.readAll();
    }
    return socket.state() == QAbstractSocket::UnconnectedState;
}

// The service relay's side of an open, played on the test's thread: the test decides what it
// answers and when.
class ScriptedRelay final
{
public:
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return m_server.serverPort(); }

    // Takes the control connection and its open, and answers with a key that yields no secret
    // or accepts the tunnel.
    bool answerOpen(bool usableKey)
    {
        if (!m_server.waitForNewConnection(30000))
            return false;
        m_control = m_server.nextPendingConnection();
        const std::optional<ServiceHello> hello =
            ServiceHello::decode(take(2 + X25519KeyPair::kKeySize)).hello;
        if (!hello)
            return false;
        const X25519KeyPair::Key clientKey = hello->publicKey;
        const X25519KeyPair pair;
        Bytes reply;
        ServiceHelloReply{true, usableKey ? pair.publicKey() : X25519KeyPair::Key{}}.encode(reply);
        if (!sendRaw(reply) || !usableKey)
            return !usableKey;
        ServiceKeys::Key tunnelKey{};
        const ServiceKeys keys = ServiceKeys::forOpen(*pair.agree(clientKey), "", clientKey,
                                                      pair.publicKey(), tunnelKey);
        m_sealer.emplace(keys.relayToClient);
        m_opener.emplace(keys.clientToRelay);
        return next().type == ServiceMessage::Type::Auth &&
               send({ServiceMessage::Type::Accept, {}, kExit});
    }
    ServiceMessage next()
    {
        std::optional<ServiceMessage> message;
        for (Bytes byte; !message && !(byte = take(1)).empty();) {
            m_opener->decodeChunks(byte, [&message](ByteView payload) {
                message = ServiceMessage::decode(payload);
                return true;
            });
        }
        return message.value_or(ServiceMessage{});
    }
    // Returns once the client's socket holds it.
    bool send(const ServiceMessage &message)
    {
        Bytes sealed;
        m_sealer->transform(message.encode(), sealed);
        return sendRaw(sealed);
    }

private:
    Bytes take(qsizetype size)
    {
        while (m_control->bytesAvailable() < size && m_control->waitForReadyRead(30000)) {
        }
        const QByteArray bytes = m_control->read(size);
        return Bytes(bytes.begin(), bytes.end());
    }
    bool sendRaw(const Bytes &bytes)
    {
        m_control->write(reinterpret_cast<const char *>(bytes.data()),
                         static_cast<qint64>(bytes.size()));
        const QDeadlineTimer deadline(30000);
        int unacknowledged = 1;
        while (m_control->flush() || (unacknowledged > 0 && !deadline.hasExpired())) {
            std::this_thread::yield();
            ::ioctl(static_cast<int>(m_control->socketDescriptor()), SIOCOUTQ, &unacknowledged);
        }
        return unacknowledged == 0;
    }

    QTcpServer m_server;
    QTcpSocket *m_control = nullptr;
    std::optional<ChunkEncoder> m_sealer;
    std::optional<ChunkDecoder> m_opener;
};

} // namespace

// The tunnel's statuses and what it does with connections, against a relay written here, on
// a clock the test moves: connected only after the relay answered, down with the reason when
// refused or out of reach, reasserting and back after a loss, nothing left after a stop.
class tst_TunnelStatuses final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void routesByTheRules_data();
    void routesByTheRules();
    void goesDownWithTheReason_data();
    void goesDownWithTheReason();
    void lostRelayIsReassertedWithoutTheString();
    void flappingRelayIsGivenUpFromTheFirstLoss();
    void answerThatCameDuringAFreezeCounts();
    void checkAfterANetworkChangeAsksTheRelayAtOnce();
    void stopClosesEveryConnection();
    void otherUsersAreRefused();
    void badAndIdleConnectionsAreClosedAlone();
    void takenPortIsReported();

private:
    WebOrigin m_origin;
    QByteArray m_page;
};

void tst_TunnelStatuses::initTestCase()
{
    QVERIFY(m_origin.start());
    m_page = m_origin.addFile(QStringLiteral("page.html"), 5000);
}

void tst_TunnelStatuses::routesByTheRules_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QString>("seenFrom");
    QTest::addRow("through the relay") << QString() << QString::fromStdString(kExit);
    QTest::addRow("loopback direct")
        << QStringLiteral(
               R"({"rules": [{"type": "ip-cidr", "value": "127.0.0.0/8", "action": "direct"}]})")
        << QStringLiteral("127.0.0.1");
    QTest::addRow("first match decides") << QStringLiteral(R"({"default": "direct", "rules": [
               {"type": "ip-cidr", "value": "127.0.0.1/32", "action": "proxy"},
               {"type": "ip-cidr", "value": "127.0.0.0/8", "action": "direct"}]})")
                                         << QString::fromStdString(kExit);
    QTest::addRow("default") << QStringLiteral(R"({"default": "direct", "rules": [
               {"type": "domain-suffix", "value": "0.0.1", "action": "proxy"}]})")
                             << QStringLiteral("127.0.0.1");
}

void tst_TunnelStatuses::routesByTheRules()
{
    QFETCH(QString, rules);
    QFETCH(QString, seenFrom);
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel(true);
    tunnel.start(
        TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth, rules.toStdString()));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    QCOMPARE(tunnel.statuses().first(), Status::Connecting);
    QCOMPARE(relay.authorised(), QStringList{QString::fromStdString(kAuth)});

    const int before = m_origin.peers().size();
    for (const QString &proxy : {QStringLiteral("--socks5-hostname"), QStringLiteral("--proxy")}) {
        const quint16 port =
            proxy == QLatin1String("--proxy") ? tunnel.httpPort() : tunnel.socksPort();
        const CurlRun run = runCurl({proxy, QStringLiteral("127.0.0.1:%1").arg(port),
                                     m_origin.url(QStringLiteral("page.html"))});
        QVERIFY2(run.code == 0, run.error.constData());
        QVERIFY(run.body == m_page);
    }
    QTRY_COMPARE(m_origin.peers().mid(before), QStringList(2, seenFrom));
    // The string went to the relay once, for the whole tunnel.
    QCOMPARE(relay.authorised().size(), 1);
}

void tst_TunnelStatuses::goesDownWithTheReason_data()
{
    using Cause = TunnelClient::DownCause;
    QTest::addColumn<QString>("relayKind");
    QTest::addColumn<bool>("service");
    // The relay's refusal, or the exit address it accepts with.
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<Cause>("cause");
    const QString badWords = QStringLiteral("over 1 KiB or holding a control character");
    QTest::addRow("refused") << QStringLiteral("refusing") << true
                             << QStringLiteral("sign is error")
                             << QStringLiteral("refused the tunnel: sign is error")
                             << Cause::refused;
    QTest::addRow("refused with a control character")
        << QStringLiteral("refusing") << true << QStringLiteral("sign\x1b[2Jis error") << badWords
        << Cause::refused;
    QTest::addRow("refused at length")
        << QStringLiteral("refusing") << true << QString(1025, u'x') << badWords << Cause::refused;
    QTest::addRow("exit address over 64 bytes")
        << QStringLiteral("accepting") << true << QString(65, u'1')
        << QStringLiteral("malformed or oversized message") << Cause::protocol;
    QTest::addRow("unusable relay key") << QStringLiteral("scripted") << true << QString()
                                        << QStringLiteral("key is unusable") << Cause::protocol;
    QTest::addRow("service relay unreachable")
        << QStringLiteral("closed") << true << QString() << QStringLiteral("cannot reach the relay")
        << Cause::unreachable;
    QTest::addRow("plain relay unreachable")
        << QStringLiteral("closed") << false << QString()
        << QStringLiteral("cannot reach the relay") << Cause::unreachable;
    QTest::addRow("service relay silent")
        << QStringLiteral("silent") << true << QString() << QStringLiteral("no answer within 10 s")
        << Cause::unreachable;
}

void tst_TunnelStatuses::goesDownWithTheReason()
{
    QFETCH(QString, relayKind);
    QFETCH(bool, service);
    QFETCH(QString, words);
    QFETCH(QString, reason);
    QFETCH(TunnelClient::DownCause, cause);
    std::unique_ptr<RelayHarness> answering;
    QTcpServer silent;
    ScriptedRelay scripted;
    const ClosedPort closed;
    quint16 port = closed.port();
    if (relayKind == QLatin1String("refusing") || relayKind == QLatin1String("accepting")) {
        const std::string text = words.toStdString();
        answering = relayKind == QLatin1String("refusing")
                        ? std::make_unique<RelayHarness>(RelayServer::Options{}, kExit, text)
                        : std::make_unique<RelayHarness>(RelayServer::Options{}, text);
        port = answering->port();
    } else if (relayKind == QLatin1String("silent")) {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        port = silent.serverPort();
    } else if (relayKind == QLatin1String("scripted")) {
        QVERIFY(scripted.listen());
        port = scripted.port();
    }
    TunnelHarness tunnel(true);
    tunnel.start(TunnelHarness::configuration(port, "CHACHA20", "", service ? kAuth : ""));
    if (relayKind == QLatin1String("silent"))
        QTRY_VERIFY(silent.hasPendingConnections());
    if (relayKind == QLatin1String("scripted"))
        QVERIFY(scripted.answerOpen(false));
    // Nothing gives up before its bound; a relay that answered is not asked again.
    const bool retries =
        relayKind == QLatin1String("closed") || relayKind == QLatin1String("silent");
    for (int step = 0; step < 19 && retries; ++step) {
        QCOMPARE(tunnel.last(), Status::Connecting);
        tunnel.advance(500ms);
    }
    tunnel.advance(1000ms);
    QTRY_COMPARE(tunnel.last(), Status::Disconnected);
    QCOMPARE(tunnel.statuses(), (QList<Status>{Status::Connecting, Status::Disconnected}));
    QVERIFY2(tunnel.reason().contains(reason), qPrintable(tunnel.reason()));
    QCOMPARE(tunnel.downCause(), cause);
}

void tst_TunnelStatuses::lostRelayIsReassertedWithoutTheString()
{
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel(true);
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    std::unique_ptr<QTcpSocket> stream = openStream(tunnel.socksPort(), m_origin.port());
    QVERIFY(stream);

    relay.drop();
    QTRY_COMPARE(tunnel.last(), Status::Reasserting);
    QVERIFY(closedByPeer(*stream));
    QVERIFY(relay.relisten());
    tunnel.advance(500ms);
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    QCOMPARE(tunnel.statuses(), (QList<Status>{Status::Connecting, Status::Connected,
                                               Status::Reasserting, Status::Connected}));
    QCOMPARE(relay.authorised().size(), 1);
    const CurlRun run = runCurl({QStringLiteral("--socks5-hostname"),
                                 QStringLiteral("127.0.0.1:%1").arg(tunnel.socksPort()),
                                 m_origin.url(QStringLiteral("page.html"))});
    QVERIFY2(run.code == 0, run.error.constData());
}

void tst_TunnelStatuses::flappingRelayIsGivenUpFromTheFirstLoss()
{
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel(true);
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    // The relay drops the tunnel as soon as it has resumed it, every 30 s of the clock: a few
    // times, then, after a minute up, from a fresh first loss until the give-up 5 minutes on.
    for (const int losses : {3, 11}) {
        for (int loss = 1; loss <= losses; ++loss) {
            relay.drop();
            QTRY_VERIFY(tunnel.last() != Status::Connected);
            QVERIFY(relay.relisten());
            tunnel.advance(30s);
            if (loss < 11)
                QTRY_COMPARE(tunnel.last(), Status::Connected);
        }
        tunnel.advance(60s);
    }
    QCOMPARE(tunnel.last(), Status::Disconnected);
    QVERIFY2(tunnel.reason().contains(QStringLiteral("lost the relay")),
             qPrintable(tunnel.reason()));
    QCOMPARE(tunnel.downCause(), TunnelClient::DownCause::lost);
}

void tst_TunnelStatuses::answerThatCameDuringAFreezeCounts()
{
    ScriptedRelay relay;
    QVERIFY(relay.listen());
    TunnelHarness tunnel(true);
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth));
    QVERIFY(relay.answerOpen(true));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    tunnel.advance(20s);
    QCOMPARE(relay.next().type, ServiceMessage::Type::Ping);
    // The answer arrives while the helper is stopped; it wakes when the wait for it is over.
    bool answered = false;
    QVERIFY(tunnel.freezeWhile(10s, [&] {
        answered = relay.send({ServiceMessage::Type::Pong, {}, {}});
    }));
    QVERIFY(answered);
    QCOMPARE(tunnel.statuses(), (QList<Status>{Status::Connecting, Status::Connected}));
    QVERIFY2(!tunnel.log().contains(QStringLiteral("did not answer")), qPrintable(tunnel.log()));
    // A ping left unanswered ends the tunnel 10 s on, and not before.
    tunnel.advance(20s);
    QCOMPARE(relay.next().type, ServiceMessage::Type::Ping);
    tunnel.advance(9s);
    QCOMPARE(tunnel.last(), Status::Connected);
    tunnel.advance(1s);
    QTRY_VERIFY(tunnel.last() != Status::Connected);
    QVERIFY2(tunnel.log().contains(QStringLiteral("did not answer within 10 s")),
             qPrintable(tunnel.log()));
}

// A change of network asks the relay at once, instead of a keep-alive later: the service relay
// is pinged and, silent, lost 10 s on; a plain relay that is gone is found lost by its probe.
void tst_TunnelStatuses::checkAfterANetworkChangeAsksTheRelayAtOnce()
{
    ScriptedRelay scripted;
    QVERIFY(scripted.listen());
    TunnelHarness service(true);
    service.start(TunnelHarness::configuration(scripted.port(), "CHACHA20", "", kAuth));
    QVERIFY(scripted.answerOpen(true));
    QTRY_COMPARE(service.last(), Status::Connected);
    service.advance(1s);
    service.checkRelay();
    QCOMPARE(scripted.next().type, ServiceMessage::Type::Ping);
    service.checkRelay();
    service.advance(9s);
    QCOMPARE(service.last(), Status::Connected);
    service.advance(1s);
    QTRY_COMPARE(service.last(), Status::Reasserting);

    auto plainRelay = std::make_unique<QTcpServer>();
    QVERIFY(plainRelay->listen(QHostAddress::LocalHost));
    TunnelHarness plain(true);
    plain.start(
        TunnelHarness::configuration(plainRelay->serverPort(), "chacha20-ietf-poly1305", "secret"));
    QTRY_COMPARE(plain.last(), Status::Connected);
    plainRelay.reset();
    plain.checkRelay();
    QTRY_COMPARE(plain.last(), Status::Reasserting);
    QVERIFY2(plain.log().contains(QStringLiteral("Lost the relay")), qPrintable(plain.log()));
}

void tst_TunnelStatuses::stopClosesEveryConnection()
{
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel(true);
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    for (int i = 0; i < 3; ++i) {
        streams.push_back(openStream(tunnel.socksPort(), m_origin.port()));
        QVERIFY(streams.back());
    }
    QCOMPARE(tunnel.connectionCount(), 3u);
    tunnel.stop();
    QCOMPARE(tunnel.last(), Status::Disconnected);
    QCOMPARE(tunnel.connectionCount(), 0u);
    for (const auto &stream : streams)
        QVERIFY(closedByPeer(*stream));
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, tunnel.socksPort());
    QVERIFY(!late.waitForConnected(5000));
    // The relay heard that the tunnel is over.
    QTRY_COMPARE(relay.tunnelCount(), 0u);
}

void tst_TunnelStatuses::otherUsersAreRefused()
{
    if (::getuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("running curl as another user takes root and setpriv");
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel(true);
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    for (const QString &proxy : {QStringLiteral("--socks5-hostname"), QStringLiteral("--proxy")}) {
        const quint16 port =
            proxy == QLatin1String("--proxy") ? tunnel.httpPort() : tunnel.socksPort();
        const QStringList arguments{proxy, QStringLiteral("127.0.0.1:%1").arg(port),
                                    m_origin.url(QStringLiteral("page.html"))};
        QVERIFY(runCurl(arguments, 65534).code != 0);
        QCOMPARE(runCurl(arguments).code, 0);
    }
    // A flood of them is told once a minute per proxy, with the count.
    const QStringList socks{QStringLiteral("--socks5-hostname"),
                            QStringLiteral("127.0.0.1:%1").arg(tunnel.socksPort()),
                            m_origin.url(QStringLiteral("page.html"))};
    for (int i = 0; i < 2; ++i)
        QVERIFY(runCurl(socks, 65534).code != 0);
    QVERIFY2(tunnel.log().count(QStringLiteral("belongs to uid 65534")) == 2,
             qPrintable(tunnel.log()));
    tunnel.advance(60s);
    QVERIFY(runCurl(socks, 65534).code != 0);
    QCOMPARE(tunnel.log().count(QStringLiteral("belongs to uid 65534")), 3);
    QVERIFY(tunnel.log().contains(QStringLiteral("(and 2 more since the last such line)")));
    QVERIFY(runCurl(socks, 65534).code != 0);
    QCOMPARE(tunnel.last(), Status::Connected);
    tunnel.stop();
    QVERIFY(
        tunnel.log().contains(QStringLiteral("SOCKS5 proxy refused since the last such line: 1")));
}

void tst_TunnelStatuses::badAndIdleConnectionsAreClosedAlone()
{
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel(true);
    TunnelClient::Options options;
    options.limits.maxConnections = 3;
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth), options);
    QTRY_COMPARE(tunnel.last(), Status::Connected);

    QTcpSocket notSocks;
    notSocks.connectToHost(QHostAddress::LocalHost, tunnel.socksPort());
    notSocks.write("GET / HTTP/1.1\r\n\r\n");
    QVERIFY(closedByPeer(notSocks));
    QTcpSocket hugeHead;
    hugeHead.connectToHost(QHostAddress::LocalHost, tunnel.httpPort());
    hugeHead.write("GET http://127.0.0.1/ HTTP/1.1\r\nX: " + QByteArray(20000, 'x'));
    QVERIFY(hugeHead.waitForReadyRead(5000));
    QVERIFY(hugeHead.readAll().startsWith("HTTP/1.1 431 "));

    std::vector<std::unique_ptr<QTcpSocket>> silent;
    for (int i = 0; i < 3; ++i) {
        silent.push_back(std::make_unique<QTcpSocket>());
        silent.back()->connectToHost(QHostAddress::LocalHost, tunnel.socksPort());
        QVERIFY(silent.back()->waitForConnected());
    }
    QTRY_COMPARE(tunnel.connectionCount(), 3u);
    QTcpSocket overCap;
    overCap.connectToHost(QHostAddress::LocalHost, tunnel.socksPort());
    QVERIFY(overCap.waitForReadyRead(5000));
    QCOMPARE(overCap.readAll(), QByteArray("\x05\xff", 2));

    tunnel.advance(16s);
    for (const auto &socket : silent)
        QVERIFY(closedByPeer(*socket));
    QTRY_COMPARE(tunnel.connectionCount(), 0u);
    // An established connection lasts while bytes move, and not five idle minutes.
    QTcpServer destination;
    QVERIFY(destination.listen(QHostAddress::LocalHost));
    std::unique_ptr<QTcpSocket> stream = openStream(tunnel.socksPort(), destination.serverPort());
    QVERIFY(stream);
    // The reply comes before the relay's connection is up. Once the destination has the stream,
    // the connection is piping and its idle time counts from before the clock moves.
    QVERIFY(destination.waitForNewConnection(30000));
    tunnel.advance(299s);
    QCOMPARE(tunnel.connectionCount(), 1u);
    tunnel.advance(2s);
    QVERIFY(closedByPeer(*stream));
    const QString log = tunnel.log();
    QVERIFY2(log.contains(QStringLiteral("the greeting is not SOCKS5")), qPrintable(log));
    QVERIFY(log.contains(QStringLiteral("longer than 16 KiB")));
    QVERIFY(log.contains(QStringLiteral("Refusing new proxy connections")));
    QCOMPARE(log.count(QStringLiteral("no complete request")), 3);
    QVERIFY(log.contains(QStringLiteral("idle for 300 s")));
    QCOMPARE(tunnel.last(), Status::Connected);
}

void tst_TunnelStatuses::takenPortIsReported()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel(true);
    TunnelClient::Options options;
    options.httpPort = taken.serverPort();
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth), options);
    QCOMPARE(tunnel.last(), Status::Disconnected);
    QVERIFY2(tunnel.reason().contains(
                 QStringLiteral("Cannot listen on 127.0.0.1:%1 for the HTTP proxy: Address "
                                "already in use")
                     .arg(taken.serverPort())),
             qPrintable(tunnel.reason()));
    QVERIFY(relay.authorised().isEmpty());
}

QTEST_GUILESS_MAIN(tst_TunnelStatuses)
#include "tst_tunnelstatuses.moc"
