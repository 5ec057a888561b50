#pragma once

#include "tunnel/client/ProxyContext.h"
#include "tunnel/engine/DatagramSocket.h"
#include "tunnel/engine/EventLoop.h"
#include "tunnel/relay/TargetAddress.h"

#include <deque>
#include <functional>
#include <optional>

namespace corvane::tunnel {

// One destination of a UDP association: its datagrams go through the relay (over the
// association's channel) or straight from a socket of the flow's own, a name being resolved
// here first. It ends once idle for the limits' time (shorter for DNS), either way.
class DatagramFlow final : private Watched
{
public:
    using Answer = std::function<void(const TargetAddress &source, ByteView payload)>;
    using Ended = std::function<void(DatagramFlow &flow)>;

    DatagramFlow(ProxyContext &context, TargetAddress destination, bool direct, Answer answer,
                 Ended ended);
    ~DatagramFlow();
    DatagramFlow(const DatagramFlow &) = delete;
    DatagramFlow &operator=(const DatagramFlow &) = delete;

    const TargetAddress &destination() const { return m_destination; }
    bool direct() const { return m_direct; }
    // A datagram went or came: the idle time starts again.
    void touch() { m_lastUsed = m_context.loop.now(); }
    // A direct flow's datagram, sent from its socket; what comes while a name is being
    // resolved waits (a few). The reason when it is dropped, empty otherwise.
    std::string sendDirect(ByteView payload);
    // Why the name could not be resolved or no socket could be had, once that happened: the
    // next datagram makes the flow anew.
    const std::optional<std::string> &failure() const { return m_failure; }

private:
    void onEvents(Readiness ready) override;
    void armIdle(EventLoop::Clock::duration in);
    void idleCheck();
    void resolved(const std::vector<SocketAddress> &addresses, const std::string &error);
    std::string openSocket();

    ProxyContext &m_context;
    TargetAddress m_destination;
    bool m_direct;
    Answer m_answer;
    Ended m_ended;
    EventLoop::Clock::duration m_idle;
    EventLoop::Clock::time_point m_lastUsed;
    EventLoop::Timer m_idleTimer;
    std::optional<SocketAddress> m_to;
    DatagramSocket m_socket;
    std::uint64_t m_lookup = 0;
    std::deque<Bytes> m_waiting;
    std::optional<std::string> m_failure;
};

} // namespace corvane::tunnel
