#include "tunnel/proxy/Socks5UdpHeader.h"

namespace corvane::tunnel {

namespace {
constexpr std::size_t kFixedSize = 3;
} // namespace

OpenedDatagram Socks5UdpHeader::parse(ByteView datagram)
{
    if (datagram.size() > Datagram::kMaxSize)
        return DatagramFault::TooLarge;
    if (datagram.size() < kFixedSize || datagram[0] != 0 || datagram[1] != 0)
        return DatagramFault::Malformed;
    if (datagram[2] != 0)
        return DatagramFault::Fragmented;
    TargetAddress::Decoded decoded = TargetAddress::decode(datagram.subspan(kFixedSize));
    if (!decoded.address)
        return DatagramFault::Malformed;
    const ByteView data = datagram.subspan(kFixedSize + decoded.consumed);
    return Datagram{std::move(*decoded.address), Bytes(data.begin(), data.end())};
}

bool Socks5UdpHeader::build(const TargetAddress &source, ByteView payload, Bytes &out)
{
    const std::size_t start = out.size();
    out.insert(out.end(), kFixedSize, 0);
    source.encode(out);
    if (out.size() - start + payload.size() > Datagram::kMaxSize) {
        out.resize(start);
        return false;
    }
    append(out, payload);
    return true;
}

} // namespace corvane::tunnel
