#pragma once

#include "tunnel/client/RelaySession.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/relay/RelayMethod.h"

namespace corvane::tunnel {

// A plain relay (the standard relay protocol, one relay connection per proxied connection).
// Its protocol has no handshake, so the relay counts as there while it takes TCP connections:
// the session connects once at the start, and again with back-off after a proxied connection
// could not reach it. Datagrams go over UDP to the relay's host and port number, each
// association on a socket of its own (PlainDatagramChannel).
class PlainSession final : public RelaySession, private Watched
{
public:
    PlainSession(EventLoop &loop, SessionTimings timings, Events events, RelayMethod method);
    ~PlainSession() override;

    void start(const SocketAddress &relay) override;
    void stop() override;
    void checkNow() override;
    std::optional<Dial> dial() override;
    void relayUnreachable(const std::string &error) override;
    // A channel whenever the session runs: with no handshake, nothing says whether the relay
    // serves UDP but its answers.
    std::unique_ptr<DatagramChannel> openDatagrams(DatagramChannel::Receiver receiver) override;

private:
    void probe();
    void onEvents(Readiness ready) override;
    // Connected when there is no error.
    void probeEnded(const std::optional<TunnelError> &error);

    RelayMethod m_method;
    SocketAddress m_relay;
    Socket m_probe;
    EventLoop::Timer m_timer;
};

} // namespace corvane::tunnel
