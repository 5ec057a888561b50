#include "TunnelHarness.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using Status = TunnelClient::Status;

namespace {
constexpr uid_t kNobody = 65534;
const std::string kPassword = "defences-password-3";

QByteArray socksRequest(quint16 port)
{
    return QByteArray("\x05\x01\x00\x05\x01\x00\x01\x7f\x00\x00\x01", 11) +
           static_cast<char>(port >> 8) + static_cast<char>(port & 0xff);
}

RelayServer::Options plainRelay()
{
    RelayServer::Options options;
    options.plain = RelayMethod(RelayMethod::Form::Aead, kPassword);
    return options;
}

// The real helper program on a channel of its own, its log read from its standard error.
class HelperRun final
{
public:
    HelperRun() : m_base(m_dir.filePath(QStringLiteral("tunnel"))) {}
    ~HelperRun()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QString path(const char *extension) const { return m_base + QLatin1String(extension); }
    QByteArray file(const char *extension) const
    {
        QFile file(path(extension));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool writeFile(const char *extension, const QByteArray &content) const
    {
        QFile file(path(extension));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    bool configure(quint16 relayPort) const
    {
        const QJsonObject configuration{
            {QStringLiteral("ss_address"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("ss_port"), relayPort},
            {QStringLiteral("ss_method"), QStringLiteral("chacha20-ietf-poly1305")},
            {QStringLiteral("ss_password"), QString::fromStdString(kPassword)},
            {QStringLiteral("ss_ip"), QString()},
            {QStringLiteral("ss_auth"), QString()},
            {QStringLiteral("json_conf"), QStringLiteral("{}")},
        };
        return writeFile(".conf", QJsonDocument(configuration).toJson());
    }
    // Runs it, under `prlimit --nofile=<soft>:<hard>` when a limit is given.
    void start(const QString &nofile = {})
    {
        QStringList arguments{qEnvironmentVariable("CORVANE_TUNNEL_HELPER"),
                              QStringLiteral("--channel"),
                              m_base,
                              QStringLiteral("--socks-port"),
                              QStringLiteral("0"),
                              QStringLiteral("--http-port"),
                              QStringLiteral("0")};
        if (!nofile.isEmpty())
            arguments =
                QStringList{QStringLiteral("--nofile=") + nofile, QStringLiteral("--")} + arguments;
        m_process.start(nofile.isEmpty() ? arguments.takeFirst() : QStringLiteral("prlimit"),
                        arguments);
    }
    bool finish()
    {
        return m_process.waitForFinished(30000) && m_process.exitStatus() == QProcess::NormalExit;
    }
    int exitCode() const { return m_process.exitCode(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    QString log()
    {
        m_log += m_process.readAllStandardError();
        return QString::fromUtf8(m_log);
    }
    quint16 socksPort() const { return file(".proxy").trimmed().split(' ').value(1).toUShort(); }
    QDir dir() const { return QDir(m_dir.path()); }

private:
    QTemporaryDir m_dir;
    QString m_base;
    QProcess m_process;
    QByteArray m_log;
};

// Leaves `free` descriptors below the soft limit of this process, for as long as it lives.
class DescriptorSqueeze final
{
public:
    explicit DescriptorSqueeze(int free)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        // The limit lands on the first number past `free` unused ones.
        int limit = 0;
        for (int left = free; left > 0 || ::fcntl(limit, F_GETFD) != -1; ++limit)
            left -= ::fcntl(limit, F_GETFD) == -1 ? 1 : 0;
        rlimit squeezed = m_saved;
        squeezed.rlim_cur = static_cast<rlim_t>(limit);
        ::setrlimit(RLIMIT_NOFILE, &squeezed);
    }
    ~DescriptorSqueeze() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    rlimit m_saved{};
};

// Reads from a blocking socket until it ends; what came.
QByteArray readToEnd(int fd)
{
    const timeval timeout{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    QByteArray bytes;
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    return bytes;
}
} // namespace

// What keeps the helper standing against its own limits and its neighbours: the descriptor
// limit, other users on its channel, files and folders that others could change.
class tst_HelperDefences final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void ownShortageOfDescriptorsIsNoLostRelay_data();
    void ownShortageOfDescriptorsIsNoLostRelay();
    void theCapIsReachableUnderTheUsualLimit_data();
    void theCapIsReachableUnderTheUsualLimit();
    void statusChannelObeysItsOwnUserOnly();
    void refusesWhatOthersCouldChange_data();
    void refusesWhatOthersCouldChange();
};

void tst_HelperDefences::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("CORVANE_TUNNEL_HELPER"))
        QSKIP("CORVANE_TUNNEL_HELPER is not set");
}

void tst_HelperDefences::ownShortageOfDescriptorsIsNoLostRelay_data()
{
    QTest::addColumn<int>("free");
    QTest::addColumn<QByteArray>("answer");
    // None left to accept with: the spare one takes the connection, to refuse it.
    QTest::newRow("at the accept") << 0 << QByteArray("\x05\xff", 2);
    // Accepted, and none left for the relay's connection: that one connection ends, however.
    QTest::newRow("at the relay's connect") << 1 << QByteArray();
}

void tst_HelperDefences::ownShortageOfDescriptorsIsNoLostRelay()
{
    QFETCH(int, free);
    QFETCH(QByteArray, answer);
    RelayHarness relay(plainRelay());
    TunnelHarness tunnel(true);
    tunnel.start(TunnelHarness::configuration(relay.port(), "chacha20-ietf-poly1305", kPassword));
    QTRY_COMPARE(tunnel.last(), Status::Connected);
    // One connection the whole way first, so that nothing runs for the first time while
    // descriptors are short: the sanitizers' own checks would want one then.
    QTcpServer destination;
    QVERIFY(destination.listen(QHostAddress::LocalHost));
    {
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, tunnel.socksPort());
        QVERIFY(first.waitForConnected());
        first.write(socksRequest(destination.serverPort()));
        QVERIFY(first.waitForBytesWritten());
        QVERIFY(destination.waitForNewConnection(10000));
    }
    const std::unique_ptr<QTcpSocket> far(destination.nextPendingConnection());
    QTRY_COMPARE(far->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(tunnel.connectionCount(), 0u);
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in proxy{};
    proxy.sin_family = AF_INET;
    proxy.sin_port = htons(tunnel.socksPort());
    proxy.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray reply;
    {
        const DescriptorSqueeze squeeze(free);
        QCOMPARE(::connect(client, reinterpret_cast<sockaddr *>(&proxy), sizeof proxy), 0);
        const QByteArray request = socksRequest(destination.serverPort());
        QCOMPARE(::write(client, request.constData(), request.size()), request.size());
        reply = readToEnd(client);
    }
    ::close(client);
    if (!answer.isEmpty())
        QCOMPARE(reply.toHex(), answer.toHex());
    QVERIFY2(!tunnel.log().contains(QStringLiteral("Lost the relay")), qPrintable(tunnel.log()));
    QVERIFY(!tunnel.statuses().contains(Status::Reasserting));
    QCOMPARE(tunnel.last(), Status::Connected);
    QTRY_COMPARE(tunnel.connectionCount(), 0u);
}

void tst_HelperDefences::theCapIsReachableUnderTheUsualLimit_data()
{
    QTest::addColumn<bool>("hardToo");
    QTest::addColumn<int>("served");
    // Raised at the start to what the cap needs.
    QTest::newRow("soft 1024") << false << 1200;
    // Not raisable: the cap comes down to what fits with the reserve kept.
    QTest::newRow("soft and hard 1024") << true << 384;
}

void tst_HelperDefences::theCapIsReachableUnderTheUsualLimit()
{
    QFETCH(bool, hardToo);
    QFETCH(int, served);
    constexpr int kConnections = 1200;
    // Each connection takes four descriptors here: client, relay's two, destination's.
    rlimit own{};
    ::getrlimit(RLIMIT_NOFILE, &own);
    if (own.rlim_max < 6 * kConnections || (!hardToo && own.rlim_max < 9000))
        QSKIP("the hard descriptor limit is too low for this test");
    const rlim_t soft = own.rlim_cur;
    own.rlim_cur = own.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &own);
    const auto restore = qScopeGuard([&] {
        own.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &own);
    });

