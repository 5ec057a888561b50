#include "tunnel/packet/IpPacket.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
constexpr std::size_t kIpv4Header = 20;
constexpr std::size_t kIpv6Header = 40;
constexpr std::size_t kTcpHeader = 20;
constexpr std::size_t kUdpHeader = 8;

std::uint16_t wordAt(ByteView bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void copyAddress(ByteView bytes, std::size_t at, IpEndpoint &into)
{
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), into.addressLength(),
                into.address.begin());
}

// The IPv6 next-header values of extension headers (RFC 8200 section 4, RFC 4302, 4303, 5533).
bool isExtensionHeader(std::uint8_t next)
{
    switch (next) {
    case 0:
    case 43:
    case 50:
    case 51:
    case 60:
    case 135:
    case 139:
    case 140:
        return true;
    default:
        return false;
    }
}

std::variant<IpPacket, PacketFault> decodeTransport(ByteView bytes, IpPacket packet,
                                                    std::uint8_t protocol)
{
    const std::size_t at = packet.transportOffset;
    const std::size_t available = packet.length - at;
    if (protocol == std::uint8_t(IpPacket::Transport::Tcp)) {
        if (available < kTcpHeader)
            return PacketFault::Truncated;
        const std::size_t header = std::size_t(bytes[at + 12] >> 4) * 4;
        if (header < kTcpHeader || header > available)
            return PacketFault::Malformed;
        packet.transport = IpPacket::Transport::Tcp;
        packet.tcpFlags = bytes[at + 13];
        packet.payload = bytes.subspan(at + header, available - header);
    } else if (protocol == std::uint8_t(IpPacket::Transport::Udp)) {
        if (available < kUdpHeader)
            return PacketFault::Truncated;
        const std::size_t length = wordAt(bytes, at + 4);
        if (length < kUdpHeader || length > available)
            return PacketFault::Malformed;
        packet.transport = IpPacket::Transport::Udp;
        packet.payload = bytes.subspan(at + kUdpHeader, length - kUdpHeader);
    } else {
        return PacketFault::Protocol;
    }
    packet.source.port = wordAt(bytes, at);
    packet.destination.port = wordAt(bytes, at + 2);
    return packet;
}
} // namespace

std::variant<IpPacket, PacketFault> IpPacket::decode(ByteView bytes)
{
    if (bytes.empty())
        return PacketFault::Truncated;
    IpPacket packet;
    const int version = bytes[0] >> 4;
    if (version == 4) {
        if (bytes.size() < kIpv4Header)
            return PacketFault::Truncated;
        const std::size_t header = std::size_t(bytes[0] & 0x0f) * 4;
        if (header < kIpv4Header)
            return PacketFault::Malformed;
        if (header > kIpv4Header)
            return PacketFault::Options;
        packet.length = wordAt(bytes, 2);
        if (packet.length < header)
            return PacketFault::Malformed;
        if (packet.length > bytes.size())
            return PacketFault::Truncated;
        if ((wordAt(bytes, 6) & 0x3fff) != 0)
            return PacketFault::Fragment;
        packet.transportOffset = header;
        copyAddress(bytes, 12, packet.source);
        copyAddress(bytes, 16, packet.destination);
        return decodeTransport(bytes, packet, bytes[9]);
    }
    if (version == 6) {
        if (bytes.size() < kIpv6Header)
            return PacketFault::Truncated;
        packet.length = kIpv6Header + wordAt(bytes, 4);
        if (packet.length > bytes.size())
            return PacketFault::Truncated;
        const std::uint8_t next = bytes[6];
        if (next == 44)
            return PacketFault::Fragment;
        if (isExtensionHeader(next))
            return PacketFault::ExtensionHeader;
        packet.transportOffset = kIpv6Header;
        packet.source.v6 = packet.destination.v6 = true;
        copyAddress(bytes, 8, packet.source);
        copyAddress(bytes, 24, packet.destination);
        return decodeTransport(bytes, packet, next);
    }
    return PacketFault::NotIp;
}

} // namespace corvane::tunnel
