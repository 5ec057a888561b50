#include "tunnel/client/RelaySession.h"

namespace corvane::tunnel {

void RelaySession::report(State state, const std::string &reason)
{
    if (m_stopped || (m_state == state && reason.empty()))
        return;
    m_state = state;
    if (state == State::Connected)
        resetDelay();
    if (m_events.state)
        m_events.state(state, reason);
}

EventLoop::Clock::duration RelaySession::nextDelay()
{
    m_delay = m_delay == EventLoop::Clock::duration{}
                  ? EventLoop::Clock::duration(m_timings.firstRetry)
                  : std::min<EventLoop::Clock::duration>(m_delay * 2, m_timings.longestRetry);
    return m_delay;
}

bool RelaySession::mayRetry() const
{
    const auto bound = m_state == State::Connecting
                           ? EventLoop::Clock::duration(m_timings.startBound)
                           : EventLoop::Clock::duration(m_timings.giveUpAfter);
    return m_loop.now() + m_delay < m_since + bound;
}

void RelaySession::lost(const std::string &reason)
{
    if (m_state != State::Connected)
        return;
    m_since = m_loop.now();
    resetDelay();
    if (m_events.log)
        m_events.log("Lost the relay: " + reason);
    report(State::Reasserting);
}

} // namespace corvane::tunnel
