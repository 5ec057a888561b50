#include "TunnelHarness.h"
#include "TunnelPeers.h"

#include <QNetworkDatagram>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <unistd.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Status = TunnelClient::Status;

namespace {
const std::string kAuth = "orderId=D1U&time=1700000000&sign=0123&nd=0&sip=0&uid=123456789";
const std::string kExit = "127.77.0.33";
const auto kPassword = QStringLiteral("udp-password-5");

QByteArray portBytes(quint16 port)
{
    return QByteArray(1, static_cast<char>(port >> 8)) +
           QByteArray(1, static_cast<char>(port & 0xff));
}

// A SOCKS5 client of the test's own: the control connection and the UDP socket it sends from.
struct Association
{
    QTcpSocket control;
    QUdpSocket udp;
    QHostAddress host;
    quint16 relayPort = 0;

    // The reply's code; the relay port it names is kept.
    int open(quint16 socksPort, const QHostAddress &on = QHostAddress(QHostAddress::LocalHost))
    {
        host = on;
        udp.bind(on, 0);
        control.connectToHost(on, socksPort);
        if (!control.waitForConnected())
            return -1;
        const bool v6 = on.protocol() == QAbstractSocket::IPv6Protocol;
        control.write(
            QByteArray("\x05\x01\x00\x05\x03\x00", 6) +
            (v6 ? QByteArray(1, '\x04') + QByteArray(16, '\0') : QByteArray("\x01\0\0\0\0", 5)) +
            QByteArray(2, '\0'));
        // The method's reply, then the request's.
        const int size = 2 + 4 + (v6 ? 16 : 4) + 2;
        while (control.bytesAvailable() < size) {
            if (!control.waitForReadyRead(10000))
                return control.bytesAvailable() >= 4 ? control.read(4).at(3) : -1;
        }
        const QByteArray reply = control.read(size);
        relayPort = static_cast<quint16>(static_cast<quint8>(reply.at(size - 2)) << 8 |
                                         static_cast<quint8>(reply.at(size - 1)));
        return reply.at(3);
    }
    void send(quint16 port, const QByteArray &payload, const QByteArray &header = {})
    {
        QByteArray datagram = header;
        if (header.isNull())
            datagram = QByteArray("\0\0\0\x01\x7f\0\0\x01", 8) + portBytes(port);
        udp.writeDatagram(datagram + payload, host, relayPort);
    }
    // The payload of the next answer, its header off.
    QByteArray answer()
    {
        if (!udp.hasPendingDatagrams() && !udp.waitForReadyRead(20000))
            return {};
        return udp.receiveDatagram().data().mid(10);
    }
};

QString pySocks(quint16 socksPort, const QString &host, quint16 port, const QString &mode,
                int count = 1)
{
    const CurlRun run = runPeer(QStringLiteral("/usr/bin/python3"),
                                {QFINDTESTDATA("tunnel/support/udp_peers.py"),
                                 QStringLiteral("client"), QString::number(socksPort), host,
                                 QString::number(port), mode, QString::number(count)});
    return QString::fromUtf8(run.body.trimmed() + run.error);
}

bool portIsFree(quint16 port)
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, port);
}
} // namespace

// SOCKS5 UDP ASSOCIATE on the tunnel's SOCKS5 port, driven by PySocks and by hand: datagrams
// reach a UDP echo server and a DNS server through ss-server -u (both forms) and the demo
// relay (from its exit address), or straight as the rules say; other users, bad datagrams and
// ended associations get nothing through, and the limits hold.
class tst_SocksUdp final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void pySocksThroughEachRelay_data();
    void pySocksThroughEachRelay();
    void rulesDecidePerDestination();
    void onlyTheClientsOwnDatagramsPass();
    void associationsEndWithTheirConnectionAndTheTunnel();
    void badDatagramsAndLimitsEndNothing();

private:
    bool haveSsServer() const;

    QProcess m_echo;
    QProcess m_dns;
    quint16 m_echoPort = 0;
    quint16 m_dnsPort = 0;
};

void tst_SocksUdp::initTestCase()
{
    QProcess check;
    check.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QStringLiteral("import socks")});
    if (!check.waitForFinished() || check.exitCode() != 0)
        QSKIP("PySocks is not installed (scripts/setup.sh installs python3-socks)");
    const QString script = QFINDTESTDATA("tunnel/support/udp_peers.py");
    m_echoPort = startPythonServer(m_echo, {script, QStringLiteral("echo")});
    m_dnsPort = startPythonServer(m_dns, {script, QStringLiteral("dns")});
    QVERIFY(m_echoPort && m_dnsPort);
}

void tst_SocksUdp::cleanupTestCase()
{
    for (QProcess *server : {&m_echo, &m_dns}) {
        server->kill();
        server->waitForFinished();
    }
}

bool tst_SocksUdp::haveSsServer() const
{
    return !QStandardPaths::findExecutable(QStringLiteral("ss-server")).isEmpty();
}

