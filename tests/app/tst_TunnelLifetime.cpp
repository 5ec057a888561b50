#include "ProcessProbe.h"
#include "core/vpn/TunnelStoreProduct.h"
#include "core/vpn/VpnManager.h"
#include "platform/log/Log.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace corvane;

// Nothing is left running: the application process, launched as a user would, against the real
// store and helper, with the user's folders in a temporary place.
class tst_TunnelLifetime : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void terminationSignalStopsTheTunnel_data();
    void terminationSignalStopsTheTunnel();
    void quitBeforeTheHelperOpensItsChannel();
    void quitStopsTheTunnelOfEveryStoredProfile();
    void nextLaunchStopsWhatNoProfileInUseOwns_data();
    void nextLaunchStopsWhatNoProfileInUseOwns();
    void brokenStoreIsReportedAndNothingHangs_data();
    void brokenStoreIsReportedAndNothingHangs();

private:
    QProcess *launch(const QStringList &arguments, const QProcessEnvironment &environment = {});
    // What the status file of each channel says.
    QByteArrayList statuses() const;
    QStringList configurations() const;
    QList<qint64> liveHelpers() const { return probe::liveHelpers(runtimeDir()); }
    QString runtimeDir() const { return m_home.filePath(QStringLiteral("run/corvane")); }
    QString storeFile() const
    {
        return m_home.filePath(QStringLiteral("data/corvane/profiles.json"));
    }

    QTemporaryDir m_home;
    QTcpServer m_relay;
    QString m_app;
    QList<QProcess *> m_windows;
};

void tst_TunnelLifetime::initTestCase()
{
    m_app = qEnvironmentVariable("CORVANE_BINARY_DIR") + QStringLiteral("/bin/corvane");
    // A missing program is a broken build, not a reason to pass.
    QVERIFY2(!qEnvironmentVariableIsEmpty("CORVANE_TUNNEL_HELPER"),
             "CORVANE_TUNNEL_HELPER is not set");
    QVERIFY2(QFileInfo(m_app).isExecutable(), "the corvane application is not built");
    QVERIFY(m_home.isValid());
    QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("run"))));
    QVERIFY(QFile::setPermissions(m_home.filePath(QStringLiteral("run")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home.filePath(QStringLiteral("run"))));
    QVERIFY(probe::useFreeProxyPorts(m_home.filePath(QStringLiteral("config"))));
    // A plain relay counts as there once it takes a connection: a listening socket will do.
    QVERIFY(m_relay.listen(QHostAddress::LocalHost));
    qputenv("CORVANE_TUNNEL_HOST", "127.0.0.1");
    qputenv("CORVANE_TUNNEL_PORT", QByteArray::number(m_relay.serverPort()));
    Log::setSink([](QtMsgType, const QString &) {});
}

void tst_TunnelLifetime::cleanup()
{
    for (QProcess *window : std::as_const(m_windows)) {
        window->kill();
        window->waitForFinished();
    }
    qDeleteAll(m_windows);
    m_windows.clear();
    for (qint64 pid : liveHelpers())
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
    QDir(m_home.filePath(QStringLiteral("data"))).removeRecursively();
    QDir(runtimeDir()).removeRecursively();
}

QProcess *tst_TunnelLifetime::launch(const QStringList &arguments,
                                     const QProcessEnvironment &environment)
{
    auto *window = new QProcess;
    m_windows << window;
    QProcessEnvironment env =
        environment.isEmpty() ? QProcessEnvironment::systemEnvironment() : environment;
    // The log lines the tests read, on standard error instead of the journal.
    env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    window->setProcessEnvironment(env);
    window->start(m_app, arguments);
    window->waitForStarted();
    return window;
}

QByteArrayList tst_TunnelLifetime::statuses() const
{
    QByteArrayList lines;
    const QStringList files = QDir(runtimeDir()).entryList({QStringLiteral("*.status")});
    for (const QString &file : files)
        lines << probe::readAll(QDir(runtimeDir()).filePath(file)).trimmed();
    return lines;
}

QStringList tst_TunnelLifetime::configurations() const
{
    return QDir(runtimeDir()).entryList({QStringLiteral("*.conf")});
}

void tst_TunnelLifetime::terminationSignalStopsTheTunnel_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM (systemctl stop)") << SIGTERM;
    QTest::newRow("SIGINT (Ctrl-C)") << SIGINT;
    QTest::newRow("SIGHUP (logout)") << SIGHUP;
}

void tst_TunnelLifetime::terminationSignalStopsTheTunnel()
{
    QFETCH(int, signalNumber);
    QProcess *window = launch({QStringLiteral("--connect")});
    QTRY_COMPARE_WITH_TIMEOUT(statuses(), QByteArrayList{"connected"}, 10000);
    QCOMPARE(liveHelpers().size(), 1);
    QCOMPARE(::kill(static_cast<pid_t>(window->processId()), signalNumber), 0);
    QVERIFY(window->waitForFinished(10000));
    QCOMPARE(window->exitStatus(), QProcess::NormalExit);
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
}

