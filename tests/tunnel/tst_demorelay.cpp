#include "DemoAccounts.h"
#include "TunnelHarness.h"
#include "TunnelPeers.h"
#include "core/home/AuthString.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;
using Status = tunnel::TunnelClient::Status;

namespace {
// Everything through the tunnel, loopback too, as the demo's own rules have it.
const std::string kAllThroughTheTunnel = R"({"rules": [{"type": "final", "action": "proxy"}]})";

QString secretOf(const QString &orderId)
{
    for (const DemoAccount &account : demoAccounts(QDateTime::currentDateTimeUtc())) {
        for (const QJsonValue &order : account.orders[QLatin1String("orderInfoList")].toArray()) {
            if (order[QLatin1String("orderId")].toString() == orderId)
                return order[QLatin1String("secret")].toString();
        }
    }
    return {};
}

std::string signedString(const QString &orderId, qint64 pid, qint64 nd, quint32 uid)
{
    return makeAuthString({orderId, secretOf(orderId), authTimeNow(), pid, nd, 0, uid})
        .toStdString();
}

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression rss(QStringLiteral(R"(VmRSS:\s+(\d+))"));
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}
} // namespace

// The demo service's relays as the demo and the tests use them, run as the program itself:
// exit addresses a destination really sees, of the province asked for, never repeated under
// 24-hour de-duplication; bad input refused or closed with a log line, the service staying up.
class tst_DemoRelay final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void destinationSeesTheExitAddress();
    void badInputLeavesTheServiceUp();

private:
    QString fetchThrough(const TunnelHarness &tunnel, const QString &url);
    QString serviceLog();

    QProcess m_service;
    QByteArray m_log;
    QString m_url;
    quint16 m_relayPort = 0;
    quint16 m_plainRelayPort = 0;
    WebOrigin m_origin;
    quint32 m_uid = 200000000;
};

void tst_DemoRelay::initTestCase()
{
    const QString program = qEnvironmentVariable("CORVANE_DEMO_SERVICE");
    if (program.isEmpty())
        QSKIP("CORVANE_DEMO_SERVICE is not set");
    m_service.start(program, {});
    QVERIFY(m_service.waitForStarted());
    QByteArray said;
    while (said.count('\n') < 3 && m_service.waitForReadyRead(10000))
        said += m_service.readAllStandardOutput();
    const QList<QByteArray> lines = said.split('\n');
    QVERIFY2(lines.size() > 3, said.constData());
    m_url = QString::fromUtf8(lines.at(0).mid(int(strlen("listening on "))));
    m_relayPort = lines.at(1).split(':').last().toUShort();
    m_plainRelayPort = lines.at(2).split(':').last().toUShort();
    QVERIFY(m_relayPort && m_plainRelayPort);
    QVERIFY(m_origin.start());
    m_origin.addFile(QStringLiteral("page"), 100);
}

void tst_DemoRelay::cleanupTestCase()
{
    m_service.kill();
    m_service.waitForFinished();
}

QString tst_DemoRelay::serviceLog()
{
    m_log += m_service.readAllStandardError();
    return QString::fromUtf8(m_log);
}

QString tst_DemoRelay::fetchThrough(const TunnelHarness &tunnel, const QString &url)
{
    const CurlRun run = runCurl({QStringLiteral("--socks5-hostname"),
                                 QStringLiteral("127.0.0.1:%1").arg(tunnel.socksPort()), url});
    return run.code == 0 ? QString::fromUtf8(run.body) : QString();
}

