#include "tunnel/service/ServiceDatagramStream.h"

#include "tunnel/relay/DatagramCodec.h"
#include "tunnel/service/ServiceDatagram.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
constexpr std::size_t kLengthSize = 2;

std::size_t lengthOf(ByteView bytes)
{
    return static_cast<std::size_t>(bytes[0] << 8 | bytes[1]);
}
} // namespace

ServiceDatagramStream::ServiceDatagramStream(Reader reader) : m_helloNext(reader == Reader::Relay)
{}

void ServiceDatagramStream::encodeHello(const TunnelId &tunnel, Bytes &out)
{
    out.push_back(ServiceDatagram::kVersion);
    out.push_back(ServiceDatagram::kKind);
    append(out, tunnel);
}

bool ServiceDatagramStream::encode(ByteView packet, Bytes &out)
{
    if (packet.empty() || packet.size() > Datagram::kMaxSize)
        return false;
    out.push_back(static_cast<std::uint8_t>(packet.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(packet.size() & 0xff));
    append(out, packet);
    return true;
}

bool ServiceDatagramStream::takeHello(ByteView &wire)
{
    const std::size_t take = std::min(wire.size(), kHelloSize - m_partial.size());
    append(m_partial, wire.first(take));
    wire = wire.subspan(take);
    if ((!m_partial.empty() && m_partial[0] != ServiceDatagram::kVersion) ||
        (m_partial.size() > 1 && m_partial[1] != ServiceDatagram::kKind))
        return false;
    if (m_partial.size() == kHelloSize) {
        TunnelId tunnel{};
        std::copy_n(m_partial.begin() + 2, tunnel.size(), tunnel.begin());
        m_tunnel = tunnel;
        m_helloNext = false;
        Bytes().swap(m_partial);
    }
    return true;
}

bool ServiceDatagramStream::decode(ByteView wire, const Packet &packet)
{
    if (m_helloNext && !takeHello(wire))
        return false;
    while (!wire.empty()) {
        // A length split across segments is gathered first, then the packet it announces.
        if (m_partial.size() < kLengthSize) {
            const std::size_t take = std::min(wire.size(), kLengthSize - m_partial.size());
            append(m_partial, wire.first(take));
            wire = wire.subspan(take);
            if (m_partial.size() < kLengthSize)
                return true;
            const std::size_t length = lengthOf(m_partial);
            if (length == 0 || length > Datagram::kMaxSize)
                return false;
        }
        const std::size_t length = lengthOf(m_partial);
        const std::size_t have = m_partial.size() - kLengthSize;
        if (have == 0 && wire.size() >= length) {
            // The common case: the whole packet in this read, handed over without a copy.
            Bytes().swap(m_partial);
            if (!packet(wire.first(length)))
                return false;
            wire = wire.subspan(length);
            continue;
        }
        const std::size_t take = std::min(wire.size(), length - have);
        append(m_partial, wire.first(take));
        wire = wire.subspan(take);
        if (m_partial.size() - kLengthSize < length)
            return true;
        const Bytes whole = std::move(m_partial);
        m_partial = {};
        if (!packet(ByteView(whole).subspan(kLengthSize)))
            return false;
    }
    return true;
}

} // namespace corvane::tunnel
