// Feeds arbitrary bytes, in pieces, to the relay forms' decoders as they arrive from a relay
// (or at the relay from a client): the ChaCha20 stream, the AEAD form with its salt, and the
// sealed chunks of the service relay's connections; then reads a destination from what they
// let through. None may keep more than one frame's worth of bytes.
#include "tunnel/relay/ChunkCodec.h"
#include "tunnel/relay/RelayMethod.h"
#include "tunnel/relay/TargetAddress.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane::tunnel;
    if (size < 2)
        return 0;
    static const RelayMethod stream(RelayMethod::Form::Stream, "fuzz");
    static const RelayMethod aead(RelayMethod::Form::Aead, "fuzz");
    const std::array<std::uint8_t, 32> key{};
    std::unique_ptr<RelayCodec> decoder;
    switch (data[0] % 3) {
    case 0:
        decoder = stream.decoder();
        break;
    case 1:
        decoder = aead.decoder();
        break;
    default:
        decoder = std::make_unique<ChunkDecoder>(key);
        break;
    }
    const std::size_t piece = 1 + data[1] % 64;
    const ByteView wire(data + 2, size - 2);
    Bytes plain;
    for (std::size_t at = 0; at < wire.size(); at += piece) {
        if (!decoder->transform(wire.subspan(at, std::min(piece, wire.size() - at)), plain))
            break;
    }
    const TargetAddress::Decoded target = TargetAddress::decode(plain);
    if (target.address && target.consumed > plain.size())
        __builtin_trap();
    return 0;
}
