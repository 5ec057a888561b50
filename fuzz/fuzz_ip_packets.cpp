// Feeds arbitrary bytes to the packet path's decoder, as a read from the TUN device. A TCP
// segment whose checksums were right stays right through the NAT's rewrite, and a UDP datagram
// built back from what was decoded decodes to the same endpoints and payload.
#include "tunnel/packet/Checksum.h"
#include "tunnel/packet/IpPacket.h"
#include "tunnel/packet/PacketWriter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {
using namespace corvane::tunnel;

bool ipv4HeaderRight(ByteView packet)
{
    Checksum sum;
    sum.add(packet.first(20));
    return sum.value() == 0;
}

void rewriteKeepsChecksums(const IpPacket &packet, ByteView bytes)
{
    Bytes copy(bytes.begin(), bytes.begin() + std::ptrdiff_t(packet.length));
    const bool transportRight = PacketWriter::transportChecksum(copy, packet) == 0;
    const bool headerRight = packet.source.v6 || ipv4HeaderRight(copy);
    IpEndpoint peer = packet.destination;
    peer.address[0] ^= 0x5a;
    peer.port = 10000;
    IpEndpoint listener = packet.source;
    listener.address[3] ^= 0xa5;
    listener.port = 7070;
    PacketWriter::rewriteTcp(copy, packet, peer, listener);
    const auto again = IpPacket::decode(copy);
    const auto *rewritten = std::get_if<IpPacket>(&again);
    if (!rewritten || rewritten->source != peer || rewritten->destination != listener ||
        (transportRight && PacketWriter::transportChecksum(copy, *rewritten) != 0) ||
        (headerRight && !packet.source.v6 && !ipv4HeaderRight(copy)))
        __builtin_trap();
}

void datagramBuildsBack(const IpPacket &packet)
{
    Bytes built;
    if (!PacketWriter::udp(packet.source, packet.destination, packet.payload, built))
        __builtin_trap();
    const auto again = IpPacket::decode(built);
    const auto *datagram = std::get_if<IpPacket>(&again);
    if (!datagram || datagram->source != packet.source ||
        datagram->destination != packet.destination ||
        !std::equal(datagram->payload.begin(), datagram->payload.end(), packet.payload.begin(),
                    packet.payload.end()) ||
        PacketWriter::transportChecksum(built, *datagram) != 0)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ByteView bytes(data, size);
    const auto decoded = IpPacket::decode(bytes);
    const auto *packet = std::get_if<IpPacket>(&decoded);
    if (!packet)
        return 0;
    if (packet->length > size || packet->payload.data() + packet->payload.size() > data + size)
        __builtin_trap();
    if (packet->transport == IpPacket::Transport::Tcp)
        rewriteKeepsChecksums(*packet, bytes);
    else
        datagramBuildsBack(*packet);
    return 0;
}
