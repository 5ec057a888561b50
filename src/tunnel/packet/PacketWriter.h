#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/packet/IpPacket.h"

#include <span>

namespace corvane::tunnel {

// What the packet path writes into the device: a TCP segment with its addresses and ports
// rewritten in place, and UDP datagrams it makes whole.
class PacketWriter final
{
public:
    // Where TCP keeps its checksum, from the start of its header.
    static constexpr std::size_t kTcpChecksumAt = 16;

    PacketWriter() = delete;

    // Puts `source` and `destination` (of the packet's family) into the TCP segment `packet`
    // decoded as `decoded`, and updates the IPv4 header's and the TCP checksums for the change
    // alone: a segment that arrived with a wrong checksum keeps it wrong, and the receiving
    // stack drops it as it would have. When `checksumPending`, the kernel completes the TCP
    // checksum later (TunDevice::Offload): its field holds the pseudo-header's sum, kept right
    // for the new addresses.
    static void rewriteTcp(std::span<std::uint8_t> packet, const IpPacket &decoded,
                           const IpEndpoint &source, const IpEndpoint &destination,
                           bool checksumPending = false);
    // Appends an IPv4 or IPv6 packet carrying `payload` from `source` to `destination`, with
    // every checksum computed; false, with `out` as it was, for endpoints of two families or a
    // payload that does not fit one unfragmented packet.
    [[nodiscard]] static bool udp(const IpEndpoint &source, const IpEndpoint &destination,
                                  ByteView payload, Bytes &out);
    // The checksum over the pseudo-header of `decoded` and its transport header and payload as
    // they stand in `packet`: 0 when the checksum field in place is right.
    static std::uint16_t transportChecksum(ByteView packet, const IpPacket &decoded);
};

} // namespace corvane::tunnel