    QTcpServer echo;
    echo.setMaxPendingConnections(kConnections);
    QVERIFY(echo.listen(QHostAddress::LocalHost));
    QObject::connect(&echo, &QTcpServer::newConnection, &echo, [&echo] {
        while (QTcpSocket *peer = echo.nextPendingConnection())
            QObject::connect(peer, &QTcpSocket::readyRead, peer,
                             [peer] { peer->write(peer->readAll()); });
    });
    RelayHarness relay(plainRelay());
    HelperRun helper;
    QVERIFY(helper.configure(relay.port()));
    helper.start(QStringLiteral("1024:") +
                 QString::number(hardToo ? 1024 : static_cast<qulonglong>(own.rlim_max)));
    QTRY_COMPARE_WITH_TIMEOUT(helper.file(".status"), QByteArray("connected\n"), 10000);

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < kConnections; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, helper.socksPort());
        clients.back()->write(socksRequest(echo.serverPort()) + "ping");
    }
    const QByteArray through =
        QByteArray("\x05\x00\x05\x00\x00\x01", 6) + QByteArray(6, '\0') + "ping";
    const auto count = [&](const QByteArray &answer) {
        return std::count_if(clients.begin(), clients.end(),
                             [&](const auto &client) { return client->peek(64) == answer; });
    };
    const QByteArray refused("\x05\xff", 2);
    QTRY_VERIFY_WITH_TIMEOUT(count(through) + count(refused) == kConnections, 60000);
    QCOMPARE(count(through), served);

    // The channel still works and the status file is still written.
    QLocalSocket channel;
    channel.connectToServer(helper.path(".sock"));
    QVERIFY(channel.waitForConnected());
    channel.write("stop\n");
    QVERIFY(channel.waitForBytesWritten());
    QVERIFY(helper.finish());
    QCOMPARE(helper.exitCode(), 0);
    const QString log = helper.log();
    QVERIFY2(!log.contains(QStringLiteral("Lost the relay")), qPrintable(log));
    QVERIFY(!log.contains(QStringLiteral("Cannot write")));
    QCOMPARE(log.contains(QStringLiteral("Serving at most 384 proxy connections")), hardToo);
}

