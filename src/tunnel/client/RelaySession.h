#pragma once

#include "tunnel/client/DatagramChannel.h"
#include "tunnel/client/RelayDialer.h"
#include "tunnel/engine/EventLoop.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace corvane::tunnel {

// How long a session tries before it gives up, and how often.
struct SessionTimings
{
    // The first contact with the relay, retries included.
    std::chrono::seconds startBound{10};
    std::chrono::milliseconds firstRetry{500};
    std::chrono::seconds longestRetry{30};
    // A relay lost this long ends the tunnel, counted from the first loss.
    std::chrono::seconds giveUpAfter{300};
    // Up this long after a resume, the tunnel has recovered: its next loss starts the back-off
    // and the give-up afresh. A relay that drops it sooner cannot keep it flapping.
    std::chrono::seconds stableAfter{60};
    std::chrono::seconds keepAlive{20};
    std::chrono::seconds answerWithin{10};
};

// The tunnel's relationship with its relay: up once the relay answered, re-established with
// back-off when it is lost, down (with the reason) when it cannot be had. It carries the
// tunnel's connections (RelayDialer) and its datagrams (DatagramDialer).
class RelaySession : public RelayDialer, public DatagramDialer
{
public:
    enum class State
    {
        Connecting,
        Connected,
        Reasserting,
        Down
    };
    struct Events
    {
        std::function<void(State state, const std::string &reason)> state;
        std::function<void(const std::string &line)> log;
    };

    RelaySession(EventLoop &loop, SessionTimings timings, Events events)
        : m_loop(loop), m_timings(timings), m_events(std::move(events))
    {}
    virtual ~RelaySession() = default;
    RelaySession(const RelaySession &) = delete;
    RelaySession &operator=(const RelaySession &) = delete;

    virtual void start(const SocketAddress &relay) = 0;
    // Leaves the relay at once (a service relay is told the tunnel is over); no state is
    // reported after it.
    virtual void stop() = 0;
    // The network changed or the machine woke up: find out now whether the relay is still there
    // instead of at the next keep-alive, and report Reasserting if it is not.
    virtual void checkNow() = 0;

    State state() const { return m_state; }
    // Whether the relay ever accepted this tunnel, whether it answered outside its protocol,
    // and the service's own words when it refused it (empty when they broke the limits): what
    // the window tells the customer once the session is down.
    bool everConnected() const { return m_everConnected; }
    bool brokeProtocol() const { return m_brokeProtocol; }
    const std::optional<std::string> &refusal() const { return m_refusal; }

protected:
    void report(State state, const std::string &reason = {});
    // The wait before the next attempt, doubling from firstRetry to longestRetry, and cut short
    // so that the last attempt falls on the bound: the start bound before the first success,
    // giveUpAfter from the first loss afterwards. None once the bound is reached.
    std::optional<EventLoop::Clock::duration> retryDelay();
    void lost(const std::string &reason);

    EventLoop &m_loop;
    SessionTimings m_timings;
    Events m_events;
    State m_state = State::Connecting;
    EventLoop::Clock::time_point m_since;
    EventLoop::Clock::time_point m_upSince;
    EventLoop::Clock::duration m_delay{};
    bool m_stopped = false;
    bool m_everConnected = false;
    bool m_lostBefore = false;
    bool m_brokeProtocol = false;
    std::optional<std::string> m_refusal;
};

} // namespace corvane::tunnel
