#include "tunnel/relay/ChunkCodec.h"

#include <algorithm>
#include <utility>

namespace corvane::tunnel {

ChunkEncoder::ChunkEncoder(ByteView key) : m_aead(key, CounterAead::Role::Seal) {}

bool ChunkEncoder::transform(ByteView plain, Bytes &out)
{
    // An empty chunk would say nothing; some relays take it for an end.
    while (!plain.empty()) {
        const std::size_t size = std::min(plain.size(), kMaxPayload);
        const std::uint8_t length[2] = {static_cast<std::uint8_t>(size >> 8),
                                        static_cast<std::uint8_t>(size & 0xff)};
        m_aead.seal(length, out);
        m_aead.seal(plain.first(size), out);
        plain = plain.subspan(size);
    }
    return true;
}

ChunkDecoder::ChunkDecoder(ByteView key) : m_aead(key, CounterAead::Role::Open) {}

bool ChunkDecoder::transform(ByteView wire, Bytes &out)
{
    return run(wire, out, nullptr);
}

bool ChunkDecoder::decodeChunks(ByteView wire, const Chunk &chunk)
{
    Bytes plain;
    return run(wire, plain, &chunk);
}

bool ChunkDecoder::run(ByteView wire, Bytes &out, const Chunk *chunk)
{
    while (!wire.empty()) {
        if (!m_partial.empty() || wire.size() < m_expected) {
            m_partial.reserve(m_expected);
            const std::size_t take = std::min(wire.size(), m_expected - m_partial.size());
            append(m_partial, wire.first(take));
            wire = wire.subspan(take);
            if (m_partial.size() < m_expected)
                return true;
            const Bytes frame = std::exchange(m_partial, Bytes());
            if (!open(frame, out, chunk))
                return false;
            continue;
        }
        const std::size_t size = m_expected;
        if (!open(wire.first(size), out, chunk))
            return false;
        wire = wire.subspan(size);
    }
    return true;
}

bool ChunkDecoder::open(ByteView frame, Bytes &out, const Chunk *chunk)
{
    if (m_lengthNext) {
        std::uint8_t length[2];
        if (!m_aead.open(frame, length))
            return false;
        const std::size_t size = static_cast<std::size_t>(length[0] << 8 | length[1]);
        if (size > ChunkEncoder::kMaxPayload)
            return false;
        m_expected = size + CounterAead::kTagSize;
        m_lengthNext = false;
        return true;
    }
    m_expected = kSealedLength;
    m_lengthNext = true;
    const std::size_t start = out.size();
    out.resize(start + frame.size() - CounterAead::kTagSize);
    if (!m_aead.open(frame, out.data() + start))
        return false;
    if (!chunk)
        return true;
    const bool goOn = (*chunk)(ByteView(out).subspan(start));
    out.resize(start);
    return goOn;
}

} // namespace corvane::tunnel
