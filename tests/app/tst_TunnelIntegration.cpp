#include "ProcessProbe.h"
#include "RelayServer.h"
#include "core/vpn/TunnelStoreProduct.h"
#include "core/vpn/VpnManager.h"
#include "platform/files/PrivateFile.h"
#include "platform/log/Log.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/resources/Resources.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"
#include "tunnel/engine/EngineThread.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace corvane;
using probe::modeOf;
using probe::readAll;
using probe::statFields;

namespace {

const auto kAuth = QStringLiteral("orderId=42&time=1700000000&sign=0123456789abcdef");
const auto kPassword = QStringLiteral("relay-password-9876");

const auto kRefusedAuth = QStringLiteral("orderId=expired");
const auto kRefusal = QStringLiteral("订单已过期");

// A service relay that accepts every signed string but kRefusedAuth, on a thread of its own.
class AcceptingRelay final
{
public:
    AcceptingRelay()
    {
        tunnel::RelayServer::Options options;
        options.password = kPassword.toStdString();
        m_engine.call([this, options] {
            m_server = std::make_unique<tunnel::RelayServer>(
                m_engine.loop(), options,
                [](const std::string &auth) {
                    if (auth == kRefusedAuth.toStdString())
                        return tunnel::RelayServer::Decision{false, kRefusal.toStdString(), {}};
                    return tunnel::RelayServer::Decision{true, {}, {}};
                },
                nullptr);
            m_server->listen(tunnel::SocketAddress::loopback(false, 0));
        });
    }
    ~AcceptingRelay()
    {
        m_engine.call([this] { m_server.reset(); });
    }
    quint16 port() const { return m_server->port(); }

private:
    tunnel::EngineThread m_engine;
    std::unique_ptr<tunnel::RelayServer> m_server;
};

} // namespace

// The real store and the real helper process, with the user's folders in a temporary place.
class tst_TunnelIntegration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void connectsWithoutSecretsOnTheCommandLine();
    void secondStartStartsNoSecondHelper();
    void reconnectAsSoonAsOff();
    void killedHelperIsSeenOff();
    void firstLaunchCreatesNothing();
    void laterWindowProcessSeesTheTunnelAndStopsIt();
    void tunnelOfAnotherProcessIsFollowed_data();
    void tunnelOfAnotherProcessIsFollowed();
    void scriptedTunnelIsLeftToItsScript();
    void stopWhileConnecting();
    void helperRefusesBadConfiguration_data();
    void helperRefusesBadConfiguration();
    void corruptStoreIsKeptAside();
    void twoTerminationSignalsLeaveItStopped();
    void linkedLockIsRefused();
    void aRefusedTunnelSaysWhy();

private:
    void makeManager();
    void connectUntilOn();
    void settle();
    QList<qint64> liveHelpers() const;
    QString runtimeDir() const { return m_home.filePath(QStringLiteral("run/corvane")); }
    QString appPath() const
    {
        return qEnvironmentVariable("CORVANE_BINARY_DIR") + QStringLiteral("/bin/corvane");
    }
    QString storeFile() const
    {
        return m_home.filePath(QStringLiteral("data/corvane/profiles.json"));
    }

    // Every connect fills these again: the manager clears them once it has configured a profile.
    void useRelay(VpnManager &manager) const
    {
        manager.address = QStringLiteral("127.0.0.1");
        manager.port = m_relay.port();
        manager.pwd = kPassword;
    }

    QTemporaryDir m_home;
    AcceptingRelay m_relay;
    std::unique_ptr<LinuxTunnelProfileStore> m_store;
    std::unique_ptr<VpnManager> m_manager;
    std::unique_ptr<QObject> m_observer;
    QList<VPNStatus> m_posted;
    QStringList m_log;
    QStringList m_roots;
};

