// Feeds arbitrary bytes to the relay forms' datagram decoders as packets arrive from a relay (or
// at the relay from a client): the AEAD and the stream form's packets, the service relay's
// packets, and its UDP-over-TCP stream read in pieces, each packet opened by one relay end so
// that the replay window sees them all. What opens seals again within the size limit.
#include "tunnel/relay/RelayMethod.h"
#include "tunnel/service/ServiceDatagram.h"
#include "tunnel/service/ServiceDatagramStream.h"

#include <cstddef>
#include <cstdint>

namespace {
using namespace corvane::tunnel;

void resealable(DatagramCodec &codec, const OpenedDatagram &opened)
{
    const auto *datagram = std::get_if<Datagram>(&opened);
    Bytes packet;
    if (datagram && !codec.seal(datagram->address, datagram->payload, packet))
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const RelayMethod stream(RelayMethod::Form::Stream, "fuzz");
    static const RelayMethod aead(RelayMethod::Form::Aead, "fuzz");
    const ServiceKeys::Key key{};
    const TunnelId tunnel{};
    const ByteView wire(data + 2, size - 2);
    std::unique_ptr<DatagramCodec> codec;
    switch (data[0] % 4) {
    case 0:
        codec = stream.datagrams();
        break;
    case 1:
        codec = aead.datagrams();
        break;
    case 2:
        codec = std::make_unique<ServiceDatagram>(key, tunnel, ServiceDatagram::End::Relay);
        break;
    default: {
        ServiceDatagram relay(key, tunnel, ServiceDatagram::End::Relay);
        ServiceDatagramStream reader(ServiceDatagramStream::Reader::Relay);
        const std::size_t piece = 1 + data[1] % 64;
        for (std::size_t at = 0; at < wire.size(); at += piece) {
            if (!reader.decode(wire.subspan(at, std::min(piece, wire.size() - at)),
                               [&relay](ByteView packet) {
                                   resealable(relay, relay.open(packet));
                                   return true;
                               }))
                break;
        }
        return 0;
    }
    }
    resealable(*codec, codec->open(wire));
    return 0;
}
