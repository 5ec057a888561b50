#pragma once

#include "platform/tunnel/TunnelConnection.h"

#include <QVariantMap>

namespace corvane {

class MemoryTunnelProfileStore;

// A tunnel that only moves when told to: start goes to connecting, stop to disconnecting, and
// the test reports every further step with setStatus.
class MemoryTunnelConnection final : public TunnelConnection
{
    Q_OBJECT

public:
    MemoryTunnelConnection(QString identifier, MemoryTunnelProfileStore *store);
    Q_DISABLE_COPY_MOVE(MemoryTunnelConnection)

    TunnelStatus status() const override { return m_status; }
    std::optional<TunnelError> start() override;
    void stop() override;
    void handOver() override;
    std::optional<LocalProxyPorts> localProxy() const override { return m_localProxy; }

    // Queues the status with its statusChanged, also when the status does not change.
    void setStatus(TunnelStatus status);
    void setStartError(std::optional<TunnelError> error) { m_startError = std::move(error); }
    // Why the helper said the tunnel went down, from now on.
    void setEndReason(std::optional<TunnelEndReason> reason) { m_endReason = std::move(reason); }
    std::optional<TunnelEndReason> endReason() const override { return m_endReason; }
    bool leftTrafficBlocked() const override { return m_leftBlocked; }
    void setLeftTrafficBlocked(bool blocked) { m_leftBlocked = blocked; }
    // Where the helper says its proxies listen; none, as before it has said.
    void setLocalProxy(std::optional<LocalProxyPorts> ports) { m_localProxy = ports; }
    void watchTraffic(bool on) override { m_trafficWatchers += on ? 1 : -1; }
    // Told to watchers only, as the helper does.
    std::optional<TunnelTraffic> traffic() const override
    {
        return m_trafficWatchers > 0 ? m_traffic : std::nullopt;
    }
    // The helper's next figures: trafficChanged at once while anyone watches.
    void setTraffic(std::optional<TunnelTraffic> traffic);
    int trafficWatchers() const { return m_trafficWatchers; }
    int startCount() const { return m_startCount; }
    int stopCount() const { return m_stopCount; }
    // How many of those stops were hand-overs to a next tunnel.
    int handOverCount() const { return m_handOverCount; }
    // The stored provider configuration the last accepted start ran with.
    QVariantMap startedConfiguration() const { return m_startedConfiguration; }

private:
    QString m_identifier;
    MemoryTunnelProfileStore *m_store;
    TunnelStatus m_status = TunnelStatus::Disconnected;
    std::optional<TunnelError> m_startError;
    std::optional<TunnelEndReason> m_endReason;
    int m_startCount = 0;
    int m_stopCount = 0;
    int m_handOverCount = 0;
    QVariantMap m_startedConfiguration;
    std::optional<LocalProxyPorts> m_localProxy;
    std::optional<TunnelTraffic> m_traffic;
    int m_trafficWatchers = 0;
    bool m_leftBlocked = false;
};

} // namespace corvane
