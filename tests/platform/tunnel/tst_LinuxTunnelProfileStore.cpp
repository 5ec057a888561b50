#include "platform/files/CorruptCopies.h"
#include "platform/files/FileLock.h"
#include "platform/log/Log.h"
#include "platform/tunnel/TunnelConnection.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

class tst_LinuxTunnelProfileStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void requestsCompleteLaterInIssueOrder();
    void savedProfileReadsBackUnchanged();
    void unknownProfileRequestsFail_data();
    void unknownProfileRequestsFail();
    void unreadableStoreGivesNoList();
    void startIsRefusedWithoutSavedEnabledProfile_data();
    void startIsRefusedWithoutSavedEnabledProfile();
    void onlyARegularFileIsAStore_data();
    void onlyARegularFileIsAStore();
    void changeWaitsForTheLock();
    void launchStopsStrayHelpersAndRemovesLeftovers();
    void helperEndingWithoutAWordLeavesNothingSayingOn();
    void noUsableRuntimeFolder_data();
    void noUsableRuntimeFolder();

private:
    LinuxTunnelProfileStore::Locations locations() const;
    static LinuxTunnelProfileStore::Product product();
    void settle();

    // A stand-in for a running helper: a shell whose command line names the channel, as the
    // real helper's does.
    QProcess *startFakeHelper(const QString &channelBase);
    void writeStore(const QStringList &identifiers);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LinuxTunnelProfileStore> m_store;
    QList<QProcess *> m_fakeHelpers;
    QStringList m_log;
};

void tst_LinuxTunnelProfileStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<LinuxTunnelProfileStore>(locations(), product());
    m_log.clear();
    Log::setSink([this](QtMsgType, const QString &line) { m_log << line; });
}

void tst_LinuxTunnelProfileStore::cleanup()
{
    Log::setSink({});
    for (QProcess *helper : std::as_const(m_fakeHelpers)) {
        helper->kill();
        helper->waitForFinished();
    }
    qDeleteAll(m_fakeHelpers);
    m_fakeHelpers.clear();
    m_store.reset();
    m_dir.reset();
}

QProcess *tst_LinuxTunnelProfileStore::startFakeHelper(const QString &channelBase)
{
    auto *helper = new QProcess;
    m_fakeHelpers << helper;
    // The trailing "true" keeps the shell itself running, with this command line.
    helper->start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("sleep 60; true"), QStringLiteral("sh"),
                   QStringLiteral("--channel"), channelBase});
    helper->waitForStarted();
    return helper;
}

void tst_LinuxTunnelProfileStore::writeStore(const QStringList &identifiers)
{
    QVERIFY(QDir().mkpath(QFileInfo(locations().storeFile).path()));
    QFile file(locations().storeFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QStringList entries;
    for (const QString &identifier : identifiers)
        entries << QStringLiteral("{\"identifier\": \"%1\"}").arg(identifier);
    file.write(QStringLiteral("{\"profiles\": [%1]}").arg(entries.join(u',')).toUtf8());
}

LinuxTunnelProfileStore::Product tst_LinuxTunnelProfileStore::product()
{
    return {[] { return LinuxTunnelProfileStore::ProxyPorts{}; }, QStringLiteral("ss_auth")};
}

LinuxTunnelProfileStore::Locations tst_LinuxTunnelProfileStore::locations() const
{
    return {m_dir->filePath(QStringLiteral("data/profiles.json")),
            m_dir->filePath(QStringLiteral("run")), m_dir->filePath(QStringLiteral("no-helper"))};
}

void tst_LinuxTunnelProfileStore::settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

void tst_LinuxTunnelProfileStore::requestsCompleteLaterInIssueOrder()
{
    TunnelProfilePtr first = m_store->makeProfile();
    TunnelProfilePtr second = m_store->makeProfile();
    QVERIFY(first->identifier() != second->identifier());
    QStringList done;
    auto note = [&done](const QString &what) {
        return [&done, what](std::optional<TunnelError> error) {
            done << what + (error ? QStringLiteral(" failed") : QString());
        };
    };
    m_store->save(first, note(QStringLiteral("save first")));
    m_store->remove(first, note(QStringLiteral("remove first")));
    m_store->save(second, note(QStringLiteral("save second")));
    QList<TunnelProfilePtr> loaded;
    m_store->loadAll(
        [&](std::optional<QList<TunnelProfilePtr>> profiles, std::optional<TunnelError>) {
            done << QStringLiteral("load");
            loaded = profiles.value_or(QList<TunnelProfilePtr>{});
        });
    QVERIFY(done.isEmpty());
    settle();
    QCOMPARE(done, (QStringList{QStringLiteral("save first"), QStringLiteral("remove first"),
                                QStringLiteral("save second"), QStringLiteral("load")}));
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first()->identifier(), second->identifier());
    // Every copy of one stored profile shares its tunnel.
    QCOMPARE(loaded.first()->connection(), second->connection());
}

