#pragma once

#include "tunnel/Bytes.h"

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
};

} // namespace corvane::tunnel
