#include "TunnelHarness.h"
#include "TunnelPeers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The tunnel against Debian's ss-server and curl, nobody's code but theirs: pages fetched
// through both local proxies, for both relay forms, arrive byte for byte.
class tst_TunnelInterop final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fetchesThroughSsServer_data();
    void fetchesThroughSsServer();
    void carriesALargeBodyWhole();
    void carriesManyConnectionsAtOnce();
    void theHelperProgramCarriesIt();

private:
    WebOrigin m_origin;
    QByteArray m_page;
};

namespace {
const auto kPassword = QStringLiteral("interop-password-17");

QStringList throughSocks(quint16 port)
{
    return {QStringLiteral("--socks5-hostname"), QStringLiteral("127.0.0.1:%1").arg(port)};
}

QStringList throughHttpProxy(quint16 port, bool connect)
{
    QStringList arguments{QStringLiteral("--proxy"),
                          QStringLiteral("http://127.0.0.1:%1").arg(port)};
    if (connect)
        arguments << QStringLiteral("--proxytunnel");
    return arguments;
}
} // namespace

void tst_TunnelInterop::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ss-server")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty())
        QSKIP("ss-server or curl is not installed (scripts/setup.sh installs both)");
    QVERIFY(m_origin.start());
    m_page = m_origin.addFile(QStringLiteral("page.bin"), 200 * 1024 + 7);
    QVERIFY(!m_page.isEmpty());
}

void tst_TunnelInterop::fetchesThroughSsServer_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("proxy");
    for (const char *method : {"chacha20", "chacha20-ietf-poly1305"}) {
        for (const char *proxy : {"socks5", "http", "http-connect"})
            QTest::addRow("%s via %s", method, proxy)
                << QString::fromLatin1(method) << QString::fromLatin1(proxy);
    }
}

void tst_TunnelInterop::fetchesThroughSsServer()
{
    QFETCH(QString, method);
    QFETCH(QString, proxy);
    SsServer server;
    QVERIFY(server.start(method, kPassword));
    TunnelHarness tunnel;
    // The application names the stream form "CHACHA20".
    tunnel.start(TunnelHarness::configuration(
        server.port(), method == QLatin1String("chacha20") ? "CHACHA20" : method.toStdString(),
        kPassword.toStdString()));
    QTRY_COMPARE(tunnel.last(), TunnelClient::Status::Connected);

    const QStringList via =
        proxy == QLatin1String("socks5")
            ? throughSocks(tunnel.socksPort())
            : throughHttpProxy(tunnel.httpPort(), proxy == QLatin1String("http-connect"));
    const CurlRun run = runCurl(via + QStringList{m_origin.url(QStringLiteral("page.bin"))});
    QVERIFY2(run.code == 0, run.error.constData());
    QVERIFY(run.body == m_page);
}

void tst_TunnelInterop::carriesALargeBodyWhole()
{
    const QByteArray body = m_origin.addFile(QStringLiteral("large.bin"), 50 * 1024 * 1024);
    SsServer server;
    QVERIFY(server.start(QStringLiteral("chacha20-ietf-poly1305"), kPassword));
    TunnelHarness tunnel;
    tunnel.start(TunnelHarness::configuration(server.port(), "chacha20-ietf-poly1305",
                                              kPassword.toStdString()));
    QTRY_COMPARE(tunnel.last(), TunnelClient::Status::Connected);
    const CurlRun run = runCurl(throughSocks(tunnel.socksPort()) +
                                QStringList{m_origin.url(QStringLiteral("large.bin"))});
    QVERIFY2(run.code == 0, run.error.constData());
    QCOMPARE(run.body.size(), body.size());
    QVERIFY(run.body == body);
}

void tst_TunnelInterop::carriesManyConnectionsAtOnce()
{
    constexpr int kConnections = 100;
    SsServer server;
    QVERIFY(server.start(QStringLiteral("chacha20"), kPassword));
    TunnelHarness tunnel;
    tunnel.start(TunnelHarness::configuration(server.port(), "CHACHA20", kPassword.toStdString()));
    QTRY_COMPARE(tunnel.last(), TunnelClient::Status::Connected);
    QTemporaryDir out;
    QStringList arguments = throughHttpProxy(tunnel.httpPort(), false);
    arguments << QStringLiteral("--parallel") << QStringLiteral("--parallel-immediate")
              << QStringLiteral("--parallel-max") << QString::number(kConnections);
    for (int i = 0; i < kConnections; ++i)
        arguments << QStringLiteral("--output") << out.filePath(QString::number(i))
                  << m_origin.url(QStringLiteral("page.bin"));
    const CurlRun run = runCurl(arguments);
    QVERIFY2(run.code == 0, run.error.constData());
    for (int i = 0; i < kConnections; ++i) {
        QFile file(out.filePath(QString::number(i)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll() == m_page, qPrintable(file.fileName()));
    }
}

// The program the window starts, on its channel files: up, a page through its SOCKS5 port,
// and down on SIGTERM with its files gone.
void tst_TunnelInterop::theHelperProgramCarriesIt()
{
    const QString helperProgram = qEnvironmentVariable("CORVANE_TUNNEL_HELPER");
    if (helperProgram.isEmpty())
        QSKIP("CORVANE_TUNNEL_HELPER is not set");
    SsServer server;
    QVERIFY(server.start(QStringLiteral("chacha20"), kPassword));
    QTemporaryDir channel;
    const QString base = channel.filePath(QStringLiteral("tunnel"));
    QFile configuration(base + QStringLiteral(".conf"));
    QVERIFY(configuration.open(QIODevice::WriteOnly));
    configuration.write(
        QJsonDocument(QJsonObject{
                          {QStringLiteral("ss_address"), QStringLiteral("127.0.0.1")},
                          {QStringLiteral("ss_port"), server.port()},
                          {QStringLiteral("ss_method"), QStringLiteral("CHACHA20")},
                          {QStringLiteral("ss_password"), kPassword},
                          {QStringLiteral("ss_ip"), QString()},
                          {QStringLiteral("ss_auth"), QString()},
                          {QStringLiteral("json_conf"),
                           QStringLiteral(R"({"rules": [{"type": "final", "action": "proxy"}]})")},
                      })
            .toJson());
    configuration.close();
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedChannels);
    helper.start(helperProgram,
                 {QStringLiteral("--channel"), base, QStringLiteral("--socks-port"),
                  QStringLiteral("0"), QStringLiteral("--http-port"), QStringLiteral("0")});
    const auto read = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_COMPARE(read(base + QStringLiteral(".status")), QByteArray("connected\n"));
    const QList<QByteArray> ports = read(base + QStringLiteral(".proxy")).trimmed().split(' ');
    QCOMPARE(ports.size(), 3);
    const CurlRun run = runCurl(throughSocks(ports.at(1).toUShort()) +
                                QStringList{m_origin.url(QStringLiteral("page.bin"))});
    QVERIFY2(run.code == 0, run.error.constData());
    QVERIFY(run.body == m_page);
    helper.terminate();
    QVERIFY(helper.waitForFinished());
    QCOMPARE(helper.exitCode(), 0);
    QVERIFY(!QFile::exists(base + QStringLiteral(".status")));
    QVERIFY(!QFile::exists(base + QStringLiteral(".proxy")));
    QVERIFY(!QFile::exists(base + QStringLiteral(".conf")));
}

QTEST_GUILESS_MAIN(tst_TunnelInterop)
#include "tst_tunnelinterop.moc"
