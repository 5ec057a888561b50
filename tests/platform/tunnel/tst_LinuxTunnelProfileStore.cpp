#include "platform/tunnel/TunnelConnection.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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

private:
    LinuxTunnelProfileStore::Locations locations() const;
    void settle();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LinuxTunnelProfileStore> m_store;
};

void tst_LinuxTunnelProfileStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<LinuxTunnelProfileStore>(locations());
}

void tst_LinuxTunnelProfileStore::cleanup()
{
    m_store.reset();
    m_dir.reset();
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
    LinuxTunnelProfileStore other(locations());
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
    QTest::newRow("never saved") << false << true;
    QTest::newRow("disabled") << true << false;
    QTest::newRow("helper missing") << true << true;
}

void tst_LinuxTunnelProfileStore::startIsRefusedWithoutSavedEnabledProfile()
{
    QFETCH(bool, save);
    QFETCH(bool, enabled);
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
    settle();
    QCOMPARE(connection->status(), TunnelStatus::Disconnected);
    QVERIFY(QDir(locations().runtimeDir).entryList({QStringLiteral("*.conf")}).isEmpty());
}

QTEST_GUILESS_MAIN(tst_LinuxTunnelProfileStore)
#include "tst_LinuxTunnelProfileStore.moc"
