#include "tunnel/service/ServiceDatagram.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
const ServiceKeys::Key &sealing(const ServiceKeys &keys, ServiceDatagram::End end)
{
    return end == ServiceDatagram::End::Client ? keys.clientToRelay : keys.relayToClient;
}

const ServiceKeys::Key &opening(const ServiceKeys &keys, ServiceDatagram::End end)
{
    return end == ServiceDatagram::End::Client ? keys.relayToClient : keys.clientToRelay;
}
} // namespace

ServiceDatagram::ServiceDatagram(const ServiceKeys::Key &tunnelKey, const TunnelId &tunnel, End end)
    : ServiceDatagram(ServiceKeys::forDatagrams(tunnelKey, tunnel), tunnel, end)
{}

ServiceDatagram::ServiceDatagram(const ServiceKeys &keys, const TunnelId &tunnel, End end)
    : m_tunnel(tunnel), m_sealer(sealing(keys, end), PacketAead::Role::Seal),
      m_opener(opening(keys, end), PacketAead::Role::Open)
{}

bool ServiceDatagram::seal(const TargetAddress &address, ByteView payload, Bytes &out)
{
    Bytes plain;
    address.encode(plain);
    append(plain, payload);
    if (kOverhead + plain.size() > Datagram::kMaxSize || m_next == ReplayWindow::kNeverUsed)
        return false;
    const std::size_t start = out.size();
    out.push_back(kVersion);
    out.push_back(kKind);
    append(out, m_tunnel);
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(m_next >> shift));
    const Bytes header(out.begin() + static_cast<long>(start), out.end());
    m_sealer.seal(m_next++, header, plain, out);
    return true;
}

std::optional<TunnelId> ServiceDatagram::tunnelOf(ByteView packet)
{
    if (packet.size() < kOverhead || packet.size() > Datagram::kMaxSize || packet[0] != kVersion ||
        packet[1] != kKind)
        return std::nullopt;
    TunnelId tunnel{};
    std::copy_n(packet.begin() + 2, tunnel.size(), tunnel.begin());
    return tunnel;
}

OpenedDatagram ServiceDatagram::open(ByteView packet)
{
    if (packet.size() > Datagram::kMaxSize)
        return DatagramFault::TooLarge;
    const std::optional<TunnelId> tunnel = tunnelOf(packet);
    if (!tunnel)
        return DatagramFault::Malformed;
    if (*tunnel != m_tunnel)
        return DatagramFault::OtherTunnel;
    std::uint64_t number = 0;
    for (std::uint8_t byte : packet.subspan(2 + m_tunnel.size(), 8))
        number = number << 8 | byte;
    if (!m_window.isNew(number))
        return DatagramFault::Replayed;
    const ByteView sealed = packet.subspan(kHeaderSize);
    Bytes plain(sealed.size() - PacketAead::kTagSize);
    if (!m_opener.open(number, packet.first(kHeaderSize), sealed, plain.data()))
        return DatagramFault::DoesNotOpen;
    m_window.take(number);
    return fromPlain(plain);
}

} // namespace corvane::tunnel
