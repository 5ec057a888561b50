#include "TunnelHarness.h"
#include "TunnelPeers.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The local proxies as real clients use them (curl, wget, python-requests, and exchanges by
// hand), through Debian's ss-server and straight, against an origin that keeps connections
// alive: bodies of any size are carried whole, and a kept-alive client is told that its
// connection closes after each response, so none of its requests is lost.
class tst_HttpProxy final : public QObject
{
    Q_OBJECT

public:
    ~tst_HttpProxy() override
    {
        m_origin.kill();
        m_origin.waitForFinished();
    }

private Q_SLOTS:
    void initTestCase();
    void clients_data();
    void clients();

private:
    QProcess m_origin;
    quint16 m_port = 0;
    SsServer m_relay;
    std::unique_ptr<TunnelHarness> m_relayed;
    std::unique_ptr<TunnelHarness> m_direct;
    QTemporaryDir m_files;
};

namespace {
const auto kPassword = QStringLiteral("http-proxy-password-5");

QByteArray pattern(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7919) >> 3);
    return data;
}
} // namespace

void tst_HttpProxy::initTestCase()
{
    for (const char *program : {"ss-server", "curl", "wget"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            QSKIP("ss-server, curl or wget is not installed (scripts/setup.sh installs them)");
    }
    m_port = startPythonServer(m_origin, {QFINDTESTDATA("tunnel/support/keepalive_origin.py")});
    QVERIFY(m_port);
    QVERIFY(m_relay.start(QStringLiteral("chacha20-ietf-poly1305"), kPassword));
    m_relayed = std::make_unique<TunnelHarness>();
    m_relayed->start(TunnelHarness::configuration(m_relay.port(), "chacha20-ietf-poly1305",
                                                  kPassword.toStdString()));
    m_direct = std::make_unique<TunnelHarness>();
    m_direct->start(TunnelHarness::configuration(
        m_relay.port(), "chacha20-ietf-poly1305", kPassword.toStdString(), {},
        R"({"rules": [{"type": "ip-cidr", "value": "127.0.0.0/8", "action": "direct"}]})"));
    QTRY_COMPARE(m_relayed->last(), TunnelClient::Status::Connected);
    QTRY_COMPARE(m_direct->last(), TunnelClient::Status::Connected);
    for (const int size : {20000, 65536}) {
        QFile file(m_files.filePath(QString::number(size)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(pattern(size)) == size);
    }
}

void tst_HttpProxy::clients_data()
{
    QTest::addColumn<bool>("relayed");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    const auto url = [this](const QString &path) {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    };
    const QString echo = url(QStringLiteral("/echo"));
    const auto upload = [this](int size) -> QString {
        return QLatin1Char('@') + m_files.filePath(QString::number(size));
    };
    const QString status = QStringLiteral("%{http_code}");
    const QString nowhere = QStringLiteral("/dev/null");
    const QString script = QFINDTESTDATA("tunnel/support/proxy_client.py");
    QStringList pages;
    QByteArray wgot;
    for (int i = 0; i < 30; ++i) {
        pages << url(QStringLiteral("/page/%1").arg(i));
        wgot += "page /page/" + QByteArray::number(i);
    }
    for (const bool relayed : {true, false}) {
        const char *way = relayed ? "relayed" : "direct";
        const auto row = [way, relayed](const char *name, const QString &program,
                                        const QStringList &arguments, const QByteArray &expected) {
            QTest::addRow("%s, %s", way, name) << relayed << program << arguments << expected;
        };
        const QString curl = QStringLiteral("curl");
        const QString python = QStringLiteral("/usr/bin/python3");
        row("POST of 20,000 bytes", curl, {QStringLiteral("--data-binary"), upload(20000), echo},
            pattern(20000));
        row("POST of 64 KiB", curl, {QStringLiteral("--data-binary"), upload(65536), echo},
            pattern(65536));
        row("chunked POST", curl,
            {QStringLiteral("-HTransfer-Encoding: chunked"), QStringLiteral("--data-binary"),
             upload(65536), echo},
            pattern(65536));
        row("chunked response", curl, {url(QStringLiteral("/chunked"))}, "chunked response body");
        row("response ended by closing", curl, {url(QStringLiteral("/close"))},
            QByteArray("ended by closing").repeated(1000));
        row("HEAD", curl,
            {QStringLiteral("--head"), QStringLiteral("-o"), nowhere, QStringLiteral("-w"), status,
             url(QStringLiteral("/page/h"))},
            "200");
        row("304", curl,
            {QStringLiteral("-z"), QStringLiteral("Sun, 01 Jan 2040 00:00:00 GMT"),
             QStringLiteral("-o"), nowhere, QStringLiteral("-w"), status,
             url(QStringLiteral("/cached"))},
            "304");
        row("four URLs in one curl", curl,
            {url(QStringLiteral("/page/1")), url(QStringLiteral("/chunked")),
             url(QStringLiteral("/close")), url(QStringLiteral("/page/2"))},
            "page /page/1chunked response body" + QByteArray("ended by closing").repeated(1000) +
                "page /page/2");
        row("wget, 30 URLs", QStringLiteral("wget"), pages, wgot);
        for (const auto &[name, mode] : {std::pair{"one requests Session, 50 GETs", "session"},
                                         {"pipelined pair", "pipeline"},
                                         {"CONNECT with 20 KiB behind it", "connect"},
                                         {"SOCKS5 with 20 KiB behind it", "socks"}})
            row(name, python, {script, QString::fromLatin1(mode)}, "ok\n");
    }
}

void tst_HttpProxy::clients()
{
    QFETCH(bool, relayed);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    const TunnelHarness &tunnel = relayed ? *m_relayed : *m_direct;
    const QString proxy = QStringLiteral("http://127.0.0.1:%1").arg(tunnel.httpPort());
    QTemporaryDir saved;
    if (program == QLatin1String("curl")) {
        arguments = QStringList{QStringLiteral("--silent"),   QStringLiteral("--show-error"),
                                QStringLiteral("--max-time"), QStringLiteral("60"),
                                QStringLiteral("--proxy"),    proxy} +
                    arguments;
    } else if (program == QLatin1String("wget")) {
        arguments =
            QStringList{QStringLiteral("--no-config"), QStringLiteral("-q"),
                        QStringLiteral("--tries=1"),   QStringLiteral("--timeout=60"),
                        QStringLiteral("-e"),          QStringLiteral("use_proxy=on"),
                        QStringLiteral("-e"),          QStringLiteral("http_proxy=") + proxy,
                        QStringLiteral("-P"),          saved.path()} +
            arguments;
    } else {
        const bool socks = arguments.last() == QLatin1String("socks");
        arguments << QString::number(socks ? tunnel.socksPort() : tunnel.httpPort())
                  << QString::number(m_port);
    }
    CurlRun run = runPeer(program, arguments);
    QVERIFY2(run.code == 0, run.error.constData());
    if (program == QLatin1String("wget")) {
        for (int i = 0; i < 30; ++i) {
            QFile file(QDir(saved.path()).filePath(QString::number(i)));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            run.body += file.readAll();
        }
    }
    QVERIFY2(run.body == expected, run.body.left(300).constData());
}

QTEST_GUILESS_MAIN(tst_HttpProxy)
#include "tst_httpproxy.moc"
