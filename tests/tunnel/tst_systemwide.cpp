// The system-wide mode's flows, in a network namespace of this test's own (gone with its
// process): curl, run as nobody with no proxy option, is routed into a TUN device by its uid;
// the tunnel client reads the device and carries the flow by the rules, through Debian's
// ss-server on 127.0.0.1 or straight, to a web server on a test address that the test's own
// (root) sockets reach on the loopback device.
#include "TunnelHarness.h"
#include "TunnelPeers.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <unistd.h>

namespace {
const char kDevice[] = "corvane-s0";
const QString kServer = QStringLiteral("198.19.7.9");
constexpr int kNobody = 65534;
const QString kPassword = QStringLiteral("system-wide test");

IpEndpoint endpoint(const char *host, std::uint16_t port)
{
    return *IpEndpoint::of(*SocketAddress::parse(host, port));
}

// dnsmasq on the test server's address, logging each query with the client's address and port.
int readyLines(const QString &log)
{
    QFile text(log);
    return text.open(QIODevice::ReadOnly) ? int(text.readAll().count("cleared cache")) : 0;
}

bool startDnsmasq(QProcess &dnsmasq, const QString &log)
{
    const int before = readyLines(log);
    dnsmasq.start(QStringLiteral("dnsmasq"),
                  {QStringLiteral("--keep-in-foreground"), QStringLiteral("--no-resolv"),
                   QStringLiteral("--no-hosts"), QStringLiteral("--bind-interfaces"),
                   QStringLiteral("--listen-address=") + kServer, QStringLiteral("--port=53"),
                   QStringLiteral("--address=/corvane.test/198.19.7.77"),
                   QStringLiteral("--log-queries=extra"), QStringLiteral("--log-facility=") + log,
                   QStringLiteral("--user=root")});
    if (!dnsmasq.waitForStarted())
        return false;
    for (int tries = 0; tries < 200; ++tries) {
        if (readyLines(log) > before)
            return true;
        QTest::qWait(50);
    }
    return false;
}

// The client ports dnsmasq saw queries from: one for each connection.
QSet<QString> queryPorts(const QString &log)
{
    QFile text(log);
    text.open(QIODevice::ReadOnly);
    QSet<QString> ports;
    static const QRegularExpression query(QStringLiteral(R"( (\S+) query\[A\] )"));
    for (auto match = query.globalMatch(QString::fromUtf8(text.readAll())); match.hasNext();)
        ports << match.next().captured(1);
    return ports;
}

QByteArray digAsNobody()
{
    return runPeer(QStringLiteral("setpriv"),
                   {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                    QStringLiteral("--clear-groups"), QStringLiteral("dig"),
                    QStringLiteral("+short"), QStringLiteral("+tries=1"),
                    QStringLiteral("+time=10"), QStringLiteral("@198.19.7.53"),
                    QStringLiteral("a.corvane.test")})
        .body.trimmed();
}

bool run(const QString &command)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), command.split(u' '));
    return ip.waitForFinished(-1) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
}
} // namespace

class tst_SystemWide : public QObject
{
    Q_OBJECT

    TunDevice m_device;
    WebOrigin m_web;
    QByteArray m_file;

    TunnelClient::Options options() const
    {
        TunnelClient::Options options;
        options.tunFd = ::dup(m_device.fd());
        options.packets.listener4 = endpoint("198.18.0.1", 7071);
        options.packets.listener6 = endpoint("fd00:c0a7::1", 7071);
        options.packets.flows.peer4 = endpoint("198.18.0.2", 0);
        options.packets.flows.peer6 = endpoint("fd00:c0a7::2", 0);
        return options;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (geteuid() != 0 || access("/dev/net/tun", R_OK | W_OK) != 0)
            QSKIP("needs root and /dev/net/tun for a namespace and a TUN device");
        QVERIFY2(unshare(CLONE_NEWNET) == 0, strerror(errno));
        auto device = TunDevice::open(kDevice);
        QVERIFY(std::holds_alternative<TunDevice>(device));
        m_device = std::get<TunDevice>(std::move(device));
        const QString name = QString::fromLatin1(kDevice);
        // nobody's traffic to the test prefix goes into the device, ahead of the local table
        // that sends root's to the server on lo.
        for (const QString &command :
             QStringList{QStringLiteral("link set lo up"),
                         QStringLiteral("addr add 198.18.0.1/30 dev ") + name,
                         QStringLiteral("-6 addr add fd00:c0a7::1/126 nodad dev ") + name,
                         QStringLiteral("link set up dev ") + name,
                         QStringLiteral("addr add ") + kServer + QStringLiteral("/32 dev lo"),
                         QStringLiteral("route add 198.19.7.0/24 dev ") + name +
                             QStringLiteral(" table 100"),
                         QStringLiteral("rule add pref 100 uidrange 65534-65534 lookup 100"),
                         QStringLiteral("rule add pref 200 lookup local"),
                         QStringLiteral("rule del pref 0")})
            QVERIFY2(run(command), qPrintable(command));
        // The server's answers come out of the device from one of this machine's addresses.
        QFile accept(QStringLiteral("/proc/sys/net/ipv4/conf/%1/accept_local").arg(name));
        QVERIFY(accept.open(QIODevice::WriteOnly) && accept.write("1") == 1);
        accept.close();
        m_file = m_web.addFile(QStringLiteral("file"), 3 << 20);
        m_web.addFile(QStringLiteral("large"), 256 << 20);
        QVERIFY(m_web.start(kServer));
    }

