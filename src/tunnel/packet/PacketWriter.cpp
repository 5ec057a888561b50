#include "tunnel/packet/PacketWriter.h"

#include "tunnel/packet/Checksum.h"

#include <algorithm>
#include <array>

namespace corvane::tunnel {

namespace {
constexpr std::size_t kIpv4Header = 20;
constexpr std::size_t kIpv6Header = 40;
constexpr std::size_t kUdpHeader = 8;
constexpr std::size_t kIpv4Checksum = 10;
constexpr std::uint8_t kHopLimit = 64;

std::uint16_t wordAt(ByteView bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void putWord(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t word)
{
    bytes[at] = static_cast<std::uint8_t>(word >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(word);
}

std::size_t sourceAt(bool v6)
{
    return v6 ? 8 : 12;
}

// The words a TCP rewrite changes, in one run so one adjustment covers them: both addresses
// (which the pseudo-header and the IPv4 header share), then both ports.
struct Rewritten
{
    std::array<std::uint8_t, 36> bytes{};
    std::size_t addresses = 0;

    Rewritten(const IpEndpoint &source, const IpEndpoint &destination)
        : addresses(2 * source.addressLength())
    {
        const auto length = static_cast<std::ptrdiff_t>(source.addressLength());
        auto at = std::copy_n(source.address.begin(), length, bytes.begin());
        at = std::copy_n(destination.address.begin(), length, at);
        at[0] = static_cast<std::uint8_t>(source.port >> 8);
        at[1] = static_cast<std::uint8_t>(source.port);
        at[2] = static_cast<std::uint8_t>(destination.port >> 8);
        at[3] = static_cast<std::uint8_t>(destination.port);
    }
    ByteView all() const { return ByteView(bytes).first(addresses + 4); }
    ByteView addressPart() const { return ByteView(bytes).first(addresses); }
};

void addPseudoHeader(Checksum &sum, ByteView packet, const IpPacket &decoded,
                     std::size_t transportLength)
{
    const std::size_t length = decoded.source.addressLength();
    sum.add(packet.subspan(sourceAt(decoded.source.v6), 2 * length));
    sum.addWord(std::uint16_t(decoded.transport));
    sum.addWord(static_cast<std::uint16_t>(transportLength));
}
} // namespace

void PacketWriter::rewriteTcp(std::span<std::uint8_t> packet, const IpPacket &decoded,
                              const IpEndpoint &source, const IpEndpoint &destination,
                              bool checksumPending)
{
    const bool v6 = decoded.source.v6;
    const Rewritten before(decoded.source, decoded.destination);
    const Rewritten after(source, destination);
    const std::size_t tcp = decoded.transportOffset;
    const std::uint16_t field = wordAt(packet, tcp + kTcpChecksumAt);
    // A pending field holds the pseudo-header's sum itself, not its complement, and the ports
    // are summed when the checksum is completed.
    putWord(packet, tcp + kTcpChecksumAt,
            checksumPending ? static_cast<std::uint16_t>(
                                  ~Checksum::adjusted(static_cast<std::uint16_t>(~field),
                                                      before.addressPart(), after.addressPart()))
                            : Checksum::adjusted(field, before.all(), after.all()));
    if (!v6)
        putWord(packet, kIpv4Checksum,
                Checksum::adjusted(wordAt(packet, kIpv4Checksum), before.addressPart(),
                                   after.addressPart()));
    std::copy_n(after.bytes.begin(), after.addresses, packet.begin() + sourceAt(v6));
    std::copy_n(after.bytes.begin() + static_cast<std::ptrdiff_t>(after.addresses), 4,
                packet.begin() + static_cast<std::ptrdiff_t>(tcp));
}

bool PacketWriter::udp(const IpEndpoint &source, const IpEndpoint &destination, ByteView payload,
                       Bytes &out)
{
    const bool v6 = source.v6;
    const std::size_t header = v6 ? kIpv6Header : kIpv4Header;
    const std::size_t datagram = kUdpHeader + payload.size();
    if (v6 != destination.v6 || datagram + (v6 ? 0 : header) > 0xffff)
        return false;
    const std::size_t start = out.size();
    out.resize(start + header + datagram);
    const std::span<std::uint8_t> packet = std::span(out).subspan(start);
    const std::size_t length = source.addressLength();
    if (v6) {
        packet[0] = 0x60;
        putWord(packet, 4, static_cast<std::uint16_t>(datagram));
        packet[6] = std::uint8_t(IpPacket::Transport::Udp);
        packet[7] = kHopLimit;
    } else {
        packet[0] = 0x45;
        putWord(packet, 2, static_cast<std::uint16_t>(header + datagram));
        // Don't fragment: the datagram fits, and no identification is then needed.
        putWord(packet, 6, 0x4000);
        packet[8] = kHopLimit;
        packet[9] = std::uint8_t(IpPacket::Transport::Udp);
    }
    std::copy_n(source.address.begin(), length, packet.begin() + sourceAt(v6));
    std::copy_n(destination.address.begin(), length,
                packet.begin() + static_cast<std::ptrdiff_t>(sourceAt(v6) + length));
    if (!v6) {
        Checksum sum;
        sum.add(ByteView(packet).first(header));
        putWord(packet, kIpv4Checksum, sum.value());
    }
    putWord(packet, header, source.port);
    putWord(packet, header + 2, destination.port);
    putWord(packet, header + 4, static_cast<std::uint16_t>(datagram));
    std::copy(payload.begin(), payload.end(), packet.begin() + std::ptrdiff_t(header + kUdpHeader));

    IpPacket decoded;
    decoded.transport = IpPacket::Transport::Udp;
    decoded.source = source;
    decoded.length = packet.size();
    decoded.transportOffset = header;
    const std::uint16_t checksum = transportChecksum(packet, decoded);
    // A computed zero is sent as all ones: zero says "no checksum" (RFC 768), and IPv6
    // forbids it.
    putWord(packet, header + 6, checksum == 0 ? 0xffff : checksum);
    return true;
}

std::uint16_t PacketWriter::transportChecksum(ByteView packet, const IpPacket &decoded)
{
    const ByteView transport =
        packet.subspan(decoded.transportOffset, decoded.length - decoded.transportOffset);
    Checksum sum;
    addPseudoHeader(sum, packet, decoded, transport.size());
    sum.add(transport);
    return sum.value();
}

} // namespace corvane::tunnel