void tst_TunnelIntegration::initTestCase()
{
    // A missing program is a broken build, not a reason to pass.
    QVERIFY2(!qEnvironmentVariableIsEmpty("CORVANE_TUNNEL_HELPER"),
             "CORVANE_TUNNEL_HELPER is not set");
    QVERIFY2(QFileInfo(appPath()).isExecutable(), "the corvane application is not built");
    QVERIFY(m_home.isValid());
    QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("run"))));
    QVERIFY(QFile::setPermissions(m_home.filePath(QStringLiteral("run")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home.filePath(QStringLiteral("run"))));
    QVERIFY(probe::useFreeProxyPorts(m_home.filePath(QStringLiteral("config"))));
    Log::setSink([this](QtMsgType, const QString &line) { m_log << line; });
    m_roots = Resources::searchRoots();
}

void tst_TunnelIntegration::init()
{
    m_log.clear();
    makeManager();
}

void tst_TunnelIntegration::cleanup()
{
    for (qint64 pid : liveHelpers())
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
    m_manager.reset();
    m_store.reset();
    m_observer.reset();
    Resources::setSearchRoots(m_roots);
    QDir(m_home.filePath(QStringLiteral("data"))).removeRecursively();
    QDir(runtimeDir()).removeRecursively();
}

void tst_TunnelIntegration::makeManager()
{
    m_posted.clear();
    m_store = std::make_unique<LinuxTunnelProfileStore>(
        LinuxTunnelProfileStore::defaultLocations(qEnvironmentVariable("CORVANE_TUNNEL_HELPER")),
        TunnelStoreProduct::product());
    QCOMPARE(m_store->locations().storeFile, storeFile());
    QCOMPARE(m_store->locations().runtimeDir, runtimeDir());
    m_manager = std::make_unique<VpnManager>(*m_store);
    m_observer = std::make_unique<QObject>();
    NotificationCenter::shared().addObserver(kProxyServiceVPNStatusNotification, m_observer.get(),
                                             [this] { m_posted << m_manager->vpnStatus(); });
}

void tst_TunnelIntegration::connectUntilOn()
{
    useRelay(*m_manager);
    m_manager->auth = kAuth;
    m_manager->connectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::on, 5000);
}

// Store requests complete through posted events only: a few rounds deliver a whole chain.
void tst_TunnelIntegration::settle()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

QList<qint64> tst_TunnelIntegration::liveHelpers() const
{
    return probe::liveHelpers(runtimeDir());
}

void tst_TunnelIntegration::connectsWithoutSecretsOnTheCommandLine()
{
    // An earlier version of the store may have been world-readable.
    QVERIFY(QDir().mkpath(QFileInfo(storeFile()).path()));
    QFile old(storeFile());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("{\"profiles\": []}");
    old.close();
    QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));

    connectUntilOn();
    QCOMPARE(m_posted.first(), VPNStatus::connecting);
    const QList<qint64> helpers = liveHelpers();
    QCOMPARE(helpers.size(), 1);
    const QByteArray cmdline = readAll(QStringLiteral("/proc/%1/cmdline").arg(helpers.first()));
    QVERIFY(!cmdline.isEmpty());
    QVERIFY(!cmdline.contains(kAuth.toUtf8()));
    QVERIFY(!cmdline.contains(kPassword.toUtf8()));
    QVERIFY(!cmdline.contains(QByteArray::number(m_relay.port())));
    // Detached: never a child of this process, so never a zombie of it.
    QVERIFY(statFields(helpers.first()).value(1).toLongLong() != ::getpid());

    QCOMPARE(modeOf(storeFile()), 0600);
    QVERIFY(readAll(storeFile()).contains(kAuth.toUtf8()));
    QCOMPARE(modeOf(runtimeDir()), 0700);
    const QStringList logs = QDir(runtimeDir()).entryList({QStringLiteral("*.log")});
    QCOMPARE(logs.size(), 1);
    QCOMPARE(modeOf(QDir(runtimeDir()).filePath(logs.first())), 0600);
    const QStringList handedOver = QDir(runtimeDir()).entryList({QStringLiteral("*.conf")});
    QVERIFY2(handedOver.isEmpty(), qPrintable(handedOver.join(u' ')));
    QVERIFY(!m_log.join(u'\n').contains(kAuth));

    m_posted.clear();
    m_manager->disconnectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
    QVERIFY(m_posted.contains(VPNStatus::disconnecting));
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
    // Down, the tunnel needs its signed string no more.
    QVERIFY(!readAll(storeFile()).contains(kAuth.toUtf8()));
}

