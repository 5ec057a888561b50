#include "core/vpn/VpnManager.h"
#include "platform/log/Log.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/resources/Resources.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {
const auto kDup = QStringLiteral("删除 DUP 配置文件");
const auto kConf = QStringLiteral("配置 conf");
} // namespace

class tst_VpnManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectCreatesProfileInEmptyStore();
    void duplicatesAreRemovedBeforeTheSave_data();
    void duplicatesAreRemovedBeforeTheSave();
    void secondConnectWithoutRefilledFields();
    void rulesAreReadForEveryConnect();
    void missingOrBrokenRulesStopTheConnect_data();
    void missingOrBrokenRulesStopTheConnect();
    void statusMapping_data();
    void statusMapping();
    void everyRefreshPosts();
    void creationWithTunnelUpReportsOnFirst();
    void disconnect_data();
    void disconnect();
    void storeFailures_data();
    void storeFailures();
    void sharedInstanceTakesTheInstalledStore();

private:
    void drain();
    VpnManager &makeManager();
    MemoryTunnelConnection *connectionOfFirst();
    QVariantMap storedConfiguration();

    std::unique_ptr<MemoryTunnelProfileStore> m_store;
    std::unique_ptr<VpnManager> m_manager;
    std::unique_ptr<QObject> m_observer;
    QStringList m_log;
    QList<VPNStatus> m_posted;
    QList<VPNStatus> m_signalled;
    Log::Sink m_previousSink;
    QStringList m_previousRoots;
};

void tst_VpnManager::init()
{
    m_store = std::make_unique<MemoryTunnelProfileStore>();
    m_log.clear();
    m_posted.clear();
    m_signalled.clear();
    m_previousSink = Log::setSink([this](QtMsgType, const QString &line) { m_log << line; });
    m_previousRoots = Resources::searchRoots();
    m_observer = std::make_unique<QObject>();
}

void tst_VpnManager::cleanup()
{
    // The signal and the named notification announce the same statuses, in the same order.
    QCOMPARE(m_signalled, m_posted);
    m_signalled.clear();
    m_manager.reset();
    m_observer.reset();
    m_store.reset();
    Log::setSink(m_previousSink);
    Resources::setSearchRoots(m_previousRoots);
}

void tst_VpnManager::drain()
{
    while (m_store->hasPendingCompletions())
        QCoreApplication::processEvents();
}

VpnManager &tst_VpnManager::makeManager()
{
    m_manager = std::make_unique<VpnManager>(*m_store);
    NotificationCenter::shared().addObserver(kProxyServiceVPNStatusNotification, m_observer.get(),
                                             [this] { m_posted << m_manager->vpnStatus(); });
    connect(m_manager.get(), &VpnManager::statusChanged, m_observer.get(),
            [this](VPNStatus status) { m_signalled << status; });
    return *m_manager;
}

MemoryTunnelConnection *tst_VpnManager::connectionOfFirst()
{
    const QList<TunnelProfile> stored = m_store->storedProfiles();
    return stored.isEmpty() ? nullptr : m_store->connection(stored.first().identifier());
}

QVariantMap tst_VpnManager::storedConfiguration()
{
    const QList<TunnelProfile> stored = m_store->storedProfiles();
    if (stored.isEmpty() || !stored.first().protocolConfiguration())
        return {};
    return stored.first().protocolConfiguration()->providerConfiguration;
}

void tst_VpnManager::connectCreatesProfileInEmptyStore()
{
    VpnManager &manager = makeManager();
    drain();
    QVERIFY(!manager.observerAdded);
    manager.address = QStringLiteral("relay.example");
    manager.port = 14223;
    manager.ip = QStringLiteral("203.0.113.9");
    manager.auth = QStringLiteral("orderId=7&sign=abc");
    manager.connectTunnel();
    drain();

    const QList<TunnelProfile> stored = m_store->storedProfiles();
    QCOMPARE(stored.size(), 1);
    const TunnelProfile &profile = stored.first();
    QCOMPARE(profile.localizedDescription(), QStringLiteral("Corvane"));
    QCOMPARE(profile.protocolConfiguration()->serverAddress, QStringLiteral("Corvane"));
    QVERIFY(profile.isEnabled());
    const QString id = profile.identifier();
    QCOMPARE(m_store->requests(),
             (QStringList{QStringLiteral("load"), QStringLiteral("load"), QStringLiteral("load"),
                          QStringLiteral("save ") + id, QStringLiteral("reload ") + id,
                          QStringLiteral("load")}));

    const QVariantMap expected{
        {QStringLiteral("ss_address"), QStringLiteral("relay.example")},
        {QStringLiteral("ss_port"), qint64(14223)},
        {QStringLiteral("ss_method"), QStringLiteral("CHACHA20")},
        {QStringLiteral("ss_password"), QString()},
        {QStringLiteral("ss_ip"), QStringLiteral("203.0.113.9")},
        {QStringLiteral("ss_auth"), QStringLiteral("orderId=7&sign=abc")},
        {QStringLiteral("json_conf"),
         QString::fromUtf8(*Resources::data(QStringLiteral("rules"), QStringLiteral("json")))},
    };
    QCOMPARE(connectionOfFirst()->startedConfiguration(), expected);
    QCOMPARE(connectionOfFirst()->startCount(), 1);
    QVERIFY(manager.observerAdded);
    QCOMPARE(m_posted, QList<VPNStatus>{VPNStatus::connecting});
    QCOMPARE(m_log, QStringList{kConf});
    QVERIFY(!m_log.join(u'\n').contains(QStringLiteral("sign=abc")));
}

