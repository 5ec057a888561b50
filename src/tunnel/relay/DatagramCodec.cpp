#include "tunnel/relay/DatagramCodec.h"

namespace corvane::tunnel {

OpenedDatagram DatagramCodec::fromPlain(ByteView plain)
{
    TargetAddress::Decoded decoded = TargetAddress::decode(plain);
    if (!decoded.address)
        return DatagramFault::Malformed;
    return Datagram{std::move(*decoded.address),
                    Bytes(plain.begin() + static_cast<long>(decoded.consumed), plain.end())};
}

} // namespace corvane::tunnel
