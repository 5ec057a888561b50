#include "TunnelHelper.h"
#include "TunnelPeers.h"
#include "platform/scheduling/ManualScheduler.h"
#include "platform/tunnel/linux/TrafficLines.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

// The helper's counters against Debian's ss-server and curl, read where windows and
// corvanectl read them: the status channel's "traffic" and "connections" lines.
class tst_TunnelTraffic final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void countsKnownTransfers_data();
    void countsKnownTransfers();
    void listsOpenConnectionsOnly();

private:
    WebOrigin m_origin;
};

namespace {
const auto kPassword = QStringLiteral("traffic-password-5");

// One window's end of the channel, its lines as they came.
class Window final
{
public:
    bool attach(const QString &path)
    {
        m_socket.connectToServer(path);
        return m_socket.waitForConnected(5000);
    }
    void send(const QByteArray &line)
    {
        m_socket.write(line);
        m_socket.flush();
    }
    QList<QByteArray> lines()
    {
        m_text += m_socket.readAll();
        QList<QByteArray> all = m_text.split('\n');
        all.removeLast();
        return all;
    }
    QList<TunnelTraffic> traffic()
    {
        QList<TunnelTraffic> told;
        for (const QByteArray &line : lines()) {
            if (const auto traffic = TrafficLines::parseTrafficLine(line))
                told << *traffic;
        }
        return told;
    }
    // Asks for the open connections and waits for the whole answer, so that every line the
    // helper sent before it has arrived too.
    std::optional<QList<TunnelConnectionInfo>> connections()
    {
        const qsizetype before = lines().size();
        send(TrafficLines::connectionsCommand());
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QList<TunnelConnectionInfo> open;
            for (const QByteArray &line : lines().mid(before)) {
                if (TrafficLines::isEndLine(line))
                    return open;
                if (const auto connection = TrafficLines::parseConnectionLine(line))
                    open << *connection;
            }
            // The helper answers on this thread.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return std::nullopt;
    }
    quint16 socksPort()
    {
        for (const QByteArray &line : lines()) {
            if (line.startsWith("proxy "))
                return line.split(' ').value(1).toUShort();
        }
        return 0;
    }

private:
    QLocalSocket m_socket;
    QByteArray m_text;
};

// The helper on a channel of its own, in this process, so that its clock is the test's.
class Helper final
{
public:
    bool start(quint16 relayPort, const QString &rules)
    {
        QFile configuration(m_base + QStringLiteral(".conf"));
        const QJsonObject object{
            {QStringLiteral("ss_address"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("ss_port"), relayPort},
            {QStringLiteral("ss_method"), QStringLiteral("chacha20-ietf-poly1305")},
            {QStringLiteral("ss_password"), kPassword},
            {QStringLiteral("ss_ip"), QString()},
            {QStringLiteral("ss_auth"), QString()},
            {QStringLiteral("json_conf"), rules},
        };
        if (!configuration.open(QIODevice::WriteOnly) ||
            configuration.write(QJsonDocument(object).toJson()) <= 0)
            return false;
        configuration.close();
        return m_helper.begin();
    }
    QString socketPath() const { return m_base + QStringLiteral(".sock"); }
    QByteArray status() const
    {
        QFile file(m_base + QStringLiteral(".status"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_base = m_dir.filePath(QStringLiteral("tunnel"));
    TunnelHelper m_helper{TunnelChannel(m_base), 0, 0};
};

// Takes an upload of any size and answers it with no body.
const auto kSink = QStringLiteral("import http.server\n"
                                  "class Sink(http.server.BaseHTTPRequestHandler):\n"
                                  "    def do_POST(self):\n"
                                  "        self.rfile.read(int(self.headers['Content-Length']))\n"
                                  "        self.send_response(204)\n"
                                  "        self.end_headers()\n"
                                  "server = http.server.HTTPServer(('127.0.0.1', 0), Sink)\n"
                                  "print('port', server.server_address[1], flush=True)\n"
                                  "server.serve_forever()\n");

const auto kLoopbackDirect = QStringLiteral(
    R"({"rules": [{"type": "ip-cidr", "value": "127.0.0.0/8", "action": "direct"}]})");
} // namespace

void tst_TunnelTraffic::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ss-server")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty())
        QSKIP("ss-server or curl is not installed (scripts/setup.sh installs both)");
    QVERIFY(m_origin.start());
    QVERIFY(!m_origin.addFile(QStringLiteral("10m.bin"), 10 * 1000 * 1000).isEmpty());
}

void tst_TunnelTraffic::countsKnownTransfers_data()
{
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QString>("rules");
    QTest::addRow("10 MB down through the relay") << false << QStringLiteral("{}");
    QTest::addRow("3 MB up through the relay") << true << QStringLiteral("{}");
    QTest::addRow("10 MB down direct") << false << kLoopbackDirect;
}

void tst_TunnelTraffic::countsKnownTransfers()
{
    QFETCH(bool, upload);
    QFETCH(QString, rules);
    const bool relayed = rules == QLatin1String("{}");
    ManualScheduler clock;
    SsServer server;
    QVERIFY(server.start(QStringLiteral("chacha20-ietf-poly1305"), kPassword));
    QProcess sink;
    const quint16 sinkPort = upload ? startPythonServer(sink, {QStringLiteral("-c"), kSink}) : 0;
    QVERIFY(!upload || sinkPort != 0);
    Helper helper;
    QVERIFY(helper.start(server.port(), rules));
    QTRY_COMPARE(helper.status(), QByteArray("connected\n"));
    Window watching;
    Window other;
    QVERIFY(watching.attach(helper.socketPath()));
    QVERIFY(other.attach(helper.socketPath()));
    watching.send(TrafficLines::watchCommand());
    QTRY_VERIFY(clock.pending() > 0 && watching.socksPort() != 0);

    QTemporaryDir files;
    const qint64 size = upload ? 3 * 1000 * 1000 : 10 * 1000 * 1000;
    QStringList arguments{QStringLiteral("--socks5-hostname"),
                          QStringLiteral("127.0.0.1:%1").arg(watching.socksPort())};
    if (upload) {
        QFile body(files.filePath(QStringLiteral("up.bin")));
        QVERIFY(body.open(QIODevice::WriteOnly));
        body.write(QByteArray(size, 'u'));
        body.close();
        arguments << QStringLiteral("--data-binary") << u'@' + body.fileName()
                  << QStringLiteral("http://127.0.0.1:%1/").arg(sinkPort);
    } else {
        arguments << QStringLiteral("--output") << files.filePath(QStringLiteral("down.bin"))
                  << m_origin.url(QStringLiteral("10m.bin"));
    }
    const CurlRun run = runCurl(arguments);
    QVERIFY2(run.code == 0, run.error.constData());

    clock.advance(std::chrono::seconds(1));
    QTRY_COMPARE(watching.traffic().size(), 1);
    const TunnelTraffic told = watching.traffic().first();
    // The payload and the HTTP heads around it: protocol overhead is not counted.
    const quint64 moved = upload ? told.up : told.down;
    QVERIFY2(moved >= quint64(size) && moved <= quint64(size * 1.01),
             QByteArray::number(moved).constData());
    QCOMPARE(told.relayUp, relayed ? told.up : 0);
    QCOMPARE(told.relayDown, relayed ? told.down : 0);
    // All of it within the period the clock moved by.
    QCOMPARE(told.upRate, told.up);
    QCOMPARE(told.downRate, told.down);

    // Once more to say the tunnel went idle, then nothing while it stays so.
    clock.advance(std::chrono::seconds(1));
    clock.advance(std::chrono::seconds(1));
    QVERIFY(watching.connections());
    QCOMPARE(watching.traffic().size(), 2);
    QCOMPARE(watching.traffic().last(),
             (TunnelTraffic{told.up, told.down, 0, 0, told.relayUp, told.relayDown}));
    QVERIFY(other.connections());
    QVERIFY(other.traffic().isEmpty());
    sink.kill();
    sink.waitForFinished();
}

void tst_TunnelTraffic::listsOpenConnectionsOnly()
{
    SsServer server;
    QVERIFY(server.start(QStringLiteral("chacha20-ietf-poly1305"), kPassword));
    QTcpServer destination;
    QVERIFY(destination.listen(QHostAddress::LocalHost));
    Helper helper;
    QVERIFY(helper.start(server.port(), QStringLiteral("{}")));
    QTRY_COMPARE(helper.status(), QByteArray("connected\n"));
    Window window;
    QVERIFY(window.attach(helper.socketPath()));
    QTRY_VERIFY(window.socksPort() != 0);

    // A SOCKS5 CONNECT to an IPv4 address, told in the relay's usual way.
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, window.socksPort());
    QVERIFY(client.waitForConnected());
    const QByteArray target = "127.0.0.1:" + QByteArray::number(destination.serverPort());
    client.write(QByteArray::fromHex("050100") + QByteArray::fromHex("05010001") +
                 QByteArray::fromHex("7f000001") +
                 QByteArray(1, char(destination.serverPort() >> 8)) +
                 QByteArray(1, char(destination.serverPort() & 0xff)));
    QTRY_VERIFY(destination.hasPendingConnections());
    QTcpSocket *far = destination.nextPendingConnection();
    QTRY_COMPARE(client.bytesAvailable(), 2 + 10);
    client.readAll();
    client.write("hello");
    far->write("abc");
    QTRY_COMPARE(far->bytesAvailable(), 5);
    QCOMPARE(far->readAll(), QByteArray("hello"));
    QTRY_COMPARE(client.bytesAvailable(), 3);
    QCOMPARE(client.readAll(), QByteArray("abc"));
    const std::optional<QList<TunnelConnectionInfo>> open = window.connections();
    QVERIFY(open);
    QCOMPARE(open->size(), 1);
    QCOMPARE(open->first().destination, QString::fromLatin1(target));
    QCOMPARE(open->first().rule, QStringLiteral("default"));
    QVERIFY(open->first().relayed);
    QCOMPARE(open->first().up, 5u);
    QCOMPARE(open->first().down, 3u);

    client.disconnectFromHost();
    far->disconnectFromHost();
    QTRY_VERIFY(window.connections().value_or(QList<TunnelConnectionInfo>{{}}).isEmpty());
}

QTEST_GUILESS_MAIN(tst_TunnelTraffic)
#include "tst_tunneltraffic.moc"