void tst_VpnManager::duplicatesAreRemovedBeforeTheSave_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("one profile") << 1;
    QTest::newRow("two profiles") << 2;
    QTest::newRow("three profiles") << 3;
}

void tst_VpnManager::duplicatesAreRemovedBeforeTheSave()
{
    QFETCH(int, count);
    QStringList ids;
    for (int i = 0; i < count; ++i)
        ids << m_store->addStoredProfile(QStringLiteral("copy %1").arg(i), false);
    VpnManager &manager = makeManager();
    drain();
    const qsizetype before = m_store->requests().size();
    manager.port = 1;
    manager.connectTunnel();
    drain();

    QStringList expected{QStringLiteral("load")};
    if (count > 1) {
        for (const QString &id : std::as_const(ids))
            expected << QStringLiteral("remove ") + id;
    }
    expected << QStringLiteral("save ") + ids.first() << QStringLiteral("reload ") + ids.first()
             << QStringLiteral("load");
    QCOMPARE(m_store->requests().mid(before), expected);
    QCOMPARE(m_log.count(kDup), count > 1 ? count : 0);
    // The first profile survives, saved anew, enabled and configured.
    QCOMPARE(m_store->storedProfiles().size(), 1);
    const TunnelProfile kept = m_store->storedProfiles().first();
    QCOMPARE(kept.identifier(), ids.first());
    QVERIFY(kept.isEnabled());
    QCOMPARE(storedConfiguration().value(QStringLiteral("ss_port")).toLongLong(), 1);
    QCOMPARE(m_store->connection(ids.first())->startCount(), 1);
}

void tst_VpnManager::secondConnectWithoutRefilledFields()
{
    VpnManager &manager = makeManager();
    manager.address = QStringLiteral("relay.example");
    manager.pwd = QStringLiteral("relay-password");
    manager.port = 14223;
    manager.auth = QStringLiteral("auth-1");
    manager.ip = QStringLiteral("198.51.100.1");
    manager.uid = 123456789;
    manager.nd = 1;
    manager.sip = 1;
    manager.connectTunnel();
    drain();
    QCOMPARE(storedConfiguration().value(QStringLiteral("ss_password")).toString(),
             QStringLiteral("relay-password"));
    QCOMPARE(manager.address, QString());
    QCOMPARE(manager.pwd, QString());
    QCOMPARE(manager.port, 0);
    QCOMPARE(manager.uid, 123456789u);
    QCOMPARE(manager.nd, 1);
    QCOMPARE(manager.sip, 1);

    manager.connectTunnel();
    drain();
    const QVariantMap config = storedConfiguration();
    QCOMPARE(config.value(QStringLiteral("ss_address")).toString(), QString());
    QCOMPARE(config.value(QStringLiteral("ss_password")).toString(), QString());
    QCOMPARE(config.value(QStringLiteral("ss_port")).toLongLong(), 0);
    QCOMPARE(config.value(QStringLiteral("ss_auth")).toString(), QStringLiteral("auth-1"));
    QCOMPARE(config.value(QStringLiteral("ss_ip")).toString(), QStringLiteral("198.51.100.1"));
    QCOMPARE(m_store->storedProfiles().size(), 1);
}

