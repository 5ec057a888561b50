#pragma once

#include "tunnel/crypto/CounterAead.h"
#include "tunnel/relay/RelayCodec.h"

#include <functional>

namespace corvane::tunnel {

// Sealed chunks, the AEAD relay form's framing: [2-byte length, sealed][payload, sealed], the
// length big-endian and at most kMaxPayload, every seal with the direction's next nonce.
class ChunkEncoder final : public RelayCodec
{
public:
    static constexpr std::size_t kMaxPayload = 0x3fff;

    explicit ChunkEncoder(ByteView key);
    bool transform(ByteView plain, Bytes &out) override;

private:
    CounterAead m_aead;
};

class ChunkDecoder final : public RelayCodec
{
public:
    static constexpr std::size_t kSealedLength = 2 + CounterAead::kTagSize;

    using Chunk = std::function<bool(ByteView payload)>;

    explicit ChunkDecoder(ByteView key);
    bool transform(ByteView wire, Bytes &out) override;
    // As decode, but hands over each chunk's payload on its own; `chunk` returns false to stop.
    bool decodeChunks(ByteView wire, const Chunk &chunk);

private:
    bool run(ByteView wire, Bytes &out, const Chunk *chunk);
    bool open(ByteView frame, Bytes &out, const Chunk *chunk);

    CounterAead m_aead;
    // A frame that the wire has only partly delivered; empty (and without storage) between
    // frames, so an idle connection holds no buffer.
    Bytes m_partial;
    std::size_t m_expected = kSealedLength;
    bool m_lengthNext = true;
};

} // namespace corvane::tunnel
