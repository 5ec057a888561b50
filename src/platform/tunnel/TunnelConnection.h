#pragma once

#include "platform/tunnel/TunnelError.h"
#include "platform/tunnel/TunnelStatus.h"
#include "platform/tunnel/TunnelTraffic.h"

#include <QList>
#include <QObject>
#include <functional>
#include <optional>

namespace corvane {

// Where the tunnel's local proxies listen on the loopback interface.
struct LocalProxyPorts
{
    quint16 socks = 0;
    quint16 http = 0;
};

// Why a tunnel went down by itself (not on a stop), as its helper said.
struct TunnelEndReason
{
    enum class Kind
    {
        // A local proxy port was taken.
        port,
        // The relay could not be reached.
        unreachable,
        // The service's relay refused the tunnel; `detail` holds its words.
        refused,
        // The relay was reached, but its answers broke the handshake.
        protocol,
        // The relay was lost after the tunnel was up.
        lost,
        // The system-wide mode could not be had (no service, polkit said no); `detail` says
        // which.
        systemWide,
        other,
    };
    Kind kind = Kind::other;
    QString detail;
};

// The tunnel of one profile. Lives on the main thread; statusChanged is emitted there.
class TunnelConnection : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    Q_DISABLE_COPY_MOVE(TunnelConnection)

    virtual TunnelStatus status() const = 0;
    // Starts the tunnel with the configuration last saved for the profile; an error means the
    // start was refused and the status stays as it was.
    virtual std::optional<TunnelError> start() = 0;
    virtual void stop() = 0;
    // A stop before a connect on the same ports (a change of exit address): the helper leaves
    // the desktop's proxy settings for the next tunnel instead of giving them back.
    virtual void handOver() { stop(); }
    // The name of the program whose start brought up the tunnel now running, where known.
    virtual QString startedBy() const { return {}; }
    // The local proxies of the running tunnel, once its helper has said where they listen.
    virtual std::optional<LocalProxyPorts> localProxy() const { return std::nullopt; }
    // Why the tunnel last went down by itself, until the next start.
    virtual std::optional<TunnelEndReason> endReason() const { return std::nullopt; }
    // A system-wide tunnel that went down by itself left the machine's traffic blocked, until
    // the next tunnel takes the block over or a stop gives the machine back.
    virtual bool leftTrafficBlocked() const { return false; }
    // Each watchTraffic(true) is undone by one watchTraffic(false). While anyone watches, the
    // helper tells its figures about once a second while they change (trafficChanged with
    // each); while nobody does, it is asked for nothing and costs nothing.
    virtual void watchTraffic(bool on) { Q_UNUSED(on) }
    // The running tunnel's figures, once the helper has told them to a watching connection.
    virtual std::optional<TunnelTraffic> traffic() const { return std::nullopt; }
    using ConnectionsDone = std::function<void(std::optional<QList<TunnelConnectionInfo>>)>;
    // The open connections now; none when no running helper can be asked.
    virtual void requestConnections(ConnectionsDone done) { done(std::nullopt); }

Q_SIGNALS:
    void trafficChanged();
    // Always delivered later from the event loop, as the platform's own notification is:
    // an observer attached right after a start still hears the status that start set.
    void statusChanged();
};

} // namespace corvane