// A helper that is slow to open its channel cannot be told to stop through it; the stop must
// still reach it when the window quits at that moment.
void tst_TunnelLifetime::quitBeforeTheHelperOpensItsChannel()
{
    const QString gate = m_home.filePath(QStringLiteral("gate"));
    const QString slowHelper = m_home.filePath(QStringLiteral("slow-helper"));
    QFile script(slowHelper);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n"
                 "while [ ! -e \"$GATE\" ]; do sleep 0.01; done\n"
                 "exec \"$REAL_HELPER\" \"$@\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GATE"), gate);
    environment.insert(QStringLiteral("REAL_HELPER"),
                       qEnvironmentVariable("CORVANE_TUNNEL_HELPER"));
    environment.insert(QStringLiteral("CORVANE_TUNNEL_HELPER"), slowHelper);

    QProcess *window = launch({QStringLiteral("--connect")}, environment);
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().size() == 1 && configurations().size() == 1, 10000);
    QCOMPARE(::kill(static_cast<pid_t>(window->processId()), SIGTERM), 0);
    QVERIFY(window->waitForFinished(10000));
    QCOMPARE(window->exitStatus(), QProcess::NormalExit);
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
    QVERIFY(configurations().isEmpty());
    // Had the helper survived, it would go on now.
    QFile(gate).open(QIODevice::WriteOnly);
    QVERIFY(liveHelpers().isEmpty());
}

// Two windows that connect at once on an empty store may each make a profile of its own (here
// the second one is made by the test, while the window runs): when the window quits, the tunnel
// of neither may be left running.
void tst_TunnelLifetime::quitStopsTheTunnelOfEveryStoredProfile()
{
    QProcess *window = launch({QStringLiteral("--connect")});
    QTRY_COMPARE_WITH_TIMEOUT(statuses(), QByteArrayList{"connected"}, 10000);
    {
        LinuxTunnelProfileStore store(LinuxTunnelProfileStore::defaultLocations(
                                          qEnvironmentVariable("CORVANE_TUNNEL_HELPER")),
                                      TunnelStoreProduct::product());
        const TunnelProfilePtr second = store.makeProfile();
        second->setEnabled(true);
        second->setProtocolConfiguration(
            std::get<QList<StoredProfile>>(ProfileFile(storeFile()).read()).first().protocol);
        store.save(second, [](std::optional<TunnelError>) {});
        QVERIFY(!second->connection()->start());
        QTRY_COMPARE_WITH_TIMEOUT(statuses(), QByteArrayList({"connected", "connected"}), 10000);
    }
    QCOMPARE(::kill(static_cast<pid_t>(window->processId()), SIGTERM), 0);
    QVERIFY(window->waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
}

void tst_TunnelLifetime::nextLaunchStopsWhatNoProfileInUseOwns_data()
{
    QTest::addColumn<bool>("firstRemoved");
    // Two windows that connected at once on an empty store, each with its own profile.
    QTest::newRow("second profile of two") << false;
    // The same, where the later save replaced the earlier one's profile.
    QTest::newRow("profile no longer stored") << true;
}

void tst_TunnelLifetime::nextLaunchStopsWhatNoProfileInUseOwns()
{
    QFETCH(bool, firstRemoved);
    {
        const auto where = LinuxTunnelProfileStore::defaultLocations(
            qEnvironmentVariable("CORVANE_TUNNEL_HELPER"));
        LinuxTunnelProfileStore firstStore(where, TunnelStoreProduct::product());
        LinuxTunnelProfileStore secondStore(where, TunnelStoreProduct::product());
        VpnManager first(firstStore);
        VpnManager second(secondStore);
        for (VpnManager *manager : {&first, &second}) {
            manager->address = QStringLiteral("127.0.0.1");
            manager->port = m_relay.serverPort();
            manager->connectTunnel();
        }
        QTRY_COMPARE_WITH_TIMEOUT(statuses(), QByteArrayList({"connected", "connected"}), 10000);
        QCOMPARE(liveHelpers().size(), 2);
        if (firstRemoved) {
            std::optional<QList<TunnelProfilePtr>> stored;
            firstStore.loadAll([&stored](std::optional<QList<TunnelProfilePtr>> profiles,
                                         std::optional<TunnelError>) { stored = profiles; });
            QTRY_VERIFY(stored);
            QCOMPARE(stored->size(), 2);
            firstStore.remove(stored->first(), [](std::optional<TunnelError>) {});
        }
        // Both windows end without their quit step.
    }
    QProcess *launchAgain = launch({QStringLiteral("--disconnect-and-exit")});
    QVERIFY(launchAgain->waitForFinished(10000));
    QCOMPARE(launchAgain->exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(liveHelpers().isEmpty(), 5000);
}

void tst_TunnelLifetime::brokenStoreIsReportedAndNothingHangs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("folder") << QStringLiteral("folder") << QByteArray("it is a folder");
    QTest::newRow("dangling symlink")
        << QStringLiteral("dangling") << QByteArray("it is a symbolic link");
    QTest::newRow("fifo") << QStringLiteral("fifo") << QByteArray("it is a FIFO");
}

// Each launch says which file stops it and why, and the one without a window still ends
// within its own time limit.
void tst_TunnelLifetime::brokenStoreIsReportedAndNothingHangs()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, reason);
    QVERIFY(QDir().mkpath(QFileInfo(storeFile()).path()));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(storeFile()));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(m_home.filePath(QStringLiteral("gone.json")), storeFile()));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(storeFile()).constData(), 0600), 0);
    const QByteArray line = "Cannot read the tunnel profile store " +
                            QFile::encodeName(storeFile()) + ": " + reason + '\n';

    // One line for the stop at launch and one for the stop at the quit.
    QProcess *headless = launch({QStringLiteral("--disconnect-and-exit")});
    QVERIFY(headless->waitForFinished(10000));
    QCOMPARE(headless->exitCode(), 0);
    QCOMPARE(headless->readAllStandardError().count(line), 2);

    // One line for the stop at launch and one for the connect.
    QProcess *window = launch({QStringLiteral("--connect")});
    QByteArray seen;
    QTRY_COMPARE_WITH_TIMEOUT((seen += window->readAllStandardError()).count(line), 2, 10000);
    QVERIFY(liveHelpers().isEmpty());
}

QTEST_GUILESS_MAIN(tst_TunnelLifetime)
#include "tst_TunnelLifetime.moc"
