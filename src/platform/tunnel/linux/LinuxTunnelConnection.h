#pragma once

#include "platform/tunnel/TunnelConnection.h"
#include "platform/tunnel/linux/ChannelLines.h"
#include "platform/tunnel/linux/TunnelChannel.h"

#include <QDeadlineTimer>
#include <QList>

class QLocalSocket;
class QTimer;

namespace corvane {

class LinuxTunnelProfileStore;

// The window's side of one profile's tunnel helper. It attaches to a helper that is already
// running (started by this or an earlier window) through the helper's socket, follows the
// status lines the helper sends, and sees the helper's end as the socket closing, which the
// kernel does at once even when the helper is killed.
class LinuxTunnelConnection final : public TunnelConnection
{
    Q_OBJECT

public:
    LinuxTunnelConnection(QString identifier, LinuxTunnelProfileStore *store);
    ~LinuxTunnelConnection() override;
    Q_DISABLE_COPY_MOVE(LinuxTunnelConnection)

    TunnelStatus status() const override { return m_published; }
    std::optional<TunnelError> start() override;
    void stop() override;
    void handOver() override;
    QString startedBy() const override;
    std::optional<LocalProxyPorts> localProxy() const override;
    std::optional<TunnelEndReason> endReason() const override { return m_endReason; }
    bool leftTrafficBlocked() const override;
    void watchTraffic(bool on) override;
    std::optional<TunnelTraffic> traffic() const override { return m_traffic; }
    void requestConnections(ConnectionsDone done) override;

    // Looks again for a running helper (another window may have started one) while this
    // window believes the tunnel is down.
    void reattach();

private:
    bool attach();
    std::optional<TunnelError> launchHelper();
    void checkStartingHelper();
    void finishTermination();
    void abandonStart(const QString &reason);
    void readStatusLines();
    bool readTrafficLine(const QByteArray &line);
    void dropTraffic();
    void socketClosed();
    TunnelStatus statusFromFile() const;
    std::optional<TunnelEndReason> reasonFromFile() const;
    void removeStaleFiles();
    void noteAuthString(TunnelStatus status);
    void setStatus(TunnelStatus status);

    QString m_identifier;
    LinuxTunnelProfileStore *m_store;
    TunnelChannel m_channel;
    QLocalSocket *m_socket;
    QTimer *m_startTimer;
    QDeadlineTimer m_startDeadline;
    ChannelLines m_lines;
    qint64 m_helperPid = 0;
    // A stop came while the started helper had not opened its socket: it is being ended.
    bool m_terminating = false;
    bool m_terminateSent = false;
    // The stored signed string while the tunnel is seen running.
    QString m_runningAuth;
    // What the helper last said, and what observers have been told so far: each change is
    // published on its own turn of the event loop, so none is skipped when two arrive at once.
    std::optional<LocalProxyPorts> m_localProxy;
    std::optional<TunnelEndReason> m_endReason;
    // Those who asked for the traffic figures and have not yet said they are done.
    int m_trafficWatchers = 0;
    std::optional<TunnelTraffic> m_traffic;
    // Requests for the open connections, in the order sent, and the answer arriving.
    QList<ConnectionsDone> m_connectionRequests;
    QList<TunnelConnectionInfo> m_connectionLines;
    TunnelStatus m_current = TunnelStatus::Disconnected;
    TunnelStatus m_published = TunnelStatus::Disconnected;
};

} // namespace corvane
