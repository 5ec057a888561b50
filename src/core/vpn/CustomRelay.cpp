#include "core/vpn/CustomRelay.h"

#include "core/state/LocalState.h"
#include "core/vpn/FFSSModel.h"
#include "core/vpn/QuickRelay.h"
#include "platform/settings/SettingsStore.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>

namespace corvane {

namespace {
const QString kHost = QStringLiteral("host");
const QString kPort = QStringLiteral("port");
const QString kMethod = QStringLiteral("method");
} // namespace

CustomRelay::CustomRelay(SettingsStore &store, LocalState &state) : m_store(store), m_state(state)
{}

CustomRelay CustomRelay::onSharedSettings()
{
    return CustomRelay(SettingsStore::shared(), LocalState::shared());
}

TunnelRequest CustomRelay::quickConnect()
{
    if (onSharedSettings().address())
        return TunnelRequest{TunnelRequest::Own{}};
    return TunnelRequest{TunnelRequest::Quick{}};
}

QStringList CustomRelay::methods()
{
    return {QStringLiteral("chacha20"), QStringLiteral("chacha20-ietf-poly1305")};
}

std::optional<QString> CustomRelay::problem(const Address &address)
{
    // A name as DNS writes it, or an address of either family.
    static const QRegularExpression name(QStringLiteral(
        "^(?=.{1,253}$)([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-9-]{"
        "0,61}[A-Za-z0-9])?)*\\.?$"));
    if (!name.match(address.host).hasMatch() && QHostAddress(address.host).isNull())
        return QStringLiteral("not a host name or address: ") + address.host;
    if (address.port == 0)
        return QStringLiteral("the port is a number from 1 to 65535");
    if (!methods().contains(address.method))
        return QStringLiteral("the method is one of: ") + methods().join(QStringLiteral(", "));
    return std::nullopt;
}

std::optional<CustomRelay::Address> CustomRelay::address() const
{
    const QJsonObject stored = m_store.object(kKey).toObject();
    const int port = stored.value(kPort).toInt();
    Address address{stored.value(kHost).toString(),
                    static_cast<quint16>(port > 0 && port <= 65535 ? port : 0),
                    stored.value(kMethod).toString()};
    // A hand-edited entry that would not connect counts as none, as the built-in relay does.
    if (stored.isEmpty() || problem(address))
        return std::nullopt;
    return address;
}

void CustomRelay::set(const Address &address, const QString &password,
                      std::function<void(bool)> done)
{
    const bool kept = m_store.setObject(
        QJsonObject{{kHost, address.host}, {kPort, address.port}, {kMethod, address.method}}, kKey);
    if (!kept) {
        done(false);
        return;
    }
    m_state.setSecret(kPasswordKey, password, std::move(done));
}

bool CustomRelay::reset()
{
    // The keyring has no removal: an empty password takes the old one's place.
    m_state.setSecret(kPasswordKey, QString());
    return m_store.remove(kKey);
}

void CustomRelay::describe(FFSSModel &record, const QObject *context,
                           std::function<void()> done) const
{
    const std::optional<Address> own = address();
    if (!own) {
        QuickRelay::describeBuiltIn(record);
        done();
        return;
    }
    record.ip = own->host;
    record.port = own->port;
    record.method = own->method;
    m_state.secret(kPasswordKey, context,
                   [record = QPointer<FFSSModel>(&record),
                    done = std::move(done)](const std::optional<QString> &password) {
                       if (!record)
                           return;
                       record->pwd = password.value_or(QString());
                       done();
                   });
}

} // namespace corvane
