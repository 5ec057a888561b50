#pragma once

#include "DeviceLease.h"
#include "platform/tunnel/TunnelStatus.h"
#include "platform/tunnel/TunnelTraffic.h"
#include "platform/tunnel/linux/ChannelLines.h"
#include "platform/tunnel/linux/TunnelChannel.h"
#include "tunnel/client/TunnelClient.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <memory>
#include <optional>
#include <utility>

class QLocalServer;
class QLocalSocket;

namespace corvane {

class NetworkChangeWatcher;
class SystemProxy;

namespace tunnel {
class EngineThread;
class SocketProtector;
} // namespace tunnel

// One profile's tunnel: owns the channel's lock and socket for as long as it runs, runs the
// tunnel client on an engine thread of its own, and tells every attached window each status
// change and the local proxies' ports.
class TunnelHelper final : public QObject
{
    Q_OBJECT

public:
    // `systemProxy`, when given, is pointed at the proxies once the tunnel is up if
    // `pointSystemProxy`, and given back as the tunnel ends (see finish()) in either case.
    TunnelHelper(TunnelChannel channel, quint16 socksPort, quint16 httpPort,
                 SystemProxy *systemProxy = nullptr, bool pointSystemProxy = false,
                 QObject *parent = nullptr);
    ~TunnelHelper() override;
    Q_DISABLE_COPY_MOVE(TunnelHelper)

    // The system-wide mode: the tunnel asks `devices` for the TUN device before it starts, and
    // gives it back when it ends. Before begin().
    void useSystemWide(DeviceLease *devices) { m_devices = devices; }
    // Takes the lock, reads the configuration, opens the socket and starts the tunnel; false
    // (with the reason logged) when the tunnel cannot run.
    bool begin();
    // Brings the tunnel down, as a window's "stop" does.
    void stop();
    // A "reason" line for the windows before "disconnected", when the tunnel went down by
    // itself.
    void tellWhyDown(tunnel::TunnelClient::DownCause cause, const QString &refusal);
    // What the process should end with once finished() came.
    int exitCode() const { return m_exitCode; }

Q_SIGNALS:
    void finished();

private:
    bool folderIsPrivate();
    bool takeLock();
    std::optional<tunnel::TunnelConfiguration> readConfiguration();
    void startTunnel(tunnel::TunnelConfiguration configuration);
    void leaseDevice(tunnel::TunnelConfiguration configuration, const QString &relay);
    void deviceAnswered(tunnel::TunnelConfiguration configuration, DeviceLease::Answer answer);
    void startEngine(tunnel::TunnelConfiguration configuration);
    void refuseSystemWide(const QString &why);
    void returnDevice();
    void tunnelStatus(tunnel::TunnelClient::Status status, const QString &reason);
    void attachClient();
    void readCommands(QLocalSocket *client);
    void finish();
    void releaseChannel();
    void setStatus(TunnelStatus status);
    void pointSystemProxy();
    void broadcast(const QByteArray &line);
    void watchTraffic(QLocalSocket *client);
    void forgetWatcher(QLocalSocket *client);
    void tellTraffic();
    void tellConnections(QLocalSocket *client);

    TunnelChannel m_channel;
    tunnel::TunnelClient::Options m_options;
    DeviceLease *m_devices = nullptr;
    // The device is ours from the lease's answer until it is given back.
    bool m_leased = false;
    // Made before the engine and destroyed after it: the engine's sockets are marked through it.
    std::unique_ptr<tunnel::SocketProtector> m_protector;
    std::unique_ptr<tunnel::EngineThread> m_engine;
    // Lives on the engine's thread: made, stopped and destroyed there.
    std::unique_ptr<tunnel::TunnelClient> m_client;
    // Made once the tunnel is, so that a change checks a relay that exists.
    std::unique_ptr<NetworkChangeWatcher> m_networkChanges;
    int m_lockFd = -1;
    QLocalServer *m_server;
    QList<QLocalSocket *> m_clients;
    QHash<QLocalSocket *, ChannelLines> m_commandLines;
    TunnelStatus m_status = TunnelStatus::Disconnected;
    QByteArray m_proxyLine;
    SystemProxy *m_systemProxy;
    bool m_pointSystemProxy;
    std::optional<std::pair<quint16, quint16>> m_ports;
    // A window stops this tunnel for the next one on the same ports (a change of address).
    bool m_handedOver = false;
    int m_exitCode = 0;
    // The tunnel went down by itself for a reason that may pass: the window reconnects.
    bool m_mayComeBack = false;
    // Windows that asked for "traffic" lines, and those of them not yet sent one.
    QSet<QLocalSocket *> m_trafficWatchers;
    QSet<QLocalSocket *> m_unsentWatchers;
    // The last sample (on the scheduler's clock) and what was last told; the sampling runs
    // only while someone watches.
    double m_sampledAt = 0;
    tunnel::TrafficTotals m_sampled;
    TunnelTraffic m_told;
    bool m_sampling = false;
};

} // namespace corvane
