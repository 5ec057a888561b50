#pragma once

#include "tunnel/Bytes.h"

#include <optional>
#include <span>

namespace corvane::tunnel {

// One direction of a relay connection: plaintext to wire bytes on the way out (an encoder), or
// wire bytes to plaintext on the way in (a decoder).
class RelayCodec
{
public:
    virtual ~RelayCodec() = default;
    // Appends what `in` becomes to `out`. A decoder returns false when the bytes cannot be
    // this protocol's (a failed tag, an impossible length); the connection is then over.
    virtual bool transform(ByteView in, Bytes &out) = 0;
    // Where the bytes keep their length (a stream cipher's, once its IV is past), turns `data`
    // into what it becomes where it lies and returns it: one pass over the bytes, no copy.
    // Otherwise nothing, `data` untouched, and transform() is the way.
    virtual std::optional<std::span<std::uint8_t>> transformInPlace(std::span<std::uint8_t>)
    {
        return std::nullopt;
    }
};

} // namespace corvane::tunnel
