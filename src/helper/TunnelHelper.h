#pragma once

#include "platform/tunnel/TunnelStatus.h"
#include "platform/tunnel/linux/ChannelLines.h"
#include "platform/tunnel/linux/TunnelChannel.h"
#include "tunnel/client/TunnelClient.h"

#include <QHash>
#include <QList>
#include <QObject>
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
}

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
    void tunnelStatus(tunnel::TunnelClient::Status status, const QString &reason);
    void attachClient();
    void readCommands(QLocalSocket *client);
    void finish();
    void releaseChannel();
    void setStatus(TunnelStatus status);
    void pointSystemProxy();
    void broadcast(const QByteArray &line);

    TunnelChannel m_channel;
    tunnel::TunnelClient::Options m_options;
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
};

} // namespace corvane