    void flowsFollowTheRules_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<bool>("relayKept");
        QTest::addColumn<bool>("carried");
        const QString direct = QStringLiteral(R"({"default": "direct"})");
        QTest::newRow("proxy, through ss-server") << QString() << true << true;
        QTest::newRow("proxy, the relay gone") << QString() << false << false;
        QTest::newRow("direct, the relay gone") << direct << false << true;
        QTest::newRow("reject")
            << QStringLiteral(
                   R"({"rules": [{"type": "ip-cidr", "value": "198.19.7.0/24", "action": "reject"}]})")
            << true << false;
    }
    void flowsFollowTheRules()
    {
        QFETCH(QString, rules);
        QFETCH(bool, relayKept);
        QFETCH(bool, carried);
        auto relay = std::make_unique<SsServer>();
        QVERIFY(relay->start(QStringLiteral("chacha20-ietf-poly1305"), kPassword));
        TunnelHarness tunnel;
        tunnel.start(TunnelHarness::configuration(relay->port(), "chacha20-ietf-poly1305",
                                                  kPassword.toStdString(), {}, rules.toStdString()),
                     options());
        QTRY_COMPARE(tunnel.last(), TunnelClient::Status::Connected);
        if (!relayKept)
            relay.reset();
        const CurlRun curl = runCurl({m_web.url(QStringLiteral("file"))}, kNobody);
        if (carried) {
            QCOMPARE(curl.error, QByteArray());
            QVERIFY(curl.body == m_file);
        } else {
            QVERIFY(curl.code != 0);
            QVERIFY(curl.body.isEmpty());
        }
    }

    // A query to any server's port 53 is asked of the rules' DNS server through the relay, the
    // queries one after another on one connection; when the server ends it, another follows.
    void dnsQueriesShareAConnection()
    {
        SsServer relay;
        QVERIFY(relay.start(QStringLiteral("chacha20-ietf-poly1305"), kPassword));
        QTemporaryDir folder;
        const QString log = folder.filePath(QStringLiteral("dns.log"));
        QProcess dnsmasq;
        QVERIFY(startDnsmasq(dnsmasq, log));
        TunnelConfiguration configuration = TunnelHarness::configuration(
            relay.port(), "chacha20-ietf-poly1305", kPassword.toStdString());
        configuration.dnsServers.push_back(*TargetAddress::fromHost(kServer.toStdString(), 53));
        TunnelHarness tunnel;
        tunnel.start(configuration, options());
        QTRY_COMPARE(tunnel.last(), TunnelClient::Status::Connected);

        for (int query = 0; query < 4; ++query)
            QCOMPARE(digAsNobody(), QByteArray("198.19.7.77"));
        QCOMPARE(queryPorts(log).size(), 1);

        // dnsmasq serves each connection from a child process of its own.
        QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-KILL"), QStringLiteral("-P"),
                                                    QString::number(dnsmasq.processId())});
        dnsmasq.kill();
        dnsmasq.waitForFinished();
        QVERIFY(startDnsmasq(dnsmasq, log));
        QCOMPARE(digAsNobody(), QByteArray("198.19.7.77"));
        QCOMPARE(queryPorts(log).size(), 2);
        dnsmasq.kill();
        dnsmasq.waitForFinished();
    }

    void stopClosesEveryFlow()
    {
        SsServer relay;
        QVERIFY(relay.start(QStringLiteral("chacha20-ietf-poly1305"), kPassword));
        TunnelHarness tunnel;
        tunnel.start(TunnelHarness::configuration(relay.port(), "chacha20-ietf-poly1305",
                                                  kPassword.toStdString()),
                     options());
        QTRY_COMPARE(tunnel.last(), TunnelClient::Status::Connected);
        QProcess curl;
        curl.start(QStringLiteral("setpriv"),
                   {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                    QStringLiteral("--clear-groups"), QStringLiteral("curl"), QStringLiteral("-sS"),
                    QStringLiteral("--limit-rate"), QStringLiteral("1M"),
                    QStringLiteral("--max-time"), QStringLiteral("120"),
                    m_web.url(QStringLiteral("large"))});
        QVERIFY(curl.waitForReadyRead(60000));
        tunnel.stop();
        QVERIFY(curl.waitForFinished(60000));
        QVERIFY(curl.exitCode() != 0);
        QVERIFY(curl.readAllStandardError().contains("curl: ("));
    }
};

QTEST_GUILESS_MAIN(tst_SystemWide)
#include "tst_systemwide.moc"
