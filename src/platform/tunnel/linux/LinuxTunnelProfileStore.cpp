#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include "platform/tunnel/linux/LinuxTunnelConnection.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QUuid>

namespace corvane {

namespace {

StoredProfile toStored(const TunnelProfile &profile)
{
    return StoredProfile{profile.identifier(), profile.isEnabled(), profile.localizedDescription(),
                         profile.protocolConfiguration()};
}

qsizetype indexOf(const QList<StoredProfile> &profiles, const QString &identifier)
{
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        if (profiles.at(i).identifier == identifier)
            return i;
    }
    return -1;
}

TunnelError notStored()
{
    return TunnelError{QStringLiteral("The tunnel profile is not stored.")};
}

} // namespace

LinuxTunnelProfileStore::Locations
LinuxTunnelProfileStore::defaultLocations(const QString &helperProgram)
{
    const QString helper = helperProgram.isEmpty() ? QCoreApplication::applicationDirPath() +
                                                         QStringLiteral("/corvane-tunnel-helper")
                                                   : helperProgram;
    return Locations{QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/corvane/profiles.json"),
                     QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                         QStringLiteral("/corvane"),
                     helper};
}

LinuxTunnelProfileStore::LinuxTunnelProfileStore(Locations locations, QObject *parent)
    : TunnelProfileStore(parent), m_locations(std::move(locations)), m_file(m_locations.storeFile)
{}

LinuxTunnelProfileStore::~LinuxTunnelProfileStore() = default;

void LinuxTunnelProfileStore::loadAll(LoadCompletion completion)
{
    auto result = m_file.read();
    if (auto *error = std::get_if<TunnelError>(&result)) {
        deliver([completion = std::move(completion), error = *error] {
            completion(std::nullopt, error);
        });
        return;
    }
    QList<TunnelProfilePtr> list;
    for (const StoredProfile &stored : std::get<QList<StoredProfile>>(result))
        list << toProfile(stored);
    deliver([completion = std::move(completion), list] { completion(list, std::nullopt); });
}

void LinuxTunnelProfileStore::save(const TunnelProfilePtr &profile, Completion completion)
{
    const auto error =
        modifyStored(profile->identifier(), [&](QList<StoredProfile> &profiles, qsizetype index) {
            if (index < 0)
                profiles << toStored(*profile);
            else
                profiles[index] = toStored(*profile);
            return std::optional<TunnelError>();
        });
    deliver([completion = std::move(completion), error] { completion(error); });
}

void LinuxTunnelProfileStore::reload(const TunnelProfilePtr &profile, Completion completion)
{
    auto result = storedProfile(profile->identifier());
    std::optional<TunnelError> error;
    if (auto *stored = std::get_if<StoredProfile>(&result)) {
        profile->setEnabled(stored->enabled);
        profile->setLocalizedDescription(stored->localizedDescription);
        profile->setProtocolConfiguration(stored->protocol);
    } else {
        error = std::get<TunnelError>(result);
    }
    deliver([completion = std::move(completion), error] { completion(error); });
}

void LinuxTunnelProfileStore::remove(const TunnelProfilePtr &profile, Completion completion)
{
    const auto error =
        modifyStored(profile->identifier(), [](QList<StoredProfile> &profiles, qsizetype index) {
            if (index < 0)
                return std::optional<TunnelError>(notStored());
            profiles.removeAt(index);
            return std::optional<TunnelError>();
        });
    deliver([completion = std::move(completion), error] { completion(error); });
}

std::optional<TunnelError> LinuxTunnelProfileStore::modifyStored(
    const QString &identifier,
    const std::function<std::optional<TunnelError>(QList<StoredProfile> &, qsizetype)> &change)
{
    auto result = m_file.read();
    if (auto *readError = std::get_if<TunnelError>(&result))
        return *readError;
    auto &profiles = std::get<QList<StoredProfile>>(result);
    if (auto refused = change(profiles, indexOf(profiles, identifier)))
        return refused;
    return m_file.write(profiles);
}

TunnelProfilePtr LinuxTunnelProfileStore::makeProfile()
{
    return toProfile(
        StoredProfile{QUuid::createUuid().toString(QUuid::WithoutBraces), false, {}, std::nullopt});
}

TunnelChannel LinuxTunnelProfileStore::channel(const QString &identifier) const
{
    return TunnelChannel::forProfile(m_locations.runtimeDir, identifier);
}

std::variant<StoredProfile, TunnelError>
LinuxTunnelProfileStore::storedProfile(const QString &identifier) const
{
    auto result = m_file.read();
    if (auto *error = std::get_if<TunnelError>(&result))
        return *error;
    const auto &profiles = std::get<QList<StoredProfile>>(result);
    const qsizetype index = indexOf(profiles, identifier);
    if (index < 0)
        return notStored();
    return profiles.at(index);
}

TunnelProfilePtr LinuxTunnelProfileStore::toProfile(const StoredProfile &stored)
{
    auto profile =
        std::make_shared<TunnelProfile>(stored.identifier, connection(stored.identifier));
    profile->setEnabled(stored.enabled);
    profile->setLocalizedDescription(stored.localizedDescription);
    profile->setProtocolConfiguration(stored.protocol);
    return profile;
}

LinuxTunnelConnection *LinuxTunnelProfileStore::connection(const QString &identifier)
{
    QPointer<LinuxTunnelConnection> &connection = m_connections[identifier];
    if (!connection)
        connection = new LinuxTunnelConnection(identifier, this);
    else
        connection->reattach();
    return connection;
}

} // namespace corvane
