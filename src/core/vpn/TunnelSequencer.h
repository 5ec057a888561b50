#pragma once

#include "core/vpn/TunnelRequest.h"
#include "core/vpn/VPNStatus.h"

#include "platform/scheduling/Scheduler.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <optional>

namespace corvane {

class VpnManager;

// The one road to the tunnel for every way in (the screens' steps, the tray, corvanectl, the
// launch): fills the manager's connection fields from a request, connects, changes the exit
// address (a stop, then once off a connect with a fresh uid and string) and disconnects.
class TunnelSequencer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TunnelSequencer)

public:
    // Every step waits this long after the action that asked for it.
    static constexpr std::chrono::seconds kStepDelay{1};

    enum class State
    {
        idle,
        // A toggle waits out its step.
        stepping,
        // From the start of a change of exit address to the tunnel's next `on`, or its failure.
        switching,
        // From a tunnel this sequencer connected going down by itself for a reason that may pass
        // (the relay lost or unreachable) to its next `on`, a stop, a refusal or kReconnectFor.
        reconnecting,
    };
    // The wait before each reconnect starts at kFirstRetry and doubles up to kLongestRetry.
    static constexpr Scheduler::Duration kFirstRetry{1};
    static constexpr Scheduler::Duration kLongestRetry{60};
    static constexpr Scheduler::Duration kReconnectFor{30 * 60};
    enum class Toggle
    {
        disconnecting,
        connecting,
    };

    // On VpnManager::shared(), made on first use.
    static TunnelSequencer &shared();
    explicit TunnelSequencer(VpnManager &manager, QObject *parent = nullptr);
    ~TunnelSequencer() override;

    State state() const { return m_state; }
    bool isSwitching() const { return m_state == State::switching; }
    bool isReconnecting() const { return m_state == State::reconnecting; }
    // Asked at each drop whether to reconnect (the shared one reads the autoReconnect setting,
    // so corvanectl's change applies at once); always yes until set.
    void setAutoReconnect(std::function<bool()> enabled) { m_autoReconnect = std::move(enabled); }
    // What a toggle connects with and a change of address signs again: the last request
    // chosen, connected or found running; none when nothing is known.
    const std::optional<TunnelRequest> &request() const { return m_request; }
    void choose(std::optional<TunnelRequest> request);

    // Connects with `request` now.
    void connectTunnel(const TunnelRequest &request);
    // The connect button's step, a step from now: stops the tunnel unless it is off by then,
    // else connects with request(). `done` runs right after, told which it was. Ignored while a
    // step or a change is under way (false); while reconnecting it stops at once.
    bool toggle(std::function<void(Toggle)> done = {});
    // Starts a change of exit address: `firstStep` seconds from now the tunnel stops, and a step
    // after it is off it connects again with request() signed afresh. False unless the tunnel is
    // on with a request of the service's and no step or change is under way.
    bool changeAddress(Scheduler::Duration firstStep = kStepDelay);
    // Ends any step or change and stops the tunnel (but one `sparedProgram` started, when
    // named); `stopped` runs once the stop has been handed to the tunnel.
    void disconnectTunnel(std::function<void()> stopped = {}, const QString &sparedProgram = {});
    // As disconnectTunnel for every stored profile, after any connect on its way has started.
    void disconnectEveryTunnel(const QString &sparedProgram, std::function<void()> stopped);

Q_SIGNALS:
    void stateChanged(corvane::TunnelSequencer::State state);

private:
    void setState(State state);
    void statusChanged(VPNStatus status);
    // Follows a status for reconnecting; true when the status was its business.
    bool reconnectOn(VPNStatus status);
    void scheduleReconnect();

    VpnManager &m_manager;
    std::optional<TunnelRequest> m_request;
    State m_state = State::idle;
    // The change of address has stopped the tunnel and connected again.
    bool m_reconnecting = false;
    // Bumped by every disconnect, so that a step it overtook does nothing when it runs.
    quint64 m_generation = 0;
    std::function<bool()> m_autoReconnect;
    // This sequencer's own connect brought up the tunnel: one found running belongs to whoever
    // started it, and only that program reconnects it.
    bool m_connectedHere = false;
    // On since it last went off: a first connect that fails is the person's to retry.
    bool m_wasUp = false;
    Scheduler::Duration m_retryDelay = kFirstRetry;
    double m_droppedAt = 0;
    bool m_retryPending = false;
};

} // namespace corvane
