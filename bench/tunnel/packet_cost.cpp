// The packet path's own cost per packet, for callgrind (scripts/measure-packet-path.sh): a
// fixed count of full-sized TCP segments through PacketPath::carry, one way and back, against
// the same NAT with the checksum computed afresh over each segment (what a path pays that
// cannot update it, and the least a TCP stack of its own pays, since it must check every
// segment), and the relay's AEAD sealing of the same payload, which every way pays.
//
//     packet_cost nat|recompute|seal COUNT
#include "tunnel/packet/Checksum.h"
#include "tunnel/packet/PacketPath.h"
#include "tunnel/packet/PacketWriter.h"
#include "tunnel/relay/RelayMethod.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

using namespace corvane::tunnel;

namespace {
constexpr std::size_t kFlows = 1024;
constexpr std::size_t kPayload = 1400;

IpEndpoint endpoint(const char *host, std::uint16_t port)
{
    return *IpEndpoint::of(*SocketAddress::parse(host, port));
}

// An IPv4 TCP segment with right checksums, as the machine's stack writes it.
Bytes segment(const IpEndpoint &from, const IpEndpoint &to, std::uint8_t flags, std::size_t size)
{
    Bytes packet(40 + size, 0x5a);
    packet[0] = 0x45;
    packet[2] = std::uint8_t(packet.size() >> 8);
    packet[3] = std::uint8_t(packet.size());
    std::memset(&packet[4], 0, 16);
    packet[6] = 0x40;
    packet[8] = 64;
    packet[9] = 6;
    std::copy_n(from.address.begin(), 4, &packet[12]);
    std::copy_n(to.address.begin(), 4, &packet[16]);
    Checksum header;
    header.add(ByteView(packet).first(20));
    packet[10] = std::uint8_t(header.value() >> 8);
    packet[11] = std::uint8_t(header.value());
    std::memset(&packet[20], 0, 20);
    packet[20] = std::uint8_t(from.port >> 8);
    packet[21] = std::uint8_t(from.port);
    packet[22] = std::uint8_t(to.port >> 8);
    packet[23] = std::uint8_t(to.port);
    packet[32] = 0x50;
    packet[33] = flags;
    packet[34] = 0xff;
    const auto decoded = std::get<IpPacket>(IpPacket::decode(packet));
    const std::uint16_t checksum = PacketWriter::transportChecksum(packet, decoded);
    packet[36] = std::uint8_t(checksum >> 8);
    packet[37] = std::uint8_t(checksum);
    return packet;
}

int usage()
{
    std::fprintf(stderr, "usage: packet_cost nat|recompute|seal COUNT\n");
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return usage();
    const std::string_view mode = argv[1];
    const long count = std::atol(argv[2]);

    PacketPath::Settings settings;
    settings.listener4 = endpoint("198.18.0.1", 7070);
    settings.listener6 = endpoint("fd00:c0a7::1", 7070);
    settings.flows.peer4 = endpoint("198.18.0.2", 0);
    settings.flows.peer6 = endpoint("fd00:c0a7::2", 0);
    EventLoop loop;
    const int sink = open("/dev/null", O_WRONLY);
    PacketPath path(loop, std::get<TunDevice>(TunDevice::adopt(open("/dev/null", O_WRONLY))),
                    settings, {});
    FlowTable table(settings.flows);
    const IpEndpoint server = endpoint("198.19.7.9", 443);
    std::vector<Bytes> outbound;
    std::vector<Bytes> replies;
    for (std::size_t flow = 0; flow < kFlows; ++flow) {
        const IpEndpoint machine = endpoint("198.18.0.1", std::uint16_t(40000 + flow));
        Bytes syn = segment(machine, server, IpPacket::kSyn, 0);
        path.carry(syn);
        const IpEndpoint peer = table.fromMachine(machine, server, IpPacket::kSyn, {})->peer;
        outbound.push_back(segment(machine, server, IpPacket::kAck, kPayload));
        replies.push_back(segment(settings.listener4, peer, IpPacket::kAck, kPayload));
    }

    Bytes packet(40 + kPayload);
    Bytes sealed;
    const std::unique_ptr<RelayCodec> relay =
        RelayMethod(RelayMethod::Form::Aead, "bench-password").encoder();
    for (long i = 0; i < count; ++i) {
        const Bytes &from = (i & 1 ? replies : outbound)[std::size_t(i / 2) % kFlows];
        std::copy(from.begin(), from.end(), packet.begin());
        if (mode == "nat") {
            path.carry(packet);
        } else if (mode == "recompute") {
            const auto decoded = std::get<IpPacket>(IpPacket::decode(packet));
            const bool reply = i & 1;
            const FlowTable::Flow *flow =
                reply
                    ? table.fromListener(decoded.destination, decoded.tcpFlags, {})
                    : table.fromMachine(decoded.source, decoded.destination, decoded.tcpFlags, {});
            const IpEndpoint &source = reply ? flow->destination : flow->peer;
            const IpEndpoint &destination = reply ? flow->source : settings.listener4;
            std::copy_n(source.address.begin(), 4, &packet[12]);
            std::copy_n(destination.address.begin(), 4, &packet[16]);
            packet[20] = std::uint8_t(source.port >> 8);
            packet[21] = std::uint8_t(source.port);
            packet[22] = std::uint8_t(destination.port >> 8);
            packet[23] = std::uint8_t(destination.port);
            packet[10] = packet[11] = packet[36] = packet[37] = 0;
            Checksum header;
            header.add(ByteView(packet).first(20));
            packet[10] = std::uint8_t(header.value() >> 8);
            packet[11] = std::uint8_t(header.value());
            const std::uint16_t checksum = PacketWriter::transportChecksum(packet, decoded);
            packet[36] = std::uint8_t(checksum >> 8);
            packet[37] = std::uint8_t(checksum);
            if (write(sink, packet.data(), decoded.length) < 0)
                return 1;
        } else if (mode == "seal") {
            sealed.clear();
            relay->transform(ByteView(packet).subspan(40), sealed);
        } else {
            return usage();
        }
    }
    std::printf("%s: %ld packets, %llu dropped\n", argv[1], count,
                static_cast<unsigned long long>(path.counters().dropped));
    return 0;
}
