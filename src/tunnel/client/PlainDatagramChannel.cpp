#include "tunnel/client/PlainDatagramChannel.h"

namespace corvane::tunnel {

std::unique_ptr<PlainDatagramChannel>
PlainDatagramChannel::open(EventLoop &loop, const SocketAddress &relay,
                           std::unique_ptr<DatagramCodec> codec, Receiver receiver,
                           RateLimitedLine::Log log)
{
    std::unique_ptr<PlainDatagramChannel> channel(new PlainDatagramChannel(
        loop, relay, std::move(codec), std::move(receiver), std::move(log)));
    std::variant<DatagramSocket, TunnelError> connected = DatagramSocket::connect(relay);
    std::optional<TunnelError> error;
    if (auto *socket = std::get_if<DatagramSocket>(&connected)) {
        channel->m_socket = std::move(*socket);
        channel->m_socket.watch(loop, *channel);
        error = channel->m_socket.want({true, false});
    } else {
        error = std::get<TunnelError>(connected);
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
    return m_socket.send(m_packet).done();
}

void PlainDatagramChannel::onEvents(Readiness)
{
    // One datagram a wake, as for the association's own socket. The socket is connected, so
    // only the relay's datagrams reach it.
    const std::span<std::uint8_t> input = m_loop.input();
    const IoResult received = m_socket.receive(input);
    // An ICMP error of an earlier send reads as a failure: it ends nothing.
    if (received.done())
        take(input.first(received.count));
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
