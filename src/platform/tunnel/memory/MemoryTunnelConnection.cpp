#include "platform/tunnel/memory/MemoryTunnelConnection.h"

#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

namespace corvane {

MemoryTunnelConnection::MemoryTunnelConnection(QString identifier, MemoryTunnelProfileStore *store)
    : TunnelConnection(store), m_identifier(std::move(identifier)), m_store(store)
{}

std::optional<TunnelError> MemoryTunnelConnection::start()
{
    if (m_startError)
        return m_startError;
    const std::optional<TunnelProfile> stored = m_store->storedProfile(m_identifier);
    if (!stored || !stored->protocolConfiguration())
        return TunnelError{QStringLiteral("The tunnel profile is not saved.")};
    if (!stored->isEnabled())
        return TunnelError{QStringLiteral("The tunnel profile is disabled.")};
    ++m_startCount;
    m_startedConfiguration = stored->protocolConfiguration()->providerConfiguration;
    setStatus(TunnelStatus::Connecting);
    return std::nullopt;
}

void MemoryTunnelConnection::stop()
{
    ++m_stopCount;
    if (m_status != TunnelStatus::Disconnected && m_status != TunnelStatus::Invalid)
        setStatus(TunnelStatus::Disconnecting);
}

void MemoryTunnelConnection::handOver()
{
    ++m_handOverCount;
    stop();
}

void MemoryTunnelConnection::setStatus(TunnelStatus status)
{
    m_store->enqueue([this, status] {
        m_status = status;
        Q_EMIT statusChanged();
    });
}

void MemoryTunnelConnection::setTraffic(std::optional<TunnelTraffic> traffic)
{
    m_traffic = traffic;
    if (m_trafficWatchers > 0)
        Q_EMIT trafficChanged();
}

} // namespace corvane
