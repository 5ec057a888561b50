#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include "platform/files/PrivateFile.h"
#include "platform/log/Log.h"
#include "platform/tunnel/linux/HelperProcesses.h"
#include "platform/tunnel/linux/LinuxTunnelConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QStandardPaths>
#include <QUuid>

#include <csignal>

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

// The channel's folder inside the per-user runtime folder. Qt falls back to a private folder of
// its own when XDG_RUNTIME_DIR is unusable, and answers nothing (or the variable's relative
// text) when that fails too: then there is no folder to put sockets and secrets in.
QString channelFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty() || QDir::isRelativePath(runtime))
        return {};
    return runtime + QStringLiteral("/corvane");
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
                     channelFolder(), helper};
}

LinuxTunnelProfileStore::LinuxTunnelProfileStore(Locations locations, Product product,
                                                 QObject *parent, Tidying tidying)
    : TunnelProfileStore(parent), m_locations(std::move(locations)), m_product(std::move(product)),
      m_file(m_locations.storeFile)
{
    if (tidying == Tidying::atOnce)
        tidyRuntimeFolder();
    watchRuntimeFolder();
}

void LinuxTunnelProfileStore::watchRuntimeFolder()
{
    // A helper that another process starts shows up as its socket in the runtime folder; the
    // kernel tells of that at once, with no polling while nothing changes.
    if (m_locations.runtimeDir.isEmpty() || !PrivateFile::makeFolder(m_locations.runtimeDir))
        return;
    m_watcher = new QFileSystemWatcher({m_locations.runtimeDir}, this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &LinuxTunnelProfileStore::runtimeFolderChanged);
}

void LinuxTunnelProfileStore::runtimeFolderChanged()
{
    for (const QPointer<LinuxTunnelConnection> &connection : std::as_const(m_connections)) {
        if (connection)
            connection->reattach();
    }
    Q_EMIT changedElsewhere();
}

void LinuxTunnelProfileStore::tidyRuntimeFolder()
{
    if (m_locations.runtimeDir.isEmpty())
        return;
    // The application starts only the first stored profile and drops the others at its next
    // connect, so a helper of any other channel is left over (two windows saved at once, or a
    // profile removed under a running tunnel) and nothing else would ever stop it. Without a
    // readable store nothing is known to be left over.
    auto stored = m_file.read();
    const auto *profiles = std::get_if<QList<StoredProfile>>(&stored);
    const QString kept = profiles && !profiles->isEmpty()
                             ? QDir::cleanPath(channel(profiles->first().identifier).basePath())
                             : QString();
    QStringList live;
    for (const HelperProcesses::Helper &helper : HelperProcesses::running(m_locations.runtimeDir)) {
        if (!profiles || helper.channelBase == kept) {
            live << helper.channelBase;
        } else if (HelperProcesses::signal(helper.pid, helper.channelBase, SIGTERM)) {
            Log::info(QStringLiteral("Stopped the tunnel helper %1 (%2): it belongs to no "
                                     "profile in use")
                          .arg(helper.pid)
                          .arg(helper.channelBase));
        }
    }
    // A helper deletes its configuration once read; one that was killed before may have left
    // it, with the authentication string in it.
    const QDir folder(m_locations.runtimeDir);
    for (const QString &name : folder.entryList({QStringLiteral("*.conf")}, QDir::Files)) {
        const QString path = folder.filePath(name);
        if (live.contains(QDir::cleanPath(path.chopped(5))))
            continue;
        if (QFile::remove(path))
            Log::info(
                QStringLiteral("Removed %1, left behind by a tunnel helper that never read it")
                    .arg(path));
    }
}

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
    return m_file.modify([&](QList<StoredProfile> &profiles) {
        return change(profiles, indexOf(profiles, identifier));
    });
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

QString LinuxTunnelProfileStore::storedAuthString(const QString &identifier) const
{
    const auto stored = storedProfile(identifier);
    const auto *profile = std::get_if<StoredProfile>(&stored);
    if (!profile || !profile->protocol)
        return {};
    return profile->protocol->providerConfiguration.value(m_product.authKey).toString();
}

void LinuxTunnelProfileStore::forgetAuthString(const QString &identifier, const QString &auth)
{
    // Gone already, or a newer string replaced it: nothing to write.
    if (storedAuthString(identifier) != auth)
        return;
    const auto error =
        modifyStored(identifier, [this, &auth](QList<StoredProfile> &profiles, qsizetype index) {
            if (index >= 0 && profiles[index].protocol) {
                QVariantMap &configuration = profiles[index].protocol->providerConfiguration;
                if (configuration.value(m_product.authKey).toString() == auth)
                    configuration.insert(m_product.authKey, QString());
            }
            return std::optional<TunnelError>();
        });
    if (error)
        Log::warning(error->description);
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
