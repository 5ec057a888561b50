#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include "platform/tunnel/memory/MemoryTunnelConnection.h"

namespace corvane {

MemoryTunnelProfileStore::MemoryTunnelProfileStore(QObject *parent) : TunnelProfileStore(parent) {}

MemoryTunnelProfileStore::~MemoryTunnelProfileStore() = default;

void MemoryTunnelProfileStore::loadAll(LoadCompletion completion)
{
    m_requests << QStringLiteral("load");
    if (m_loadError) {
        enqueue([completion = std::move(completion), error = m_loadError] {
            completion(std::nullopt, error);
        });
        return;
    }
    QList<TunnelProfilePtr> list;
    for (const TunnelProfile &stored : std::as_const(m_profiles))
        list << std::make_shared<TunnelProfile>(stored);
    enqueue([completion = std::move(completion), list] { completion(list, std::nullopt); });
}

void MemoryTunnelProfileStore::save(const TunnelProfilePtr &profile, Completion completion)
{
    m_requests << QStringLiteral("save ") + profile->identifier();
    std::optional<TunnelError> error = m_saveError;
    if (!error) {
        const qsizetype index = indexOf(profile->identifier());
        if (index < 0)
            m_profiles << *profile;
        else
            m_profiles[index] = *profile;
    }
    enqueue([completion = std::move(completion), error] { completion(error); });
}

void MemoryTunnelProfileStore::reload(const TunnelProfilePtr &profile, Completion completion)
{
    m_requests << QStringLiteral("reload ") + profile->identifier();
    std::optional<TunnelError> error = m_reloadError;
    const qsizetype index = indexOf(profile->identifier());
    if (!error && index < 0)
        error = TunnelError{QStringLiteral("The tunnel profile is not stored.")};
    if (!error)
        *profile = m_profiles.at(index);
    enqueue([completion = std::move(completion), error] { completion(error); });
}

void MemoryTunnelProfileStore::remove(const TunnelProfilePtr &profile, Completion completion)
{
    m_requests << QStringLiteral("remove ") + profile->identifier();
    std::optional<TunnelError> error = m_removeError;
    const qsizetype index = indexOf(profile->identifier());
    if (!error && index < 0)
        error = TunnelError{QStringLiteral("The tunnel profile is not stored.")};
    if (!error)
        m_profiles.removeAt(index);
    enqueue([completion = std::move(completion), error] { completion(error); });
}

TunnelProfilePtr MemoryTunnelProfileStore::makeProfile()
{
    const QString identifier = QStringLiteral("profile-%1").arg(m_nextIdentifier++);
    return std::make_shared<TunnelProfile>(identifier, connection(identifier));
}

QString MemoryTunnelProfileStore::addStoredProfile(const QString &description, bool enabled)
{
    TunnelProfilePtr profile = makeProfile();
    profile->setLocalizedDescription(description);
    profile->setEnabled(enabled);
    profile->setProtocolConfiguration(TunnelProtocol{description, {}});
    m_profiles << *profile;
    return profile->identifier();
}

std::optional<TunnelProfile>
MemoryTunnelProfileStore::storedProfile(const QString &identifier) const
{
    const qsizetype index = indexOf(identifier);
    if (index < 0)
        return std::nullopt;
    return m_profiles.at(index);
}

MemoryTunnelConnection *MemoryTunnelProfileStore::connection(const QString &identifier)
{
    MemoryTunnelConnection *&connection = m_connections[identifier];
    if (!connection)
        connection = new MemoryTunnelConnection(identifier, this);
    return connection;
}

void MemoryTunnelProfileStore::enqueue(std::function<void()> fn)
{
    ++m_pending;
    deliver([this, fn = std::move(fn)] {
        --m_pending;
        fn();
    });
}

qsizetype MemoryTunnelProfileStore::indexOf(const QString &identifier) const
{
    for (qsizetype i = 0; i < m_profiles.size(); ++i) {
        if (m_profiles.at(i).identifier() == identifier)
            return i;
    }
    return -1;
}

} // namespace corvane
