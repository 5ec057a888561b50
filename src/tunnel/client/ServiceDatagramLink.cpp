#include "tunnel/client/ServiceDatagramLink.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
// What the datagram connection holds for a relay that does not read; later packets are
// dropped, as UDP would drop them.
constexpr std::size_t kMaxStreamBacklog = 1024 * 1024;
} // namespace

class ServiceDatagramLink::Channel final : public DatagramChannel
{
public:
    Channel(ServiceDatagramLink &link, Receiver receiver)
        : m_link(&link), m_receiver(std::move(receiver))
    {}
    ~Channel() override
    {
        if (m_link)
            m_link->forget(*this);
    }

    bool send(const TargetAddress &destination, ByteView payload) override
    {
        if (!m_link)
            return false;
        if (destination.kind == TargetAddress::Kind::Domain)
            m_namePorts.insert(destination.port);
        else
            m_destinations.insert(destination.text());
        return m_link->send(*this, destination, payload);
    }

    bool sentTo(const TargetAddress &source) const
    {
        return m_destinations.contains(source.text()) || m_namePorts.contains(source.port);
    }

    ServiceDatagramLink *m_link;
    Receiver m_receiver;

private:
    std::set<std::string> m_destinations;
    std::set<std::uint16_t> m_namePorts;
};

ServiceDatagramLink::ServiceDatagramLink(EventLoop &loop, const SocketAddress &relay,
                                         const ServiceKeys::Key &tunnelKey, const TunnelId &tunnel,
                                         Path path, RateLimitedLine::Log log)
    : m_loop(loop), m_relay(relay), m_codec(tunnelKey, tunnel, ServiceDatagram::End::Client),
      m_tunnel(tunnel), m_path(path), m_log(std::move(log))
{
    m_udpEnd.owner = this;
    m_streamEnd.owner = this;
}

ServiceDatagramLink::~ServiceDatagramLink()
{
    m_loop.cancel(m_udpWait);
    m_droppedLine.flush(m_log, "Datagrams from the relay dropped");
    for (Channel *channel : m_channels)
        channel->m_link = nullptr;
}

std::unique_ptr<DatagramChannel> ServiceDatagramLink::open(DatagramChannel::Receiver receiver)
{
    auto channel = std::make_unique<Channel>(*this, std::move(receiver));
    m_channels.insert(channel.get());
    return channel;
}

void ServiceDatagramLink::forget(Channel &channel)
{
    m_channels.erase(&channel);
}

bool ServiceDatagramLink::send(Channel &, const TargetAddress &destination, ByteView payload)
{
    // Not the loop's output buffer: the payload may be in it.
    m_packet.clear();
    if (!m_codec.seal(destination, payload, m_packet))
        return false;
    return m_path == Path::Udp ? sendUdp(m_packet) : sendStream(m_packet);
}

bool ServiceDatagramLink::sendUdp(ByteView packet)
{
    if (!m_udp.isOpen()) {
        std::variant<DatagramSocket, TunnelError> connected = DatagramSocket::connect(m_relay);
        if (!std::holds_alternative<DatagramSocket>(connected))
            return false;
        m_udp = std::get<DatagramSocket>(std::move(connected));
        m_udp.watch(m_loop, m_udpEnd);
        if (m_udp.want({true, false})) {
            m_udp.close();
            return false;
        }
    }
    if (!m_udpAnswered && !m_udpWait)
        m_udpWait = m_loop.after(kUdpAnswerWithin, [this] {
            m_udpWait = {};
            fallBack();
        });
    return m_udp.send(packet).done();
}

void ServiceDatagramLink::fallBack()
{
    if (m_udpAnswered)
        return;
    m_path = Path::Connection;
    m_udp.close();
}

bool ServiceDatagramLink::openStream()
{
    std::variant<Socket, TunnelError> connecting = Socket::connect(m_relay);
    if (!std::holds_alternative<Socket>(connecting))
        return false;
    m_stream = std::get<Socket>(std::move(connecting));
    m_stream.watch(m_loop, m_streamEnd);
    m_streamConnecting = true;
    m_streamReader.emplace(ServiceDatagramStream::Reader::Client);
    Bytes().swap(m_streamOut);
    ServiceDatagramStream::encodeHello(m_tunnel, m_streamOut);
    if (m_stream.want({false, true})) {
        closeStream();
        return false;
    }
    return true;
}

void ServiceDatagramLink::closeStream()
{
    m_stream.close();
    m_streamReader.reset();
    Bytes().swap(m_streamOut);
}

bool ServiceDatagramLink::sendStream(ByteView packet)
{
    if (!m_stream.isOpen() && !openStream())
        return false;
    if (m_streamOut.size() > kMaxStreamBacklog ||
        !ServiceDatagramStream::encode(packet, m_streamOut))
        return false;
    if (!m_streamConnecting)
        flushStream();
    return true;
}

void ServiceDatagramLink::flushStream()
{
    const IoResult written = m_stream.write(m_streamOut);
    if (written.failed())
        return closeStream();
    m_streamOut.erase(m_streamOut.begin(), m_streamOut.begin() + static_cast<long>(written.count));
    if (m_stream.want({true, !m_streamOut.empty()}))
        closeStream();
}

void ServiceDatagramLink::streamEvents(Readiness ready)
{
    if (m_streamConnecting) {
        if (m_stream.connectError())
            return closeStream();
        m_streamConnecting = false;
        return flushStream();
    }
    if (ready.writable && !m_streamOut.empty())
        flushStream();
    if (!m_stream.isOpen() || !ready.readable)
        return;
    const std::span<std::uint8_t> input = m_loop.input();
    const IoResult read = m_stream.read(input);
    if (read.outcome == IoResult::Outcome::WouldBlock)
        return;
    // A lost relay takes the connection along; the next datagram opens another.
    if (!read.done())
        return closeStream();
    const bool carried = m_streamReader->decode(input.first(read.count), [this](ByteView packet) {
        take(packet, Path::Connection);
        return m_stream.isOpen();
    });
    if (!carried)
        closeStream();
}

void ServiceDatagramLink::readUdp()
{
    const std::span<std::uint8_t> input = m_loop.input();
    for (int round = 0; round < 64 && m_udp.isOpen(); ++round) {
        const IoResult received = m_udp.receive(input);
        if (!received.done())
            return;
        take(input.first(received.count), Path::Udp);
    }
}

void ServiceDatagramLink::take(ByteView packet, Path via)
{
    OpenedDatagram opened = m_codec.open(packet);
    auto *datagram = std::get_if<Datagram>(&opened);
    if (!datagram) {
        ++m_dropped;
        m_droppedLine.note(m_loop.now(), m_log,
                           std::string("Dropped a datagram from the relay: it ") +
                               describe(std::get<DatagramFault>(opened)));
        return;
    }
    if (via == Path::Udp && !m_udpAnswered) {
        m_udpAnswered = true;
        m_loop.cancel(m_udpWait);
    }
    deliver(std::move(*datagram));
}

void ServiceDatagramLink::deliver(Datagram &&datagram)
{
    std::vector<Channel *> to;
    std::copy_if(m_channels.begin(), m_channels.end(), std::back_inserter(to),
                 [&](const Channel *channel) { return channel->sentTo(datagram.address); });
    for (std::size_t i = 0; i < to.size(); ++i) {
        // A receiver may end its association, and with it its channel.
        if (!m_channels.contains(to[i]))
            continue;
        if (i + 1 == to.size())
            to[i]->m_receiver(std::move(datagram));
        else
            to[i]->m_receiver(Datagram(datagram));
    }
}

} // namespace corvane::tunnel
