#include "tunnel/client/RelaySession.h"

namespace corvane::tunnel {

void RelaySession::report(State state, const std::string &reason)
{
    if (m_stopped || (m_state == state && reason.empty()))
        return;
    m_state = state;
    if (state == State::Connected) {
        m_upSince = m_loop.now();
        m_everConnected = true;
    }
    if (m_events.state)
        m_events.state(state, reason);
}

std::optional<EventLoop::Clock::duration> RelaySession::retryDelay()
{
    m_delay = m_delay == EventLoop::Clock::duration{}
                  ? EventLoop::Clock::duration(m_timings.firstRetry)
                  : std::min<EventLoop::Clock::duration>(m_delay * 2, m_timings.longestRetry);
    const auto bound = m_state == State::Connecting
                           ? EventLoop::Clock::duration(m_timings.startBound)
                           : EventLoop::Clock::duration(m_timings.giveUpAfter);
    const auto left = m_since + bound - m_loop.now();
    if (left <= EventLoop::Clock::duration{})
        return std::nullopt;
    return std::min(m_delay, left);
}

void RelaySession::lost(const std::string &reason)
{
    if (m_state != State::Connected)
        return;
    const auto now = m_loop.now();
    if (!m_lostBefore || now - m_upSince >= m_timings.stableAfter) {
        m_since = now;
        m_delay = {};
    }
    m_lostBefore = true;
    if (m_events.log)
        m_events.log("Lost the relay: " + reason);
    report(State::Reasserting);
}

} // namespace corvane::tunnel
