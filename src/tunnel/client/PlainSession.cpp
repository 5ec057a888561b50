#include "tunnel/client/PlainSession.h"

#include "tunnel/client/PlainDatagramChannel.h"

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
    m_probe.close();
}

std::optional<RelaySession::Dial> PlainSession::dial()
{
    if (m_state == State::Down)
        return std::nullopt;
    return Dial{m_relay, {}, m_method.encoder(), m_method.decoder()};
}

std::unique_ptr<DatagramChannel> PlainSession::openDatagrams(DatagramChannel::Receiver receiver)
{
    if (m_stopped || m_state == State::Down || m_relay.length == 0)
        return nullptr;
    return PlainDatagramChannel::open(m_loop, m_relay, m_method.datagrams(), std::move(receiver),
                                      m_events.log);
}

void PlainSession::relayUnreachable(const std::string &error)
{
    if (m_state != State::Connected)
        return;
    lost(error);
    probe();
}

void PlainSession::checkNow()
{
    if (m_state == State::Connected && !m_probe.isOpen())
        probe();
}

void PlainSession::probe()
{
    m_loop.cancel(m_timer);
    std::variant<Socket, TunnelError> connecting = Socket::connect(m_relay);
    if (const auto *error = std::get_if<TunnelError>(&connecting))
        return probeEnded(*error);
    m_probe = std::get<Socket>(std::move(connecting));
    m_probe.watch(m_loop, *this);
    if (const std::optional<TunnelError> error = m_probe.want({false, true})) {
        m_probe.close();
        return probeEnded(error);
    }
    // A relay that drops the connection attempt silently is given the time of one answer.
    m_timer = m_loop.after(m_timings.answerWithin, [this] {
        m_timer = {};
        m_probe.close();
        probeEnded(TunnelError{"no answer within " +
                               std::to_string(m_timings.answerWithin.count()) + " s"});
    });
}

void PlainSession::onEvents(Readiness)
{
    const std::optional<TunnelError> error = m_probe.connectError();
    m_probe.close();
    m_loop.cancel(m_timer);
    probeEnded(error);
}

void PlainSession::probeEnded(const std::optional<TunnelError> &error)
{
    if (m_stopped)
        return;
    if (!error) {
        if (m_events.log && m_state == State::Connecting)
            m_events.log("The relay " + m_relay.text() + " takes connections");
        return report(State::Connected);
    }
    // A check while connected that finds no relay is a loss like a connection's.
    lost(error->description);
    const auto delay = retryDelay();
    if (!delay)
        return report(State::Down,
                      "cannot reach the relay " + m_relay.text() + ": " + error->description);
    m_timer = m_loop.after(*delay, [this] {
        m_timer = {};
        probe();
    });
}

} // namespace corvane::tunnel