void tst_SocksUdp::pySocksThroughEachRelay_data()
{
    QTest::addColumn<QString>("relay");
    QTest::newRow("ss-server, stream form") << QStringLiteral("chacha20");
    QTest::newRow("ss-server, AEAD form") << QStringLiteral("chacha20-ietf-poly1305");
    QTest::newRow("demo relay") << QString();
}

void tst_SocksUdp::pySocksThroughEachRelay()
{
    QFETCH(QString, relay);
    SsServer ssServer;
    std::unique_ptr<RelayHarness> demoRelay;
    TunnelHarness tunnel;
    if (relay.isEmpty()) {
        demoRelay = std::make_unique<RelayHarness>(RelayServer::Options{}, kExit);
        tunnel.start(TunnelHarness::configuration(demoRelay->port(), "CHACHA20", "", kAuth));
    } else {
        if (!haveSsServer())
            QSKIP("ss-server is not installed (scripts/setup.sh installs it)");
        QVERIFY(ssServer.start(relay, kPassword, true));
        tunnel.start(TunnelHarness::configuration(ssServer.port(), relay.toStdString(),
                                                  kPassword.toStdString()));
    }
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    // What the echo server saw as the sender: the relay's exit.
    const QString exit = relay.isEmpty() ? QString::fromStdString(kExit) : u"127.0.0.1"_s;
    const quint16 socks = tunnel.socksPort();
    QCOMPARE(pySocks(socks, u"127.0.0.1"_s, m_echoPort, u"echo"_s, 20), u"ok "_s + exit);
    // A name is resolved at the relay.
    QCOMPARE(pySocks(socks, u"localhost"_s, m_echoPort, u"echo"_s), u"ok "_s + exit);
    QCOMPARE(pySocks(socks, u"127.0.0.1"_s, m_dnsPort, u"dns"_s), u"ok 192.0.2.53"_s);
}

void tst_SocksUdp::rulesDecidePerDestination()
{
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel;
    tunnel.start(TunnelHarness::configuration(
        relay.port(), "CHACHA20", "", kAuth,
        R"({"rules": [{"type": "ip-cidr", "value": "127.0.0.1/32", "action": "direct"},
                      {"type": "domain-suffix", "value": "blocked.test", "action": "reject"},
                      {"type": "final", "action": "proxy"}]})"));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    const quint16 socks = tunnel.socksPort();
    QCOMPARE(pySocks(socks, u"127.0.0.1"_s, m_echoPort, u"echo"_s, 5), u"ok 127.0.0.1"_s);
    QCOMPARE(pySocks(socks, u"127.0.0.1"_s, m_dnsPort, u"dns"_s), u"ok 192.0.2.53"_s);
    // Direct datagrams never reached the relay.
    QCOMPARE(relay.datagramFlowCount(), std::size_t(0));
    QCOMPARE(pySocks(socks, u"localhost"_s, m_echoPort, u"echo"_s),
             u"ok "_s + QString::fromStdString(kExit));
    QCOMPARE(relay.datagramFlowCount(), std::size_t(1));
    QCOMPARE(pySocks(socks, u"www.blocked.test"_s, m_echoPort, u"silent"_s), u"ok"_s);
    QVERIFY(
        tunnel.log().contains(u"to www.blocked.test:%1: the rules reject it"_s.arg(m_echoPort)));
}

void tst_SocksUdp::onlyTheClientsOwnDatagramsPass()
{
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel;
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    Association association;
    QCOMPARE(association.open(tunnel.socksPort()), 0);
    const QByteArray header = QByteArray("\0\0\0\x01\x7f\0\0\x01", 8) + portBytes(m_echoPort);
    if (::getuid() == 0 && !QStandardPaths::findExecutable(u"setpriv"_s).isEmpty()) {
        // Another user's datagram to the port, first of all: it is not taken as the client's.
        const CurlRun other = runPeer(
            u"setpriv"_s,
            {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, u"/usr/bin/python3"_s,
             u"-c"_s,
             u"import socket, sys\n"
             "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
             "s.settimeout(3)\n"
             "s.sendto(bytes.fromhex(sys.argv[1]) + b'other', ('127.0.0.1', int(sys.argv[2])))\n"
             "try:\n"
             "    print('answered', s.recv(100))\n"
             "except socket.timeout:\n"
             "    print('silent')\n"_s,
             QString::fromLatin1(header.toHex()), QString::number(association.relayPort)});
        QCOMPARE(other.body.trimmed(), QByteArray("silent"));
        QVERIFY2(tunnel.log().contains(u"belongs to uid 65534"_s), qPrintable(tunnel.log()));
    }
    association.send(m_echoPort, "mine");
    QCOMPARE(association.answer(), QByteArray("mine|") + kExit.c_str());
    // Once the client is known, another of its user's sockets is not it either.
    QUdpSocket stranger;
    stranger.writeDatagram(header + "stranger", QHostAddress::LocalHost, association.relayPort);
    QTRY_VERIFY(tunnel.log().contains(u"the client sends from"_s));
    association.send(m_echoPort, "mine again");
    QCOMPARE(association.answer(), QByteArray("mine again|") + kExit.c_str());
    QVERIFY(!stranger.hasPendingDatagrams());
}

