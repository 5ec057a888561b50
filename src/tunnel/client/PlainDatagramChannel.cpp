#include "tunnel/client/PlainDatagramChannel.h"

namespace corvane::tunnel {

std::unique_ptr<PlainDatagramChannel>
PlainDatagramChannel::open(EventLoop &loop, const SocketAddress &relay,
                           std::unique_ptr<DatagramCodec> codec, Receiver receiver,
                           RateLimitedLine::Log log)
{
    std::unique_ptr<PlainDatagramChannel> channel(new PlainDatagramChannel(
        loop, relay, std::move(codec), std::move(receiver), std::move(log)));
    const std::optional<SocketAddress> any =
        SocketAddress::parse(relay.family() == AF_INET6 ? "::" : "0.0.0.0", 0);
    std::variant<DatagramSocket, TunnelError> bound = DatagramSocket::bind(*any);
    std::optional<TunnelError> error;
    if (auto *socket = std::get_if<DatagramSocket>(&bound)) {
        channel->m_socket = std::move(*socket);
        channel->m_socket.watch(loop, *channel);
        error = channel->m_socket.want({true, false});
    } else {
        error = std::get<TunnelError>(bound);
    }
    if (error) {
        if (channel->m_log)
            channel->m_log("Cannot open a UDP socket to the relay " + relay.text() + ": " +
                           error->description);
        return nullptr;
    }
    return channel;
}

PlainDatagramChannel::PlainDatagramChannel(EventLoop &loop, const SocketAddress &relay,
                                           std::unique_ptr<DatagramCodec> codec, Receiver receiver,
                                           RateLimitedLine::Log log)
    : m_loop(loop), m_relay(relay), m_codec(std::move(codec)), m_receiver(std::move(receiver)),
      m_log(std::move(log))
{}

PlainDatagramChannel::~PlainDatagramChannel()
{
    m_badLine.flush(m_log, "Datagrams from the relay " + m_relay.text() + " dropped");
}

bool PlainDatagramChannel::send(const TargetAddress &destination, ByteView payload)
{
    // Not the loop's output buffer: the payload may be in it.
    m_packet.clear();
    if (!m_codec->seal(destination, payload, m_packet))
        return false;
    return m_socket.sendTo(m_packet, m_relay).done();
}

void PlainDatagramChannel::onEvents(Readiness)
{
    // One datagram a wake, as for the association's own socket.
    const std::span<std::uint8_t> input = m_loop.input();
    const DatagramSocket::Received received = m_socket.receiveFrom(input);
    // An ICMP error of an earlier send reads as a failure: it ends nothing.
    if (!received.result.done())
        return;
    if (!received.from.sameAs(m_relay)) {
        ++m_dropped;
        return;
    }
    take(input.first(received.result.count));
}

void PlainDatagramChannel::take(ByteView packet)
{
    OpenedDatagram opened = m_codec->open(packet);
    if (auto *datagram = std::get_if<Datagram>(&opened))
        return m_receiver(std::move(*datagram));
    ++m_dropped;
    m_badLine.note(m_loop.now(), m_log,
                   "Dropped a datagram from the relay " + m_relay.text() + ": it " +
                       describe(std::get<DatagramFault>(opened)));
}

} // namespace corvane::tunnel