void tst_LinuxTunnelProfileStore::savedProfileReadsBackUnchanged()
{
    TunnelProfilePtr profile = m_store->makeProfile();
    profile->setEnabled(true);
    profile->setLocalizedDescription(QStringLiteral("Corvane"));
    const QVariantMap configuration{
        {QStringLiteral("ss_port"), qint64(14223)},
        {QStringLiteral("ss_auth"), QStringLiteral("签名=abc&uid=1")},
        {QStringLiteral("json_conf"), QStringLiteral("{\"a\": [1, 2]}")}};
    profile->setProtocolConfiguration(TunnelProtocol{QStringLiteral("Corvane"), configuration});
    m_store->save(profile, [](std::optional<TunnelError> error) { QVERIFY(!error); });
    settle();

    // A second window's store reads the same file.
    LinuxTunnelProfileStore other(locations(), product());
    auto copy = std::make_shared<TunnelProfile>(profile->identifier(), nullptr);
    std::optional<TunnelError> reloadError{TunnelError{}};
    other.reload(copy, [&](std::optional<TunnelError> error) { reloadError = error; });
    settle();
    QVERIFY(!reloadError);
    QVERIFY(copy->isEnabled());
    QCOMPARE(copy->localizedDescription(), QStringLiteral("Corvane"));
    QCOMPARE(copy->protocolConfiguration(), profile->protocolConfiguration());
    QCOMPARE(copy->protocolConfiguration()
                 ->providerConfiguration.value(QStringLiteral("ss_port"))
                 .typeId(),
             QMetaType::LongLong);
}

void tst_LinuxTunnelProfileStore::unknownProfileRequestsFail_data()
{
    QTest::addColumn<bool>("remove");
    QTest::newRow("reload") << false;
    QTest::newRow("remove") << true;
}

void tst_LinuxTunnelProfileStore::unknownProfileRequestsFail()
{
    QFETCH(bool, remove);
    TunnelProfilePtr profile = m_store->makeProfile();
    std::optional<TunnelError> error;
    auto completion = [&error](std::optional<TunnelError> e) { error = e; };
    if (remove)
        m_store->remove(profile, completion);
    else
        m_store->reload(profile, completion);
    settle();
    QVERIFY(error);
    QVERIFY(!error->description.isEmpty());
}

void tst_LinuxTunnelProfileStore::unreadableStoreGivesNoList()
{
    // A folder where the file should be: it cannot be read, and must not be moved or replaced.
    QVERIFY(QDir().mkpath(locations().storeFile));
    bool called = false;
    m_store->loadAll(
        [&](std::optional<QList<TunnelProfilePtr>> profiles, std::optional<TunnelError> error) {
            called = true;
            QVERIFY(!profiles);
            QVERIFY(error);
        });
    std::optional<TunnelError> saveError;
    m_store->save(m_store->makeProfile(), [&](std::optional<TunnelError> e) { saveError = e; });
    settle();
    QVERIFY(called);
    QVERIFY(saveError);
    QVERIFY(QFileInfo(locations().storeFile).isDir());
}

void tst_LinuxTunnelProfileStore::startIsRefusedWithoutSavedEnabledProfile_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("enabled");
    // A helper file that is there but not executable.
    QTest::addColumn<bool>("helperFile");
    // What the customer is told comes from the kind.
    QTest::addColumn<int>("kind");
    const auto kind = [](TunnelError::Kind k) { return static_cast<int>(k); };
    QTest::newRow("never saved") << false << true << false << kind(TunnelError::Kind::store);
    QTest::newRow("disabled") << true << false << false << kind(TunnelError::Kind::other);
    QTest::newRow("helper missing")
        << true << true << false << kind(TunnelError::Kind::helperMissing);
    QTest::newRow("helper not executable")
        << true << true << true << kind(TunnelError::Kind::helperNotRunnable);
}

void tst_LinuxTunnelProfileStore::startIsRefusedWithoutSavedEnabledProfile()
{
    QFETCH(bool, save);
    QFETCH(bool, enabled);
    QFETCH(bool, helperFile);
    QFETCH(int, kind);
    if (helperFile) {
        QFile helper(locations().helperProgram);
        QVERIFY(helper.open(QIODevice::WriteOnly));
        helper.write("#!/bin/sh\n");
    }
    TunnelProfilePtr profile = m_store->makeProfile();
    profile->setEnabled(enabled);
    profile->setProtocolConfiguration(TunnelProtocol{QStringLiteral("Corvane"), {}});
    if (save) {
        m_store->save(profile, [](std::optional<TunnelError>) {});
        settle();
    }
    TunnelConnection *connection = profile->connection();
    const std::optional<TunnelError> error = connection->start();
    QVERIFY(error);
    QCOMPARE(static_cast<int>(error->kind), kind);
    settle();
    QCOMPARE(connection->status(), TunnelStatus::Disconnected);
    QVERIFY(QDir(locations().runtimeDir).entryList({QStringLiteral("*.conf")}).isEmpty());
}

