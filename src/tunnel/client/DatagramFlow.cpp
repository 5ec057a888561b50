#include "tunnel/client/DatagramFlow.h"

#include "tunnel/engine/Resolver.h"

namespace corvane::tunnel {

namespace {
// Datagrams held while the name is resolved; a client that sends faster loses the rest, as
// UDP would lose them.
constexpr std::size_t kMaxWaiting = 16;
constexpr std::uint16_t kDnsPort = 53;
} // namespace

DatagramFlow::DatagramFlow(ProxyContext &context, TargetAddress destination, bool direct,
                           Answer answer, Ended ended)
    : m_context(context), m_destination(std::move(destination)), m_direct(direct),
      m_answer(std::move(answer)), m_ended(std::move(ended)),
      m_idle(m_destination.port == kDnsPort ? context.limits.dnsDatagramIdle
                                            : context.limits.datagramIdle),
      m_lastUsed(context.loop.now())
{
    ++m_context.datagramFlows;
    armIdle(m_idle);
}

DatagramFlow::~DatagramFlow()
{
    --m_context.datagramFlows;
    m_context.loop.cancel(m_idleTimer);
    if (m_lookup)
        m_context.resolver.cancel(m_lookup);
}

void DatagramFlow::armIdle(EventLoop::Clock::duration in)
{
    // One timer a flow, moved on only when it fires: a datagram just notes the time.
    m_idleTimer = m_context.loop.after(in, [this] {
        m_idleTimer = {};
        idleCheck();
    });
}

void DatagramFlow::idleCheck()
{
    const auto idleFor = m_context.loop.now() - m_lastUsed;
    if (idleFor < m_idle)
        return armIdle(m_idle - idleFor);
    // The owner destroys the flow: nothing of it may be touched after this.
    m_ended(*this);
}

std::string DatagramFlow::sendDirect(ByteView payload)
{
    touch();
    if (!m_to && !m_lookup) {
        m_to = SocketAddress::of(m_destination);
        if (!m_to) {
            m_lookup = m_context.resolver.resolve(
                m_destination.name, m_destination.port,
                [this](const std::vector<SocketAddress> &addresses, const std::string &error) {
                    resolved(addresses, error);
                });
        } else if (std::string problem = openSocket(); !problem.empty()) {
            return problem;
        }
    }
    if (m_lookup) {
        if (m_waiting.size() >= kMaxWaiting)
            return "too many wait for the name to be resolved";
        m_waiting.emplace_back(payload.begin(), payload.end());
        return {};
    }
    const IoResult sent = m_socket.send(payload);
    return sent.done() ? std::string() : TunnelError::fromErrno(sent.error).description;
}

std::string DatagramFlow::openSocket()
{
    std::variant<DatagramSocket, TunnelError> connected = DatagramSocket::connect(*m_to);
    std::optional<TunnelError> error;
    if (auto *socket = std::get_if<DatagramSocket>(&connected)) {
        m_socket = std::move(*socket);
        m_socket.watch(m_context.loop, *this);
        error = m_socket.want({true, false});
    } else {
        error = std::get<TunnelError>(connected);
    }
    if (!error)
        return {};
    m_socket.close();
    m_failure = "cannot open a socket: " + error->description;
    return *m_failure;
}

void DatagramFlow::resolved(const std::vector<SocketAddress> &addresses, const std::string &error)
{
    m_lookup = 0;
    std::deque<Bytes> waiting = std::exchange(m_waiting, {});
    if (addresses.empty()) {
        m_failure = "cannot resolve the name: " + error;
        return;
    }
    m_to = addresses.front();
    if (!openSocket().empty())
        return;
    for (const Bytes &payload : waiting)
        m_socket.send(payload);
}

void DatagramFlow::onEvents(Readiness)
{
    // One datagram a wake, as for the association's own socket.
    const std::span<std::uint8_t> input = m_context.loop.input();
    // An ICMP error of an earlier send reads as a failure: it ends nothing. The socket is
    // connected, so only the destination answers into the flow.
    const IoResult received = m_socket.receive(input);
    if (!received.done())
        return;
    touch();
    const std::optional<TargetAddress> source = TargetAddress::fromHost(m_to->host(), m_to->port());
    m_answer(*source, input.first(received.count));
}

} // namespace corvane::tunnel