void tst_TunnelIntegration::secondStartStartsNoSecondHelper()
{
    connectUntilOn();
    const QList<qint64> before = liveHelpers();
    QCOMPARE(before.size(), 1);

    // Once from this window, once from a second window in the same state.
    useRelay(*m_manager);
    m_manager->connectTunnel();
    LinuxTunnelProfileStore otherStore(LinuxTunnelProfileStore::defaultLocations(),
                                       TunnelStoreProduct::product());
    VpnManager other(otherStore);
    useRelay(other);
    other.connectTunnel();
    settle();
    QTRY_COMPARE_WITH_TIMEOUT(other.vpnStatus(), VPNStatus::on, 5000);

    QCOMPARE(liveHelpers(), before);
    QCOMPARE(m_manager->vpnStatus(), VPNStatus::on);
    const QStringList logs = QDir(runtimeDir()).entryList({QStringLiteral("*.log")});
    for (const QString &log : logs)
        QVERIFY(!readAll(QDir(runtimeDir()).filePath(log)).contains("already running"));
}

// Changing the exit address stops the tunnel and connects again the moment it reports off.
void tst_TunnelIntegration::reconnectAsSoonAsOff()
{
    connectUntilOn();
    const QList<qint64> first = liveHelpers();
    QObject reconnect;
    bool reconnected = false;
    NotificationCenter::shared().addObserver(kProxyServiceVPNStatusNotification, &reconnect, [&] {
        if (m_manager->vpnStatus() == VPNStatus::off && !reconnected) {
            reconnected = true;
            useRelay(*m_manager);
            m_manager->connectTunnel();
        }
    });
    m_manager->disconnectTunnel();
    QTRY_VERIFY_WITH_TIMEOUT(reconnected, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::on, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(liveHelpers().size(), 1, 5000);
    QVERIFY(liveHelpers() != first);
}

void tst_TunnelIntegration::killedHelperIsSeenOff()
{
    connectUntilOn();
    const QList<qint64> helpers = liveHelpers();
    QCOMPARE(helpers.size(), 1);
    QCOMPARE(::kill(static_cast<pid_t>(helpers.first()), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 1000);
    // What it left says "connected"; the window that saw it die finds the lock free and clears
    // it, so a script reading the status file agrees, and so does the next reader.
    const QStringList left{QStringLiteral("*.status"), QStringLiteral("*.sock"),
                           QStringLiteral("*.proxy")};
    QCOMPARE(QDir(runtimeDir()).entryList(left, QDir::System | QDir::Files), QStringList());
    {
        LinuxTunnelProfileStore nextStore(LinuxTunnelProfileStore::defaultLocations(),
                                          TunnelStoreProduct::product());
        VpnManager next(nextStore);
        settle();
        QCOMPARE(next.vpnStatus(), VPNStatus::off);
    }
    QCOMPARE(QDir(runtimeDir()).entryList(left, QDir::System | QDir::Files), QStringList());

    // The dead helper's socket and lock do not stand in the way of the next one.
    connectUntilOn();
    QCOMPARE(liveHelpers().size(), 1);
    QVERIFY(liveHelpers() != helpers);
}

void tst_TunnelIntegration::firstLaunchCreatesNothing()
{
    QProcess window;
    window.start(appPath(), {QStringLiteral("--disconnect-and-exit")});
    QVERIFY(window.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(window.state(), QProcess::NotRunning, 10000);
    QCOMPARE(window.exitCode(), 0);
    QCOMPARE(window.readAllStandardOutput(), QByteArray());
    QVERIFY(!QFile::exists(storeFile()));
    QVERIFY(liveHelpers().isEmpty());
}

void tst_TunnelIntegration::tunnelOfAnotherProcessIsFollowed_data()
{
    QTest::addColumn<bool>("storedBefore");
    QTest::newRow("profile stored before") << true;
    // The other process creates the first profile after this one loaded an empty store.
    QTest::newRow("empty store at start") << false;
}

// corvanectl and a window each have their own store object on the same files; the one that did
// not start the tunnel must follow it without being asked.
void tst_TunnelIntegration::tunnelOfAnotherProcessIsFollowed()
{
    QFETCH(bool, storedBefore);
    if (storedBefore) {
        connectUntilOn();
        m_manager->disconnectTunnel();
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
    }
    LinuxTunnelProfileStore otherStore(m_store->locations(), TunnelStoreProduct::product());
    VpnManager other(otherStore);
    useRelay(other);
    other.connectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(other.vpnStatus(), VPNStatus::on, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::on, 5000);

    other.disconnectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
}

void tst_TunnelIntegration::scriptedTunnelIsLeftToItsScript()
{
    connectUntilOn();
    // This test program started the tunnel: a launch that spares its tunnels leaves it on.
    m_manager->disconnectTunnelUnlessStartedBy(QCoreApplication::applicationName());
    // A stop would reach the helper within a few milliseconds; none must.
    QTest::qWait(200);
    QCOMPARE(m_manager->vpnStatus(), VPNStatus::on);
    QCOMPARE(liveHelpers().size(), 1);
    m_manager->disconnectTunnelUnlessStartedBy(QStringLiteral("corvanectl"));
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
}

void tst_TunnelIntegration::laterWindowProcessSeesTheTunnelAndStopsIt()
{
    connectUntilOn();

    QProcess window;
    window.start(appPath(), {QStringLiteral("--disconnect-and-exit")});
    QVERIFY(window.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window.state(), QProcess::NotRunning, 10000);
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(window.exitCode(), 0);
    const QByteArray output = window.readAllStandardOutput();
    const QList<QByteArray> lines = output.trimmed().split('\n');
    QCOMPARE(lines.first(), QByteArray("status: on"));
    QCOMPARE(lines.last(), QByteArray("status: off"));
    QCOMPARE(lines.count("status: off"), 1);
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
}

void tst_TunnelIntegration::stopWhileConnecting()
{
    // A relay that takes the connection and never answers keeps the tunnel connecting.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    m_manager->address = QStringLiteral("127.0.0.1");
    m_manager->port = silent.serverPort();
    m_manager->auth = kAuth;
    m_manager->connectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::connecting, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 5000);
    m_manager->disconnectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
    QVERIFY(!m_posted.contains(VPNStatus::on));
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
}

void tst_TunnelIntegration::helperRefusesBadConfiguration_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<qint64>("port");
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("empty address")
        << QString() << qint64(14223) << QByteArray() << QByteArray("\"ss_address\" is empty");
    QTest::newRow("port 0") << QStringLiteral("127.0.0.1") << qint64(0) << QByteArray()
                            << QByteArray("\"ss_port\"");
    QTest::newRow("rules not JSON")
        << QStringLiteral("127.0.0.1") << qint64(14223) << QByteArray("rules: [")
        << QByteArray("\"json_conf\" is not valid JSON");
    QTest::newRow("unknown rule type")
        << QStringLiteral("127.0.0.1") << qint64(14223)
        << QByteArray(R"({"rules": [{"type": "geoip", "value": "CN", "action": "direct"}]})")
        << QByteArray("unknown type \"geoip\"");
}

void tst_TunnelIntegration::helperRefusesBadConfiguration()
{
    QFETCH(QString, address);
    QFETCH(qint64, port);
    QFETCH(QByteArray, rules);
    QFETCH(QByteArray, reason);
    QTemporaryDir rulesDir;
    if (!rules.isEmpty()) {
        QFile file(rulesDir.filePath(QStringLiteral("rules.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(rules);
        file.close();
        Resources::setSearchRoots({rulesDir.path()});
    }
    m_manager->address = address;
    m_manager->port = port;
    m_manager->connectTunnel();
    QTRY_VERIFY_WITH_TIMEOUT(m_posted.contains(VPNStatus::connecting), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
    QVERIFY(!m_posted.contains(VPNStatus::on));
    QTRY_VERIFY(m_log.join(u'\n').contains(QStringLiteral("ended before it reported")));
    const QStringList logs = QDir(runtimeDir()).entryList({QStringLiteral("*.log")});
    QCOMPARE(logs.size(), 1);
    const QByteArray helperLog = readAll(QDir(runtimeDir()).filePath(logs.first()));
    QVERIFY2(helperLog.contains(reason), helperLog.constData());
    QVERIFY(QDir(runtimeDir()).entryList({QStringLiteral("*.conf")}).isEmpty());
}

void tst_TunnelIntegration::corruptStoreIsKeptAside()
{
    m_manager.reset();
    m_store.reset();
    QVERIFY(QDir().mkpath(QFileInfo(storeFile()).path()));
    const QByteArray garbage("{\"profiles\": [{\"identifier\": \"a\", \"protoc");
    QFile file(storeFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(garbage);
    file.close();

    makeManager();
    settle();
    QCOMPARE(m_manager->vpnStatus(), VPNStatus::off);
    QVERIFY2(m_log.join(u'\n').contains(QStringLiteral("corrupt")), qPrintable(m_log.join(u'\n')));
    const QDir folder(QFileInfo(storeFile()).path());
    const QStringList copies = folder.entryList({QStringLiteral("profiles.json.corrupt-*")});
    QCOMPARE(copies.size(), 1);
    QCOMPARE(readAll(folder.filePath(copies.first())), garbage);
    QCOMPARE(modeOf(folder.filePath(copies.first())), 0600);

    connectUntilOn();
    QVERIFY(readAll(storeFile()).contains("\"identifier\""));
    QCOMPARE(readAll(folder.filePath(copies.first())), garbage);
    m_manager->disconnectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
}

// A second SIGTERM right behind the first must neither cut the stop short nor leave a status
// file that still says connected.
void tst_TunnelIntegration::twoTerminationSignalsLeaveItStopped()
{
    for (int round = 0; round < 3; ++round) {
        connectUntilOn();
        const QList<qint64> helpers = liveHelpers();
        QCOMPARE(helpers.size(), 1);
        const auto pid = static_cast<pid_t>(helpers.first());
        QCOMPARE(::kill(pid, SIGTERM), 0);
        ::usleep(1000);
        ::kill(pid, SIGTERM);
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
        QVERIFY(QDir(runtimeDir()).entryList({QStringLiteral("*.status")}).isEmpty());
        QVERIFY(QDir(runtimeDir()).entryList({QStringLiteral("*.sock")}).isEmpty());
    }
}

// The relay's refusal reaches the window through the helper's status channel, before off; a
// stop the window asked for carries none.
void tst_TunnelIntegration::aRefusedTunnelSaysWhy()
{
    useRelay(*m_manager);
    m_manager->auth = kRefusedAuth;
    m_manager->connectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_posted.contains(VPNStatus::connecting), true, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
    QVERIFY(m_manager->endReason);
    QCOMPARE(m_manager->endReason->kind, TunnelEndReason::Kind::refused);
    QCOMPARE(m_manager->endReason->detail, kRefusal);

    connectUntilOn();
    QVERIFY(!m_manager->endReason);
    QVERIFY(QDir(runtimeDir()).entryList({QStringLiteral("*.reason")}).isEmpty());
    m_manager->disconnectTunnel();
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->vpnStatus(), VPNStatus::off, 5000);
    QVERIFY(!m_manager->endReason);
}

void tst_TunnelIntegration::linkedLockIsRefused()
{
    QVERIFY(PrivateFile::makeFolder(runtimeDir()));
    const QString base = runtimeDir() + QStringLiteral("/0123456789abcdef");
    const QString target = m_home.filePath(QStringLiteral("not-a-lock"));
    QVERIFY(QFile::link(target, base + QStringLiteral(".lock")));
    QProcess helper;
    helper.setProcessChannelMode(QProcess::MergedChannels);
    helper.start(qEnvironmentVariable("CORVANE_TUNNEL_HELPER"),
                 {QStringLiteral("--channel"), base});
    QVERIFY(helper.waitForFinished(10000));
    QCOMPARE(helper.exitCode(), 1);
    QVERIFY(helper.readAll().contains("is a symbolic link"));
    QVERIFY(!QFile::exists(target));
}

QTEST_GUILESS_MAIN(tst_TunnelIntegration)
#include "tst_TunnelIntegration.moc"
