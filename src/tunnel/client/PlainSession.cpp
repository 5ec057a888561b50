#include "tunnel/client/PlainSession.h"

#include <sys/epoll.h>

namespace corvane::tunnel {

PlainSession::PlainSession(EventLoop &loop, SessionTimings timings, Events events,
                           RelayMethod method)
    : RelaySession(loop, timings, std::move(events)), m_method(std::move(method))
{}

PlainSession::~PlainSession()
{
    stop();
}

void PlainSession::start(const SocketAddress &relay)
{
    m_relay = relay;
    m_since = m_loop.now();
    probe();
}

void PlainSession::stop()
{
    m_stopped = true;
    m_loop.cancel(m_timer);
    closeProbe();
}

std::optional<RelaySession::Dial> PlainSession::dial()
{
    if (m_state == State::Down)
        return std::nullopt;
    return Dial{m_relay, {}, m_method.encoder(), m_method.decoder()};
}

void PlainSession::relayUnreachable(const std::string &error)
{
    if (m_state != State::Connected)
        return;
    lost(error);
    probe();
}

void PlainSession::probe()
{
    m_loop.cancel(m_timer);
    auto [socket, error] = Socket::connect(m_relay);
    if (!socket.isOpen())
        return probeEnded(error);
    m_probe = std::move(socket);
    m_loop.watch(m_probe.fd(), EPOLLOUT, this);
    // A relay that drops the connection attempt silently is given the time of one answer.
    m_timer = m_loop.after(m_timings.answerWithin, [this] {
        m_timer = {};
        closeProbe();
        probeEnded("no answer within " + std::to_string(m_timings.answerWithin.count()) + " s");
    });
}

void PlainSession::closeProbe()
{
    if (m_probe.isOpen()) {
        m_loop.unwatch(m_probe.fd());
        m_probe.close();
    }
}

void PlainSession::onEvents(std::uint32_t)
{
    const std::string error = m_probe.connectError();
    closeProbe();
    m_loop.cancel(m_timer);
    probeEnded(error);
}

void PlainSession::probeEnded(const std::string &error)
{
    if (m_stopped)
        return;
    if (error.empty()) {
        if (m_events.log && m_state == State::Connecting)
            m_events.log("The relay " + m_relay.text() + " takes connections");
        return report(State::Connected);
    }
    const auto delay = retryDelay();
    if (!delay)
        return report(State::Down, "cannot reach the relay " + m_relay.text() + ": " + error);
    m_timer = m_loop.after(*delay, [this] {
        m_timer = {};
        probe();
    });
}

} // namespace corvane::tunnel
