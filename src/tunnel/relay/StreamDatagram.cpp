#include "tunnel/relay/StreamDatagram.h"

#include "tunnel/crypto/ChaCha20Stream.h"
#include "tunnel/crypto/KeyDerivation.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
constexpr std::size_t kIvSize = ChaCha20Stream::kNonceSize;
} // namespace

StreamDatagram::StreamDatagram(ByteView key)
{
    std::copy_n(key.begin(), m_key.size(), m_key.begin());
}

bool StreamDatagram::seal(const TargetAddress &address, ByteView payload, Bytes &out)
{
    const std::size_t start = out.size();
    out.resize(start + kIvSize);
    KeyDerivation::random(std::span(out).subspan(start, kIvSize));
    address.encode(out);
    append(out, payload);
    if (out.size() - start > Datagram::kMaxSize) {
        out.resize(start);
        return false;
    }
    const std::span<std::uint8_t> plain = std::span(out).subspan(start + kIvSize);
    ChaCha20Stream(m_key, std::span(out).subspan(start, kIvSize)).apply(plain, plain.data());
    return true;
}

OpenedDatagram StreamDatagram::open(ByteView packet)
{
    if (packet.size() > Datagram::kMaxSize)
        return DatagramFault::TooLarge;
    if (packet.size() <= kIvSize)
        return DatagramFault::Malformed;
    const ByteView wire = packet.subspan(kIvSize);
    Bytes plain(wire.size());
    ChaCha20Stream(m_key, packet.first(kIvSize)).apply(wire, plain.data());
    return fromPlain(plain);
}

} // namespace corvane::tunnel
