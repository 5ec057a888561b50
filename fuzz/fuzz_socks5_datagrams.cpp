// Feeds arbitrary bytes to the SOCKS5 UDP header decoder, as a local client's datagram. What
// it accepts builds back to the same bytes; what it refuses it refuses for a named reason.
#include "tunnel/proxy/Socks5UdpHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane::tunnel;
    const ByteView bytes(data, size);
    const OpenedDatagram parsed = Socks5UdpHeader::parse(bytes);
    if (const auto *datagram = std::get_if<Datagram>(&parsed)) {
        Bytes again;
        if (!Socks5UdpHeader::build(datagram->address, datagram->payload, again) ||
            again.size() != size || !std::equal(again.begin(), again.end(), data))
            __builtin_trap();
    } else if (std::get<DatagramFault>(parsed) == DatagramFault::Fragmented && data[2] == 0) {
        __builtin_trap();
    }
    return 0;
}
