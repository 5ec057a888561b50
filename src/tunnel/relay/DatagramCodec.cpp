#include "tunnel/relay/DatagramCodec.h"

namespace corvane::tunnel {

const char *describe(DatagramFault fault)
{
    switch (fault) {
    case DatagramFault::TooLarge:
        return "is over 65,507 bytes";
    case DatagramFault::Malformed:
        return "is malformed";
    case DatagramFault::Fragmented:
        return "is a fragment";
    case DatagramFault::DoesNotOpen:
        return "does not open";
    case DatagramFault::OtherTunnel:
        return "is of another tunnel";
    case DatagramFault::Replayed:
        return "is replayed";
    }
    return "is not a datagram";
}

OpenedDatagram DatagramCodec::fromPlain(ByteView plain)
{
    TargetAddress::Decoded decoded = TargetAddress::decode(plain);
    if (!decoded.address)
        return DatagramFault::Malformed;
    return Datagram{std::move(*decoded.address),
                    Bytes(plain.begin() + static_cast<long>(decoded.consumed), plain.end())};
}

} // namespace corvane::tunnel
