#include "core/vpn/VpnManager.h"

#include "core/vpn/TunnelStoreProduct.h"

#include "platform/log/Log.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/resources/Resources.h"
#include "platform/tunnel/TunnelConnection.h"

#include <QPointer>
#include <QStringDecoder>
#include <mutex>
#include <variant>

namespace corvane {

namespace {

const auto kProfileName = QStringLiteral("Corvane");

struct SharedSetup
{
    std::mutex mutex;
    std::unique_ptr<TunnelProfileStore> store;
    bool made = false;
};

SharedSetup &sharedSetup()
{
    static SharedSetup setup;
    return setup;
}

// The rules document is handed to the tunnel unchanged, but it must be there and be UTF-8
// text: without it no configuration can be built. The text, or why there is none.
std::variant<QString, TunnelError> readRulesDocument()
{
    const std::optional<QByteArray> data =
        Resources::data(QStringLiteral("rules"), QStringLiteral("json"));
    if (!data)
        return TunnelError{
            QStringLiteral("Cannot connect: the rules resource rules.json is missing"),
            TunnelError::Kind::rules};
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(*data);
    if (decoder.hasError())
        return TunnelError{
            QStringLiteral("Cannot connect: the rules resource rules.json is not UTF-8"),
            TunnelError::Kind::rules};
    return text;
}

// A connect or disconnect that cannot reach the store would otherwise do nothing in silence;
// the store's description names the file and the reason.
TunnelError storeFailure(const std::optional<TunnelError> &error)
{
    return TunnelError{error ? error->description
                             : QStringLiteral("The tunnel profile store handed back no profiles"),
                       TunnelError::Kind::store};
}

VPNStatus toVPNStatus(TunnelStatus status)
{
    switch (status) {
    case TunnelStatus::Connecting:
    case TunnelStatus::Reasserting:
        return VPNStatus::connecting;
    case TunnelStatus::Connected:
        return VPNStatus::on;
    case TunnelStatus::Disconnecting:
        return VPNStatus::disconnecting;
    case TunnelStatus::Invalid:
    case TunnelStatus::Disconnected:
        break;
    }
    return VPNStatus::off;
}

} // namespace

VpnManager &VpnManager::shared()
{
    static VpnManager *instance = [] {
        SharedSetup &setup = sharedSetup();
        std::lock_guard lock(setup.mutex);
        setup.made = true;
        // Which backend drives the tunnel is the application's choice, made at launch; a
        // program that reaches the tunnel before making it has a start-up bug.
        if (!setup.store)
            qFatal("VpnManager::shared() was used before a tunnel store was installed");
        // Never destroyed, like the instance that stands on it.
        return new VpnManager(*setup.store.release());
    }();
    return *instance;
}

std::optional<LocalProxyPorts> VpnManager::localProxy() const
{
    if (m_vpnStatus != VPNStatus::on || !m_watched)
        return std::nullopt;
    return m_watched->localProxy();
}

std::optional<LocalProxyPorts> VpnManager::sharedLocalProxy()
{
    {
        SharedSetup &setup = sharedSetup();
        std::lock_guard lock(setup.mutex);
        if (!setup.made)
            return std::nullopt;
    }
    return shared().localProxy();
}

bool VpnManager::installSharedStore(std::unique_ptr<TunnelProfileStore> store)
{
    SharedSetup &setup = sharedSetup();
    std::lock_guard lock(setup.mutex);
    if (setup.made)
        return false;
    setup.store = std::move(store);
    return true;
}

VpnManager::VpnManager(TunnelProfileStore &store)
    : m_store(store), m_context(std::make_unique<QObject>())
{
    loadFirstProfile([this](const TunnelProfilePtr &profile) {
        if (profile)
            refreshStatus(*profile);
    });
    watchStatus();
    QObject::connect(&m_store, &TunnelProfileStore::changedElsewhere, m_context.get(),
                     [this] { watchStatus(); });
}

// Destroying the context drops the status observers and any completion still pending.
VpnManager::~VpnManager() = default;

void VpnManager::connectTunnel()
{
    connectFailure.reset();
    endReason.reset();
    ++m_connectsOnTheirWay;
    prepareProfile([this](const TunnelProfilePtr &profile) {
        startTunnel(profile);
        connectSettled();
    });
}

void VpnManager::connectSettled()
{
    if (--m_connectsOnTheirWay > 0)
        return;
    for (const std::function<void()> &waiting : std::exchange(m_afterConnects, {}))
        waiting();
}

void VpnManager::disconnectTunnel(std::function<void()> stopped)
{
    disconnectTunnelUnlessStartedBy(QString(), std::move(stopped));
}

void VpnManager::disconnectTunnelUnlessStartedBy(const QString &program,
                                                 std::function<void()> stopped)
{
    loadFirstProfile(
        [this, program, stopped = std::move(stopped)](const TunnelProfilePtr &profile) {
            if (!isSpared(profile, program))
                stopTunnel(profile);
            if (stopped)
                stopped();
        },
        LoadErrors::log);
}

void VpnManager::handOverTunnel()
{
    loadFirstProfile(
        [](const TunnelProfilePtr &profile) {
            if (profile && profile->connection())
                profile->connection()->handOver();
        },
        LoadErrors::log);
}

void VpnManager::disconnectEveryTunnel(const QString &sparedProgram, std::function<void()> stopped)
{
    auto stopAll = [this, sparedProgram, stopped = std::move(stopped)] {
        QPointer<QObject> alive = m_context.get();
        m_store.loadAll([this, alive, sparedProgram,
                         stopped](std::optional<QList<TunnelProfilePtr>> profiles,
                                  std::optional<TunnelError> error) {
            if (!alive)
                return;
            if (!profiles)
                Log::warning(storeFailure(error).description);
            for (const TunnelProfilePtr &profile : profiles.value_or(QList<TunnelProfilePtr>())) {
                if (!isSpared(profile, sparedProgram))
                    stopTunnel(profile);
            }
            if (stopped)
                stopped();
        });
    };
    if (m_connectsOnTheirWay > 0)
        m_afterConnects.push_back(std::move(stopAll));
    else
        stopAll();
}

void VpnManager::readConfiguration(std::function<void(const QVariantMap &)> done)
{
    loadFirstProfile([done = std::move(done)](const TunnelProfilePtr &profile) {
        const std::optional<TunnelProtocol> protocol =
            profile ? profile->protocolConfiguration() : std::nullopt;
        done(protocol ? protocol->providerConfiguration : QVariantMap());
    });
}

bool VpnManager::isSpared(const TunnelProfilePtr &profile, const QString &program) const
{
    if (program.isEmpty() || !profile || !profile->connection() ||
        profile->connection()->status() == TunnelStatus::Disconnected ||
        profile->connection()->startedBy() != program)
        return false;
    Log::info(QStringLiteral("Leaving the tunnel that %1 started running").arg(program));
    return true;
}

void VpnManager::loadFirstProfile(ProfileCompletion completion, LoadErrors errors)
{
    QPointer<QObject> alive = m_context.get();
    m_store.loadAll(
        [alive, errors, completion = std::move(completion)](
            std::optional<QList<TunnelProfilePtr>> profiles, std::optional<TunnelError> error) {
            if (!alive)
                return;
            if (!profiles && errors == LoadErrors::log)
                Log::warning(storeFailure(error).description);
            completion(profiles && !profiles->isEmpty() ? profiles->first() : nullptr);
        });
}

void VpnManager::prepareProfile(ProfileCompletion completion)
{
    QPointer<QObject> alive = m_context.get();
    m_store.loadAll([this, alive, completion = std::move(completion)](
                        std::optional<QList<TunnelProfilePtr>> profiles,
                        std::optional<TunnelError> loadError) {
        if (!alive)
            return;
        if (!profiles) {
            failConnect(storeFailure(loadError));
            completion(nullptr);
            return;
        }
        // Checked before any profile is touched: with no rules nothing could be saved back,
        // and the removals below would leave the store empty.
        const std::variant<QString, TunnelError> rules = readRulesDocument();
        if (const auto *error = std::get_if<TunnelError>(&rules)) {
            failConnect(*error);
            completion(nullptr);
            return;
        }
        TunnelProfilePtr profile;
        if (profiles->isEmpty()) {
            profile = makeProfile();
        } else {
            profile = profiles->first();
            removeDuplicateProfiles(*profiles);
        }
        profile->setEnabled(true);
        applyProviderConfiguration(*profile, std::get<QString>(rules));
        m_store.save(profile, [this, alive, profile, completion](std::optional<TunnelError> error) {
            if (!alive)
                return;
            if (error) {
                failConnect(storeFailure(error), profile);
                completion(nullptr);
                return;
            }
            m_store.reload(profile,
                           [this, alive, profile, completion](std::optional<TunnelError> failure) {
                               if (!alive)
                                   return;
                               if (failure) {
                                   failConnect(storeFailure(failure), profile);
                                   completion(nullptr);
                                   return;
                               }
                               watchStatus();
                               completion(profile);
                           });
        });
    });
}

TunnelProfilePtr VpnManager::makeProfile()
{
    TunnelProfilePtr profile = m_store.makeProfile();
    profile->setProtocolConfiguration(TunnelProtocol{kProfileName, {}});
    profile->setLocalizedDescription(kProfileName);
    return profile;
}

void VpnManager::removeDuplicateProfiles(const QList<TunnelProfilePtr> &profiles)
{
    if (profiles.size() < 2)
        return;
    for (const TunnelProfilePtr &profile : profiles) {
        Log::info(QStringLiteral("删除 DUP 配置文件"));
        m_store.remove(profile, [](std::optional<TunnelError> error) {
            if (error)
                Log::warning(error->description);
        });
    }
}

void VpnManager::applyProviderConfiguration(TunnelProfile &profile, const QString &rules)
{
    Log::info(QStringLiteral("配置 conf"));
    const QVariantMap configuration{
        {QStringLiteral("ss_address"), address},
        {QStringLiteral("ss_port"), port},
        {QStringLiteral("ss_method"), method.isEmpty() ? QStringLiteral("CHACHA20") : method},
        {QStringLiteral("ss_password"), pwd},
        {QStringLiteral("ss_ip"), ip},
        {TunnelStoreProduct::authKey(), auth},
        {QStringLiteral("json_conf"), rules},
    };
    TunnelProtocol protocol = profile.protocolConfiguration().value_or(TunnelProtocol{});
    protocol.providerConfiguration = configuration;
    profile.setProtocolConfiguration(protocol);
    address.clear();
    pwd.clear();
    port = 0;
    method.clear();
}

void VpnManager::startTunnel(const TunnelProfilePtr &profile)
{
    if (!profile || !profile->connection())
        return;
    if (std::optional<TunnelError> error = profile->connection()->start())
        failConnect(*error, profile);
}

void VpnManager::stopTunnel(const TunnelProfilePtr &profile)
{
    if (profile && profile->connection())
        profile->connection()->stop();
}

void VpnManager::watchStatus()
{
    loadFirstProfile([this](const TunnelProfilePtr &profile) {
        if (!profile || !profile->connection() || profile->connection() == m_watched)
            return;
        if (m_watched)
            QObject::disconnect(m_watched, nullptr, m_context.get(), nullptr);
        m_watched = profile->connection();
        observerAdded = true;
        QObject::connect(profile->connection(), &TunnelConnection::statusChanged, m_context.get(),
                         [this, profile] { refreshStatus(*profile); });
        // A tunnel that another process started or stopped is news here; a status already
        // announced is not announced twice.
        if (toVPNStatus(profile->connection()->status()) != m_vpnStatus)
            refreshStatus(*profile);
    });
}

void VpnManager::refreshStatus(const TunnelProfile &profile)
{
    m_vpnStatus = toVPNStatus(profile.connection()->status());
    if (m_vpnStatus == VPNStatus::off)
        endReason = profile.connection()->endReason();
    Q_EMIT statusChanged(m_vpnStatus);
    NotificationCenter::shared().post(kProxyServiceVPNStatusNotification);
}

void VpnManager::failConnect(const TunnelError &reason, const TunnelProfilePtr &profile)
{
    Log::warning(reason.description);
    connectFailure = reason;
    // Without a profile to read, the last status known stands.
    if (profile && profile->connection())
        m_vpnStatus = toVPNStatus(profile->connection()->status());
    Q_EMIT statusChanged(m_vpnStatus);
    NotificationCenter::shared().post(kProxyServiceVPNStatusNotification);
}

} // namespace corvane