// The socket's mode keeps other users out; were it opened up, the peer's credentials still do.
void tst_HelperDefences::statusChannelObeysItsOwnUserOnly()
{
    if (::getuid() != 0)
        QSKIP("connecting as another user takes root");
    RelayHarness relay(plainRelay());
    HelperRun helper;
    QVERIFY(helper.configure(relay.port()));
    helper.start();
    QTRY_COMPARE_WITH_TIMEOUT(helper.file(".status"), QByteArray("connected\n"), 10000);
    QCOMPARE(::chmod(QFile::encodeName(helper.dir().path()).constData(), 0711), 0);
    QCOMPARE(::chmod(QFile::encodeName(helper.path(".sock")).constData(), 0777), 0);
    const QByteArray socketPath = QFile::encodeName(helper.path(".sock"));
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socketPath.constData(), socketPath.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            ::_exit(3);
        // The helper may close the connection before the command is even written: refused
        // either way.
        [[maybe_unused]] const ssize_t sent = ::send(fd, "stop\n", 5, MSG_NOSIGNAL);
        char byte = 0;
        while (::read(fd, &byte, 1) > 0) {
        }
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QCOMPARE(WEXITSTATUS(status), 0);
    QTRY_VERIFY(helper.log().contains(
        QStringLiteral("Refused a status channel connection from uid 65534")));
    QVERIFY(helper.running());
    QCOMPARE(helper.file(".status"), QByteArray("connected\n"));
}

void tst_HelperDefences::refusesWhatOthersCouldChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("logged");
    // Refused before the lock is ours: the status file may be a running helper's.
    QTest::addColumn<bool>("statusKept");
    QTest::newRow("folder writable by the group")
        << QStringLiteral("folder 0770")
        << QStringLiteral("other users may write in it (mode 0770)") << true;
    QTest::newRow("folder writable by anyone")
        << QStringLiteral("folder 1777")
        << QStringLiteral("other users may write in it (mode 1777)") << true;
    QTest::newRow("another user's configuration")
        << QStringLiteral(".conf")
        << QStringLiteral("tunnel.conf is not ours: it belongs to uid 65534") << false;
    QTest::newRow("another user's lock")
        << QStringLiteral(".lock")
        << QStringLiteral("tunnel.lock is not ours: it belongs to uid 65534") << true;
    // Nothing runs, so nothing may say that it does: an old status goes too.
    QTest::newRow("unusable configuration")
        << QStringLiteral("unusable") << QStringLiteral("Refusing to connect: ") << false;
}

void tst_HelperDefences::refusesWhatOthersCouldChange()
{
    QFETCH(QString, change);
    QFETCH(QString, logged);
    QFETCH(bool, statusKept);
    HelperRun helper;
    QVERIFY(helper.configure(1));
    QVERIFY(helper.writeFile(".status", "connected\n"));
    if (change.startsWith(QLatin1String("folder "))) {
        const auto mode = static_cast<mode_t>(change.mid(7).toUInt(nullptr, 8));
        QCOMPARE(::chmod(QFile::encodeName(helper.dir().path()).constData(), mode), 0);
    } else if (change == QLatin1String("unusable")) {
        QVERIFY(helper.writeFile(".conf", "{}"));
    } else {
        if (::getuid() != 0)
            QSKIP("giving a file to another user takes root");
        if (!QFile::exists(helper.path(change.toLatin1().constData())))
            QVERIFY(helper.writeFile(change.toLatin1().constData(), {}));
        QCOMPARE(::chown(QFile::encodeName(helper.path(change.toLatin1().constData())).constData(),
                         kNobody, kNobody),
                 0);
    }
    helper.start();
    QVERIFY(helper.finish());
    QCOMPARE(helper.exitCode(), 1);
    QVERIFY2(helper.log().contains(logged), qPrintable(helper.log()));
    QVERIFY(!QFile::exists(helper.path(".sock")));
    QCOMPARE(QFile::exists(helper.path(".status")), statusKept);
}

QTEST_GUILESS_MAIN(tst_HelperDefences)
#include "tst_helperdefences.moc"