void tst_DemoRelay::destinationSeesTheExitAddress()
{
    QSet<QString> seen;
    for (int change = 0; change <= 20; ++change) {
        TunnelHarness tunnel;
        tunnel.start(TunnelHarness::configuration(m_relayPort, "CHACHA20", "",
                                                  signedString(u"D1Y"_s, 18, 1, m_uid++),
                                                  kAllThroughTheTunnel));
        QTRY_COMPARE(tunnel.last(), Status::Connected);
        const int before = m_origin.peers().size();
        QVERIFY(!fetchThrough(tunnel, m_origin.url(QStringLiteral("page"))).isEmpty());
        QTRY_COMPARE(m_origin.peers().size(), before + 1);
        const QString peer = m_origin.peers().last();
        QVERIFY2(peer.startsWith(QLatin1String("127.118.0.")), qPrintable(peer));
        QVERIFY2(!seen.contains(peer), qPrintable(peer));
        seen.insert(peer);
        // The demo's lookup tells the address it sees and that address's province.
        const QString lookup = fetchThrough(tunnel, m_url + QStringLiteral("/cityjson?ie=utf-8"));
        QVERIFY2(lookup.contains(QStringLiteral("\"cip\":\"%1\"").arg(peer)), qPrintable(lookup));
        QVERIFY(lookup.contains(QStringLiteral("\"cname\":\"广东\"")));
    }
    // The quick connect relay has no exit address of its own; with the tunnel off, the
    // destination sees this machine.
    for (const bool plain : {true, false}) {
        const int before = m_origin.peers().size();
        if (plain) {
            TunnelHarness tunnel;
            tunnel.start(TunnelHarness::configuration(m_plainRelayPort, "CHACHA20", "", {},
                                                      kAllThroughTheTunnel));
            QTRY_COMPARE(tunnel.last(), Status::Connected);
            QVERIFY(!fetchThrough(tunnel, m_origin.url(QStringLiteral("page"))).isEmpty());
        } else {
            QCOMPARE(runCurl({m_origin.url(QStringLiteral("page"))}).code, 0);
        }
        QTRY_COMPARE(m_origin.peers().size(), before + 1);
        QCOMPARE(m_origin.peers().last(), QStringLiteral("127.0.0.1"));
    }
}

void tst_DemoRelay::badInputLeavesTheServiceUp()
{
    const qint64 residentBefore = residentKiB(m_service.processId());
    const auto refusal = [this](const std::string &auth) {
        TunnelHarness tunnel;
        tunnel.start(TunnelHarness::configuration(m_relayPort, "CHACHA20", "", auth));
        return QTest::qWaitFor([&] { return tunnel.last() == Status::Disconnected; })
                   ? tunnel.reason()
                   : QString();
    };
    std::string forged = signedString(u"D2M"_s, -1, 0, m_uid++);
    forged.replace(forged.find("&sign=") + 6, 1, "x");
    QVERIFY(refusal(forged).contains(QStringLiteral("sign is error")));
    const std::string once = signedString(u"D2M"_s, -1, 0, m_uid++);
    TunnelHarness first;
    first.start(TunnelHarness::configuration(m_relayPort, "CHACHA20", "", once));
    QTRY_COMPARE(first.last(), Status::Connected);
    QVERIFY(refusal(once).contains(QStringLiteral("uid is reused")));
    QVERIFY(refusal("orderId=D2M").contains(QStringLiteral("auth is malformed")));

    QTcpSocket notAHello;
    notAHello.connectToHost(QHostAddress::LocalHost, m_relayPort);
    notAHello.write("GET / HTTP/1.1\r\n\r\n");
    QVERIFY(notAHello.waitForDisconnected(5000));
    // An open followed by ten megabytes that are no sealed frame.
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, m_relayPort);
    QVERIFY(flood.waitForConnected());
    flood.write(QByteArray("\x01\x01", 2) + QByteArray(32, '\x09'));
    flood.write(QByteArray(10 * 1024 * 1024, '\x5a'));
    QTRY_COMPARE(flood.state(), QAbstractSocket::UnconnectedState);

    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 1000; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, m_relayPort);
    }
    for (const auto &socket : idle)
        QVERIFY(socket->state() == QAbstractSocket::ConnectedState || socket->waitForConnected());
    // Every connection costs the service a little; a few megabytes for all of them.
    QVERIFY2(residentKiB(m_service.processId()) - residentBefore < 32 * 1024,
             qPrintable(QString::number(residentKiB(m_service.processId()) - residentBefore)));
    QVERIFY(!fetchThrough(first, m_origin.url(QStringLiteral("page"))).isEmpty());
    QCOMPARE(m_service.state(), QProcess::Running);
    const QString log = serviceLog();
    QVERIFY2(log.contains(QStringLiteral("not a hello of this protocol")), qPrintable(log));
    QVERIFY(log.contains(QStringLiteral("frames that do not open")));
    QVERIFY(log.contains(QStringLiteral("Refused a tunnel")));
}

QTEST_GUILESS_MAIN(tst_DemoRelay)
#include "tst_demorelay.moc"
