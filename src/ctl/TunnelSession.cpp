#include "ctl/TunnelSession.h"

#include "core/home/ChoiceTexts.h"
#include "core/province/ProvinceFile.h"
#include "core/vpn/LocalProxyAddress.h"
#include "core/vpn/SystemProxyFollower.h"
#include "core/vpn/VpnManager.h"
#include "launch/LocaleText.h"
#include "platform/scheduling/Scheduler.h"
#include "platform/settings/ReconnectMark.h"
#include "platform/settings/SettingsStore.h"
#include "platform/tunnel/TunnelProfileStore.h"

namespace corvane {

namespace {

SystemProxy *followedProxy = nullptr;

QJsonValue provinceJson(const std::optional<qint64> &provinceIndex)
{
    if (!provinceIndex)
        return QJsonValue();
    const QStringList names = ProvinceFile::load().value_or(QStringList());
    return QJsonObject{{QStringLiteral("index"), *provinceIndex},
                       {QStringLiteral("name"), *provinceIndex >= 0 && *provinceIndex < names.size()
                                                    ? QJsonValue(names.at(*provinceIndex))
                                                    : QJsonValue()}};
}

} // namespace

TunnelSession::TunnelSession(VpnManager &manager, TunnelProfileStore &store, QObject *parent)
    : QObject(parent), m_manager(manager), m_store(store), m_sequencer(manager)
{
    // Any command that reads the tunnel also gives back settings that point at a tunnel no
    // longer running (its helper was killed), as the window does.
    if (followedProxy)
        m_follower = std::make_unique<SystemProxyFollower>(
            m_sequencer, m_manager, *followedProxy, ProxyModeSetting(SettingsStore::shared()));
    connect(&m_manager, &VpnManager::statusChanged, this, [this](VPNStatus status) {
        if (m_changed)
            m_changed(status);
    });
}

TunnelSession::~TunnelSession() = default;

void TunnelSession::useSystemProxy(SystemProxy *proxy)
{
    followedProxy = proxy;
}

void TunnelSession::snapshot(std::function<void(const Snapshot &)> done)
{
    // Requests are answered in order: by the time this load is, the manager's own first load
    // (made when it was created) has set its status.
    m_store.loadAll([this, done = std::move(done)](std::optional<QList<TunnelProfilePtr>> profiles,
                                                   std::optional<TunnelError>) {
        Snapshot snapshot;
        snapshot.status = m_manager.vpnStatus();
        snapshot.proxy = m_manager.localProxy();
        snapshot.reconnecting = snapshot.status == VPNStatus::off &&
                                ReconnectMark(ReconnectMark::defaultFilePath()).heldElsewhere();
        snapshot.mode = ProxyModeSetting::name(ProxyModeSetting(SettingsStore::shared()).mode());
        if (profiles && !profiles->isEmpty()) {
            if (const std::optional<TunnelProtocol> protocol =
                    profiles->first()->protocolConfiguration()) {
                snapshot.auth = parseAuthString(
                    protocol->providerConfiguration.value(QStringLiteral("ss_auth")).toString());
            }
        }
        done(snapshot);
    });
}

void TunnelSession::onStatusChanged(std::function<void(VPNStatus)> changed)
{
    m_changed = std::move(changed);
}

void TunnelSession::lookUp(std::function<void(const std::optional<PublicAddressAnswer> &)> done)
{
    m_lookup.start([done = std::move(done)](const PublicAddressLookup::Outcome &outcome) {
        done(outcome.failed ? std::nullopt : outcome.answer);
    });
}

void TunnelSession::followTraffic(std::function<bool(const std::optional<TunnelTraffic> &)> done)
{
    TunnelConnection *connection = m_manager.connection();
    if (!connection || m_manager.vpnStatus() != VPNStatus::on) {
        done(std::nullopt);
        return;
    }
    // Owns the following: gone, nothing more is heard.
    auto *following = new QObject(this);
    struct Progress
    {
        bool told = false;
        bool over = false;
    };
    const auto progress = std::make_shared<Progress>();
    const auto tell = [connection, following, progress,
                       done](const std::optional<TunnelTraffic> &traffic) {
        if (progress->over)
            return;
        progress->told = true;
        if (done(traffic))
            return;
        progress->over = true;
        connection->watchTraffic(false);
        following->deleteLater();
    };
    // Figures dropped mean the tunnel went down.
    connect(connection, &TunnelConnection::trafficChanged, following,
            [connection, tell] { tell(connection->traffic()); });
    // A helper from before the figures never tells them.
    delay(std::chrono::seconds(3), following, [progress, tell] {
        if (!progress->told)
            tell(std::nullopt);
    });
    connection->watchTraffic(true);
}

void TunnelSession::connections(TunnelConnection::ConnectionsDone done)
{
    TunnelConnection *connection = m_manager.connection();
    if (!connection || m_manager.vpnStatus() != VPNStatus::on)
        return done(std::nullopt);
    connection->requestConnections(std::move(done));
}

QJsonObject TunnelSession::toJson(const Snapshot &snapshot,
                                  const std::optional<PublicAddressAnswer> &address)
{
    QJsonObject json{{QStringLiteral("status"), snapshot.reconnecting
                                                    ? QStringLiteral("reconnecting")
                                                    : vpnStatusName(snapshot.status)}};
    const bool configured = snapshot.auth.has_value();
    json.insert(QStringLiteral("orderId"),
                configured ? QJsonValue(snapshot.auth->orderId) : QJsonValue());
    json.insert(QStringLiteral("province"),
                configured ? provinceJson(snapshot.auth->provinceIndex) : QJsonValue());
    json.insert(QStringLiteral("dedup"),
                configured ? QJsonValue(snapshot.auth->nd == 1 ? QStringLiteral("24h")
                                                               : QStringLiteral("none"))
                           : QJsonValue());
    json.insert(QStringLiteral("abnormalIp"),
                configured ? QJsonValue(snapshot.auth->sip == 0 ? QStringLiteral("on")
                                                                : QStringLiteral("off"))
                           : QJsonValue());
    QJsonValue publicAddress;
    if (address) {
        publicAddress = QJsonObject{
            {QStringLiteral("ip"), address->cip ? QJsonValue(*address->cip) : QJsonValue()},
            {QStringLiteral("place"), address->placeText()}};
    }
    json.insert(QStringLiteral("publicAddress"), publicAddress);
    json.insert(
        QStringLiteral("proxy"),
        snapshot.proxy
            ? QJsonObject{{QStringLiteral("socks5"), LocalProxyAddress::socks(*snapshot.proxy)},
                          {QStringLiteral("http"), LocalProxyAddress::http(*snapshot.proxy)}}
            : QJsonValue());
    json.insert(QStringLiteral("traffic"),
                snapshot.traffic
                    ? QJsonObject{{QStringLiteral("up"), qint64(snapshot.traffic->up)},
                                  {QStringLiteral("down"), qint64(snapshot.traffic->down)},
                                  {QStringLiteral("upRate"), qint64(snapshot.traffic->upRate)},
                                  {QStringLiteral("downRate"), qint64(snapshot.traffic->downRate)}}
                    : QJsonValue());
    json.insert(QStringLiteral("mode"), snapshot.mode);
    return json;
}

QStringList TunnelSession::toText(const Snapshot &snapshot,
                                  const std::optional<PublicAddressAnswer> &address)
{
    const QJsonObject json = toJson(snapshot, address);
    const auto text = [](const QJsonValue &value) {
        return value.isNull() ? QStringLiteral("-") : value.toVariant().toString();
    };
    const QJsonObject province = json.value(QStringLiteral("province")).toObject();
    const QJsonObject exit = json.value(QStringLiteral("publicAddress")).toObject();
    return {
        LocaleText::text(QStringLiteral("status.status")) +
            text(json.value(QStringLiteral("status"))),
        LocaleText::text(QStringLiteral("status.order")) +
            text(json.value(QStringLiteral("orderId"))),
        LocaleText::text(QStringLiteral("status.province")) +
            (!snapshot.auth ? QStringLiteral("-")
             : province.isEmpty()
                 ? ChoiceTexts::anyProvince()
                 : text(province.value(QStringLiteral("name"))) + QStringLiteral(" (") +
                       text(province.value(QStringLiteral("index"))) + u')'),
        LocaleText::text(QStringLiteral("status.dedup")) +
            text(json.value(QStringLiteral("dedup"))),
        LocaleText::text(QStringLiteral("status.abnormal-ip")) +
            text(json.value(QStringLiteral("abnormalIp"))),
        LocaleText::text(QStringLiteral("status.proxy")) +
            (snapshot.proxy ? LocalProxyAddress::urls(*snapshot.proxy) : QStringLiteral("-")),
        LocaleText::text(QStringLiteral("status.mode")) + snapshot.mode,
        LocaleText::text(QStringLiteral("status.public-address")) +
            (exit.isEmpty() ? QStringLiteral("-")
                            : text(exit.value(QStringLiteral("ip"))) + u' ' +
                                  text(exit.value(QStringLiteral("place")))),
    };
}

} // namespace corvane