void tst_LinuxTunnelProfileStore::onlyARegularFileIsAStore_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("it is a folder");
    QTest::newRow("symlink") << QStringLiteral("symlink")
                             << QStringLiteral("it is a symbolic link");
    QTest::newRow("dangling symlink")
        << QStringLiteral("dangling") << QStringLiteral("it is a symbolic link");
    // Opening a FIFO the ordinary way waits for a writer: this row hangs without the fix.
    QTest::newRow("fifo") << QStringLiteral("fifo") << QStringLiteral("it is a FIFO");
    if (::geteuid() != 0)
        QTest::newRow("unreadable")
            << QStringLiteral("unreadable") << QStringLiteral("Permission denied");
}

// Whatever stands in the store's place is left as found, and every request says which file
// and why.
void tst_LinuxTunnelProfileStore::onlyARegularFileIsAStore()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString store = locations().storeFile;
    const QString target = m_dir->filePath(QStringLiteral("elsewhere.json"));
    const QByteArray original = "{\"profiles\": []}";
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(original);
    file.close();
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    QVERIFY(QDir().mkpath(QFileInfo(store).path()));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(store));
    } else if (kind == QLatin1String("symlink")) {
        QVERIFY(QFile::link(target, store));
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere.json")), store));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(store).constData(), 0600), 0);
    } else {
        QVERIFY(QFile::copy(target, store));
        QVERIFY(QFile::setPermissions(store, QFileDevice::Permissions()));
    }

    std::optional<TunnelError> loadError;
    bool listed = true;
    m_store->loadAll(
        [&](std::optional<QList<TunnelProfilePtr>> profiles, std::optional<TunnelError> error) {
            listed = profiles.has_value();
            loadError = error;
        });
    std::optional<TunnelError> saveError;
    m_store->save(m_store->makeProfile(), [&](std::optional<TunnelError> e) { saveError = e; });
    settle();
    QVERIFY(!listed);
    for (const std::optional<TunnelError> &error : {loadError, saveError}) {
        QVERIFY(error);
        QVERIFY2(error->description.contains(store) && error->description.contains(reason),
                 qPrintable(error->description));
    }
    QVERIFY(CorruptCopies::copies(store).isEmpty());
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("nowhere.json"))));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), original);
    QCOMPARE(file.permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);
}

void tst_LinuxTunnelProfileStore::changeWaitsForTheLock()
{
    writeStore({QStringLiteral("theirs")});
    QFile file(locations().storeFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    m_store->setLockWait(std::chrono::milliseconds(50));
    std::optional<TunnelError> error;
    {
        // Another process in the middle of its own change.
        FileLock held(locations().storeFile + QStringLiteral(".lock"),
                      std::chrono::milliseconds(0));
        QVERIFY(held.isLocked());
        m_store->save(m_store->makeProfile(), [&](std::optional<TunnelError> e) { error = e; });
        settle();
        QVERIFY(error);
        QVERIFY2(error->description.contains(QStringLiteral(".lock")),
                 qPrintable(error->description));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        file.close();
    }
    m_store->save(m_store->makeProfile(), [&](std::optional<TunnelError> e) { error = e; });
    settle();
    QVERIFY(!error);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("theirs"));
}

