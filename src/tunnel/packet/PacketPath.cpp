#include "tunnel/packet/PacketPath.h"

#include "tunnel/packet/PacketWriter.h"

namespace corvane::tunnel {

PacketPath::PacketPath(EventLoop &loop, TunDevice device, Settings settings, Handlers handlers)
    : m_loop(loop), m_device(std::move(device)), m_settings(settings),
      m_handlers(std::move(handlers)), m_flows(settings.flows)
{}

PacketPath::~PacketPath()
{
    m_loop.cancel(m_sweep);
}

std::optional<TunnelError> PacketPath::start()
{
    m_device.watch(m_loop, *this);
    if (auto error = m_device.want({true, false}))
        return error;
    scheduleSweep();
    return std::nullopt;
}

bool PacketPath::sendDatagram(const IpEndpoint &from, const IpEndpoint &to, ByteView payload)
{
    Bytes &packet = m_loop.output();
    if (!PacketWriter::udp(from, to, payload, packet))
        return false;
    return m_device.writePacket(packet).done();
}

std::optional<FlowTable::Flow> PacketPath::originalDestination(const SocketAddress &peer) const
{
    const std::optional<IpEndpoint> endpoint = IpEndpoint::of(peer);
    return endpoint ? m_flows.originalDestination(*endpoint) : std::nullopt;
}

void PacketPath::onEvents(Readiness)
{
    const std::span<std::uint8_t> buffer = m_loop.input();
    TunDevice::Offload offload;
    for (int read = 0; read < kBurst; ++read) {
        const IoResult result = m_device.readPacket(buffer, offload);
        if (result.outcome == IoResult::Outcome::WouldBlock)
            return;
        if (!result.done()) {
            fail(result.failed() ? TunnelError{"the TUN device cannot be read: " +
                                                   TunnelError::fromErrno(result.error).description,
                                               result.error}
                                 : TunnelError{"the TUN device was closed", 0});
            return;
        }
        carry(buffer.first(result.count), offload);
    }
}

void PacketPath::carry(std::span<std::uint8_t> packet, const TunDevice::Offload &offload)
{
    ++m_counters.packets;
    const auto decoded = IpPacket::decode(packet);
    const auto *ip = std::get_if<IpPacket>(&decoded);
    if (!ip) {
        ++m_counters.dropped;
        return;
    }
    if (ip->transport == IpPacket::Transport::Tcp) {
        carrySegment(packet, *ip, offload);
        return;
    }
    ++m_counters.datagrams;
    if (m_handlers.datagram)
        m_handlers.datagram(ip->source, ip->destination, ip->payload);
}

void PacketPath::carrySegment(std::span<std::uint8_t> packet, const IpPacket &decoded,
                              const TunDevice::Offload &offload)
{
    // The kernel leaves a TCP checksum pending only in its own place; any other is not ours to
    // complete.
    if (offload.pending && (offload.start != decoded.transportOffset ||
                            offload.offset != PacketWriter::kTcpChecksumAt)) {
        ++m_counters.dropped;
        return;
    }
    const IpEndpoint &listener = decoded.source.v6 ? m_settings.listener6 : m_settings.listener4;
    const Clock::time_point now = m_loop.now();
    const FlowTable::Flow *flow = nullptr;
    IpEndpoint source;
    IpEndpoint destination;
    if (decoded.source == listener) {
        flow = m_flows.fromListener(decoded.destination, decoded.tcpFlags, now);
        if (flow) {
            source = flow->destination;
            destination = flow->source;
        }
    } else {
        flow = m_flows.fromMachine(decoded.source, decoded.destination, decoded.tcpFlags, now);
        if (flow) {
            source = flow->peer;
            destination = listener;
        }
    }
    if (!flow) {
        ++m_counters.dropped;
        return;
    }
    ++m_counters.segments;
    PacketWriter::rewriteTcp(packet, decoded, source, destination, offload.pending);
    write(ByteView(packet).first(decoded.length), offload);
}

void PacketPath::write(ByteView packet, const TunDevice::Offload &offload)
{
    // The kernel takes or drops a packet at once; TCP retransmits what it dropped.
    if (!m_device.writePacket(packet, offload).done())
        ++m_counters.dropped;
}

void PacketPath::scheduleSweep()
{
    m_sweep = m_loop.after(m_settings.sweep, [this] {
        m_flows.expire(m_loop.now());
        scheduleSweep();
    });
}

void PacketPath::fail(const TunnelError &error)
{
    m_loop.cancel(m_sweep);
    m_device.close();
    if (m_handlers.failure)
        m_handlers.failure(error);
}

} // namespace corvane::tunnel
