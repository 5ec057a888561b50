#include "MemoryTunnel.h"

#include "core/vpn/VpnManager.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include <QCoreApplication>

namespace corvane::test {

MemoryTunnel::MemoryTunnel(Profile profile)
    : m_owned(std::make_unique<MemoryTunnelProfileStore>()), m_store(m_owned.get())
{
    if (profile == Profile::stored)
        m_profile = m_store->addStoredProfile(QStringLiteral("Corvane"));
}

MemoryTunnel::~MemoryTunnel() = default;

bool MemoryTunnel::installShared()
{
    if (!m_owned || !VpnManager::installSharedStore(std::move(m_owned)))
        return false;
    VpnManager::shared();
    drain();
    return true;
}

MemoryTunnelConnection *MemoryTunnel::connection() const
{
    if (m_profile.isEmpty()) {
        const QList<TunnelProfile> stored = m_store->storedProfiles();
        return stored.isEmpty() ? nullptr : m_store->connection(stored.first().identifier());
    }
    return m_store->connection(m_profile);
}

void MemoryTunnel::drain() const
{
    while (m_store->hasPendingCompletions())
        QCoreApplication::processEvents();
}

void MemoryTunnel::setStatus(TunnelStatus status) const
{
    connection()->setStatus(status);
    drain();
}

} // namespace corvane::test