// A store is made at launch. Only the first stored profile may have a tunnel running; the
// configuration files hold the authentication string and are kept only for a helper that
// still has to read them.
void tst_LinuxTunnelProfileStore::launchStopsStrayHelpersAndRemovesLeftovers()
{
    m_store.reset();
    writeStore({QStringLiteral("first"), QStringLiteral("duplicate")});
    const QString runtimeDir = locations().runtimeDir;
    QVERIFY(QDir().mkpath(runtimeDir));
    const auto base = [&](const QString &identifier) {
        return TunnelChannel::forProfile(runtimeDir, identifier).basePath();
    };
    QProcess *first = startFakeHelper(base(QStringLiteral("first")));
    QProcess *duplicate = startFakeHelper(base(QStringLiteral("duplicate")));
    QProcess *unknown = startFakeHelper(base(QStringLiteral("removed")));
    QProcess *elsewhere = startFakeHelper(m_dir->filePath(QStringLiteral("other/abc")));
    const QStringList configurations{base(QStringLiteral("first")) + QStringLiteral(".conf"),
                                     base(QStringLiteral("removed")) + QStringLiteral(".conf"),
                                     base(QStringLiteral("never-read")) + QStringLiteral(".conf")};
    for (const QString &path : configurations) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"ss_auth\": \"secret\"}");
    }

    m_store = std::make_unique<LinuxTunnelProfileStore>(locations(), product());
    QVERIFY(duplicate->waitForFinished(5000));
    QVERIFY(unknown->waitForFinished(5000));
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(elsewhere->state(), QProcess::Running);
    QVERIFY(QFile::exists(configurations.at(0)));
    QVERIFY(!QFile::exists(configurations.at(1)));
    QVERIFY(!QFile::exists(configurations.at(2)));
    QCOMPARE(m_log.filter(QStringLiteral("Stopped the tunnel helper")).size(), 2);
    QCOMPARE(m_log.filter(QStringLiteral("Removed")).size(), 2);
    for (const QString &line : std::as_const(m_log))
        QVERIFY(!line.contains(QStringLiteral("secret")));
}

// A helper killed outright leaves its status, socket and proxy line saying that the tunnel is
// up: the window that saw its socket close finds the lock free and clears them at once.
void tst_LinuxTunnelProfileStore::helperEndingWithoutAWordLeavesNothingSayingOn()
{
    TunnelProfilePtr profile = m_store->makeProfile();
    const TunnelChannel channel =
        TunnelChannel::forProfile(locations().runtimeDir, profile->identifier());
    QLocalServer helper;
    QVERIFY(helper.listen(channel.socketPath()));
    for (const auto &[path, line] : {std::pair{channel.statusPath(), "connected\n"},
                                     std::pair{channel.proxyPath(), "proxy 21080 21081\n"}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(line);
    }
    m_store->loadAll([](auto, auto) {});
    QTRY_COMPARE(profile->connection()->status(), TunnelStatus::Connected);
    QTRY_VERIFY(helper.hasPendingConnections());
    helper.nextPendingConnection()->abort();
    QTRY_COMPARE(profile->connection()->status(), TunnelStatus::Disconnected);
    QVERIFY(!QFile::exists(channel.statusPath()));
    QVERIFY(!QFile::exists(channel.proxyPath()));
}

void tst_LinuxTunnelProfileStore::noUsableRuntimeFolder_data()
{
    QTest::addColumn<QByteArray>("runtimeDir");
    QTest::newRow("unset, and Qt's fallback taken") << QByteArray();
    QTest::newRow("relative") << QByteArray("relative-run");
}

// Never "/corvane/..." or a folder relative to wherever the application was started.
void tst_LinuxTunnelProfileStore::noUsableRuntimeFolder()
{
    QFETCH(QByteArray, runtimeDir);
    const auto saved = [](const char *name) {
        return qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                               : std::nullopt;
    };
    const auto restore = [](const char *name, const std::optional<QByteArray> &value) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    };
    const std::optional<QByteArray> savedRuntime = saved("XDG_RUNTIME_DIR");
    const std::optional<QByteArray> savedTemp = saved("TMPDIR");
    // Qt falls back to $TMPDIR/runtime-<user>: a file there makes the fallback unusable too.
    const QString temp = m_dir->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(temp));
    QFile blocker(temp + QStringLiteral("/runtime-") +
                  QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("TMPDIR", QFile::encodeName(temp));
    if (runtimeDir.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
    // Qt creates a relative runtime folder in the current one.
    const QString savedCurrent = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    const LinuxTunnelProfileStore::Locations defaults = LinuxTunnelProfileStore::defaultLocations();
    QDir::setCurrent(savedCurrent);
    restore("TMPDIR", savedTemp);
    restore("XDG_RUNTIME_DIR", savedRuntime);
    QCOMPARE(defaults.runtimeDir, QString());

    LinuxTunnelProfileStore::Locations where = locations();
    where.runtimeDir = defaults.runtimeDir;
    LinuxTunnelProfileStore store(where, product());
    TunnelProfilePtr profile = store.makeProfile();
    profile->setEnabled(true);
    profile->setProtocolConfiguration(TunnelProtocol{QStringLiteral("Corvane"), {}});
    store.save(profile, [](std::optional<TunnelError>) {});
    settle();
    const std::optional<TunnelError> error = profile->connection()->start();
    QVERIFY(error);
    QVERIFY2(error->description.contains(QStringLiteral("XDG_RUNTIME_DIR")),
             qPrintable(error->description));
    QCOMPARE(error->kind, TunnelError::Kind::runtimeFolder);
}

QTEST_GUILESS_MAIN(tst_LinuxTunnelProfileStore)
#include "tst_LinuxTunnelProfileStore.moc"
