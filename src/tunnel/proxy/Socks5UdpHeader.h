#pragma once

#include "tunnel/relay/DatagramCodec.h"

namespace corvane::tunnel {

// The header of RFC 1928 section 7 ahead of every datagram between a SOCKS5 client and the
// proxy's UDP relay port, both ways: RSV (2 zero bytes), FRAG, then the address form (ATYP,
// DST.ADDR, DST.PORT), then DATA.
class Socks5UdpHeader final
{
public:
    Socks5UdpHeader() = delete;

    // A client's datagram: its destination and data. Fragmented for a FRAG other than 0 (no
    // fragment is reassembled), TooLarge over Datagram::kMaxSize, Malformed for a reserved byte
    // other than 0 or a header that is not whole.
    static OpenedDatagram parse(ByteView datagram);
    // Appends the datagram that carries `payload` from `source` back to the client; false, with
    // `out` as it was, when it would exceed Datagram::kMaxSize.
    static bool build(const TargetAddress &source, ByteView payload, Bytes &out);
};

} // namespace corvane::tunnel
