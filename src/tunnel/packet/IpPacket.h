#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/packet/IpEndpoint.h"

#include <cstdint>
#include <variant>

namespace corvane::tunnel {

// Why a packet read from the device is not carried. The packets come from the machine's own
// stack, so anything but a whole, unfragmented TCP segment or UDP datagram without IP options
// or IPv6 extension headers is dropped rather than half understood.
enum class PacketFault
{
    // Shorter than its headers say, or than a header at all.
    Truncated,
    // Neither IPv4 nor IPv6.
    NotIp,
    // IPv4 options: carried by nothing the machine sends through the path.
    Options,
    // A fragment (IPv4 more-fragments or offset, an IPv6 fragment header): not reassembled.
    Fragment,
    // Any IPv6 extension header other than a fragment's.
    ExtensionHeader,
    // ICMP and every transport but TCP and UDP.
    Protocol,
    // A header whose own lengths contradict each other.
    Malformed,
};

// One IPv4 or IPv6 packet carrying TCP or UDP, as decoded from the bytes it views.
struct IpPacket
{
    enum class Transport : std::uint8_t
    {
        Tcp = 6,
        Udp = 17,
    };
    static constexpr std::uint8_t kFin = 0x01;
    static constexpr std::uint8_t kSyn = 0x02;
    static constexpr std::uint8_t kRst = 0x04;
    static constexpr std::uint8_t kAck = 0x10;

    Transport transport = Transport::Tcp;
    IpEndpoint source;
    IpEndpoint destination;
    // The packet's own length by its IP header: bytes past it in the read are not its.
    std::size_t length = 0;
    std::size_t transportOffset = 0;
    std::uint8_t tcpFlags = 0;
    // What follows the TCP or UDP header.
    ByteView payload;

    static std::variant<IpPacket, PacketFault> decode(ByteView bytes);

    bool has(std::uint8_t flag) const { return (tcpFlags & flag) != 0; }
};

} // namespace corvane::tunnel