void tst_SocksUdp::associationsEndWithTheirConnectionAndTheTunnel()
{
    RelayHarness relay({}, kExit);
    TunnelHarness tunnel;
    tunnel.start(TunnelHarness::configuration(relay.port(), "CHACHA20", "", kAuth));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    Association closing, staying;
    QCOMPARE(closing.open(tunnel.socksPort()), 0);
    QCOMPARE(staying.open(tunnel.socksPort()), 0);
    for (Association *association : {&closing, &staying}) {
        association->send(m_echoPort, "before");
        QCOMPARE(association->answer(), QByteArray("before|") + kExit.c_str());
    }
    QCOMPARE(tunnel.datagramFlowCount(), std::size_t(2));
    // Its control connection closed, the association's port is gone with its flow.
    closing.control.close();
    QTRY_COMPARE(tunnel.associationCount(), std::size_t(1));
    QCOMPARE(tunnel.datagramFlowCount(), std::size_t(1));
    QVERIFY(portIsFree(closing.relayPort));
    staying.send(m_echoPort, "still");
    QCOMPARE(staying.answer(), QByteArray("still|") + kExit.c_str());
    // A stop, as a change of IP makes, ends the others.
    tunnel.stop();
    QCOMPARE(tunnel.associationCount(), std::size_t(0));
    QCOMPARE(tunnel.datagramFlowCount(), std::size_t(0));
    QVERIFY(portIsFree(staying.relayPort));
    QVERIFY(staying.control.state() == QAbstractSocket::UnconnectedState ||
            staying.control.waitForDisconnected(10000));
}

void tst_SocksUdp::badDatagramsAndLimitsEndNothing()
{
    if (!haveSsServer())
        QSKIP("ss-server is not installed (scripts/setup.sh installs it)");
    SsServer server;
    QVERIFY(server.start(u"chacha20-ietf-poly1305"_s, kPassword, true));
    TunnelHarness tunnel(true);
    TunnelClient::Options options;
    options.limits.maxAssociations = 1;
    options.limits.maxDatagramFlows = 2;
    tunnel.start(TunnelHarness::configuration(server.port(), "chacha20-ietf-poly1305",
                                              kPassword.toStdString()),
                 options);
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    // Over IPv6 a datagram can exceed what IPv4 carries.
    Association association;
    QCOMPARE(association.open(tunnel.socksPort(), QHostAddress(QHostAddress::LocalHostIPv6)), 0);
    Association second;
    QCOMPARE(second.open(tunnel.socksPort()), int(0x01));

    association.send(m_echoPort, "first");
    QCOMPARE(association.answer(), QByteArray("first|127.0.0.1"));
    association.send(53, "query");
    association.send(m_dnsPort, "beyond the limit");
    QTRY_VERIFY(tunnel.log().contains(u"2 datagram flows are open"_s));
    QCOMPARE(tunnel.datagramFlowCount(), std::size_t(2));
    // DNS's flow ends after 30 s, the other after 60 s.
    tunnel.advance(30s);
    QCOMPARE(tunnel.datagramFlowCount(), std::size_t(1));
    tunnel.advance(29s);
    QCOMPARE(tunnel.datagramFlowCount(), std::size_t(1));
    tunnel.advance(1s);
    QCOMPARE(tunnel.datagramFlowCount(), std::size_t(0));

    const QByteArray header = QByteArray("\0\0\0\x01\x7f\0\0\x01", 8) + portBytes(m_echoPort);
    association.send(0, "reserved byte set", QByteArray(1, '\x01') + header.mid(1));
    for (int i = 0; i < 3; ++i)
        association.send(0, "a fragment", header.left(2) + '\x01' + header.mid(3));
    association.send(0, QByteArray(65510, 'x'), header);
    // Whatever came from port 53 meanwhile is not what this looks for.
    while (association.udp.hasPendingDatagrams())
        association.udp.receiveDatagram();
    association.send(m_echoPort, "after");
    QCOMPARE(association.answer(), QByteArray("after|127.0.0.1"));
    const QString log = tunnel.log();
    QVERIFY2(log.contains(u"whose SOCKS5 header is malformed"_s), qPrintable(log));
    QVERIFY(log.contains(u"over 65,507 bytes"_s));
    QCOMPARE(log.count(u"FRAG other than 0"_s), 1);
    // A minute later the next line tells how many were held back.
    tunnel.advance(60s);
    association.send(0, "a fragment", header.left(2) + '\x01' + header.mid(3));
    QTRY_VERIFY(tunnel.log().contains(u"(and 2 more since the last such line)"_s));
    QCOMPARE(tunnel.last(), Status::Connected);
    QCOMPARE(tunnel.associationCount(), std::size_t(1));
}

QTEST_GUILESS_MAIN(tst_SocksUdp)
#include "tst_socksudp.moc"