void tst_VpnManager::rulesAreReadForEveryConnect()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto writeRules = [&](const QByteArray &text) {
        QFile file(dir.filePath(QStringLiteral("rules.json")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    Resources::setSearchRoots({dir.path()});
    VpnManager &manager = makeManager();
    writeRules("{\"rules\": [\"first\"]}");
    manager.connectTunnel();
    drain();
    QCOMPARE(storedConfiguration().value(QStringLiteral("json_conf")).toString(),
             QStringLiteral("{\"rules\": [\"first\"]}"));
    writeRules("{\"规则\": [\"second\"]}");
    manager.connectTunnel();
    drain();
    QCOMPARE(storedConfiguration().value(QStringLiteral("json_conf")).toString(),
             QStringLiteral("{\"规则\": [\"second\"]}"));
}

void tst_VpnManager::missingOrBrokenRulesStopTheConnect_data()
{
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<QString>("logged");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("missing");
    QTest::newRow("not UTF-8") << QByteArray("{\"a\": \"\xff\xfe\"}")
                               << QStringLiteral("not UTF-8");
}

void tst_VpnManager::missingOrBrokenRulesStopTheConnect()
{
    QFETCH(QByteArray, rules);
    QFETCH(QString, logged);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!rules.isEmpty()) {
        QFile file(dir.filePath(QStringLiteral("rules.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(rules);
    }
    Resources::setSearchRoots({dir.path()});
    for (int i = 0; i < 3; ++i)
        m_store->addStoredProfile(QStringLiteral("copy %1").arg(i));
    VpnManager &manager = makeManager();
    drain();
    const qsizetype before = m_store->requests().size();
    manager.address = QStringLiteral("relay.example");
    manager.connectTunnel();
    drain();

    // Nothing removed, saved or started: the three stored profiles are all still there.
    QCOMPARE(m_store->requests().mid(before), QStringList{QStringLiteral("load")});
    QCOMPARE(m_store->storedProfiles().size(), 3);
    QCOMPARE(connectionOfFirst()->startCount(), 0);
    QCOMPARE(m_log.size(), 1);
    QVERIFY2(m_log.first().contains(logged), qPrintable(m_log.first()));
    QCOMPARE(manager.vpnStatus(), VPNStatus::off);
}

void tst_VpnManager::statusMapping_data()
{
    QTest::addColumn<TunnelStatus>("platform");
    QTest::addColumn<VPNStatus>("expected");
    QTest::newRow("invalid") << TunnelStatus::Invalid << VPNStatus::off;
    QTest::newRow("disconnected") << TunnelStatus::Disconnected << VPNStatus::off;
    QTest::newRow("connecting") << TunnelStatus::Connecting << VPNStatus::connecting;
    QTest::newRow("connected") << TunnelStatus::Connected << VPNStatus::on;
    QTest::newRow("reasserting") << TunnelStatus::Reasserting << VPNStatus::connecting;
    QTest::newRow("disconnecting") << TunnelStatus::Disconnecting << VPNStatus::disconnecting;
}

void tst_VpnManager::statusMapping()
{
    QFETCH(TunnelStatus, platform);
    QFETCH(VPNStatus, expected);
    m_store->addStoredProfile(QStringLiteral("Corvane"));
    makeManager();
    drain();
    m_posted.clear();
    m_signalled.clear();
    connectionOfFirst()->setStatus(platform);
    drain();
    QCOMPARE(m_posted, QList<VPNStatus>{expected});
}

void tst_VpnManager::everyRefreshPosts()
{
    m_store->addStoredProfile(QStringLiteral("Corvane"));
    makeManager();
    drain();
    m_posted.clear();
    m_signalled.clear();
    connectionOfFirst()->setStatus(TunnelStatus::Connected);
    connectionOfFirst()->setStatus(TunnelStatus::Connected);
    drain();
    QCOMPARE(m_posted, (QList<VPNStatus>{VPNStatus::on, VPNStatus::on}));
}

void tst_VpnManager::creationWithTunnelUpReportsOnFirst()
{
    m_store->addStoredProfile(QStringLiteral("Corvane"));
    connectionOfFirst()->setStatus(TunnelStatus::Connected);
    drain();
    VpnManager &manager = makeManager();
    QCOMPARE(manager.vpnStatus(), VPNStatus::off);
    drain();
    QCOMPARE(m_posted, QList<VPNStatus>{VPNStatus::on});
    QVERIFY(manager.observerAdded);
}

void tst_VpnManager::disconnect_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<int>("stops");
    QTest::addColumn<QList<VPNStatus>>("posted");
    QTest::newRow("empty store") << false << false << 0 << QList<VPNStatus>{};
    QTest::newRow("tunnel up") << true << false << 1 << QList<VPNStatus>{VPNStatus::disconnecting};
    QTest::newRow("store unreadable") << true << true << 0 << QList<VPNStatus>{};
}

void tst_VpnManager::disconnect()
{
    QFETCH(bool, stored);
    QFETCH(bool, unreadable);
    QFETCH(int, stops);
    QFETCH(QList<VPNStatus>, posted);
    if (stored) {
        m_store->addStoredProfile(QStringLiteral("Corvane"));
        connectionOfFirst()->setStatus(TunnelStatus::Connected);
        drain();
    }
    VpnManager &manager = makeManager();
    drain();
    m_posted.clear();
    m_signalled.clear();
    if (unreadable)
        m_store->setLoadError(TunnelError{QStringLiteral("boom")});
    manager.disconnectTunnel();
    drain();
    QCOMPARE(m_posted, posted);
    if (stored)
        QCOMPARE(connectionOfFirst()->stopCount(), stops);
    // A stop that cannot happen says why, once.
    QCOMPARE(m_log, unreadable ? QStringList{QStringLiteral("boom")} : QStringList{});
}

void tst_VpnManager::storeFailures_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("starts");
    QTest::addColumn<int>("stored");
    // Each status once, however often the connect loaded the profile again.
    QTest::addColumn<QList<VPNStatus>>("posted");
    // A connect that does not happen says why, once, and refreshes the status so that whoever
    // waits for it can read why at once.
    const QList<VPNStatus> off{VPNStatus::off};
    const auto boom = QStringLiteral("boom");
    QTest::newRow("no list") << QStringLiteral("load") << QStringList{boom} << 0 << 1 << off;
    QTest::newRow("save") << QStringLiteral("save") << QStringList{kConf, boom} << 0 << 1 << off;
    QTest::newRow("reload") << QStringLiteral("reload") << QStringList{kConf, boom} << 0 << 1
                            << off;
    QTest::newRow("start refused")
        << QStringLiteral("start") << QStringList{kConf, boom} << 0 << 1 << off;
    QTest::newRow("removals") << QStringLiteral("remove")
                              << QStringList{kDup, kDup, kConf, boom, boom} << 1 << 2
                              << QList<VPNStatus>{VPNStatus::connecting};
}

void tst_VpnManager::storeFailures()
{
    QFETCH(QString, failing);
    QFETCH(QStringList, log);
    QFETCH(int, starts);
    QFETCH(int, stored);
    QFETCH(QList<VPNStatus>, posted);
    const TunnelError error{QStringLiteral("boom")};
    m_store->addStoredProfile(QStringLiteral("Corvane"));
    if (failing == QStringLiteral("remove"))
        m_store->addStoredProfile(QStringLiteral("Corvane"));
    VpnManager &manager = makeManager();
    drain();
    m_posted.clear();
    m_signalled.clear();
    if (failing == QStringLiteral("load"))
        m_store->setLoadError(error);
    else if (failing == QStringLiteral("save"))
        m_store->setSaveError(error);
    else if (failing == QStringLiteral("reload"))
        m_store->setReloadError(error);
    else if (failing == QStringLiteral("start"))
        connectionOfFirst()->setStartError(error);
    else
        m_store->setRemoveError(error);
    manager.port = 14223;
    manager.connectTunnel();
    drain();
    QCOMPARE(m_log, log);
    QCOMPARE(connectionOfFirst()->startCount(), starts);
    QCOMPARE(m_store->storedProfiles().size(), stored);
    QCOMPARE(m_posted, posted);
    QCOMPARE(manager.vpnStatus(), starts ? VPNStatus::connecting : VPNStatus::off);
    QCOMPARE(manager.connectFailure.has_value(), !starts);
    if (manager.connectFailure) {
        QCOMPARE(manager.connectFailure->description, error.description);
        // What the customer is told: a refused start keeps the tunnel's own reason.
        QCOMPARE(manager.connectFailure->kind == TunnelError::Kind::store,
                 failing != QStringLiteral("start"));
    }
}

void tst_VpnManager::sharedInstanceTakesTheInstalledStore()
{
    auto owned = std::make_unique<MemoryTunnelProfileStore>();
    MemoryTunnelProfileStore *store = owned.get();
    store->addStoredProfile(QStringLiteral("Corvane"));
    QVERIFY(VpnManager::installSharedStore(std::move(owned)));
    VpnManager &shared = VpnManager::shared();
    QCOMPARE(&VpnManager::shared(), &shared);
    QVERIFY(!VpnManager::installSharedStore(std::make_unique<MemoryTunnelProfileStore>()));
    shared.disconnectTunnel();
    while (store->hasPendingCompletions())
        QCoreApplication::processEvents();
    QCOMPARE(store->connection(store->storedProfiles().first().identifier())->stopCount(), 1);
}

QTEST_GUILESS_MAIN(tst_VpnManager)
#include "tst_VpnManager.moc"
