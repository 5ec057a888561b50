// Feeds arbitrary bytes to both sides' decoders of the service relay's handshake: the relay's
// reading of a client's hello and the client's reading of the relay's reply, and the control
// messages both exchange. What decodes encodes back to the same bytes.
#include "tunnel/service/ServiceHello.h"
#include "tunnel/service/ServiceMessage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane::tunnel;
    const ByteView bytes(data, size);
    const ServiceHello::Decoded hello = ServiceHello::decode(bytes);
    if (hello.hello) {
        Bytes again;
        hello.hello->encode(again);
        if (again.size() != hello.consumed || !std::equal(again.begin(), again.end(), data))
            __builtin_trap();
    }
    bool malformed = false;
    const std::optional<ServiceHelloReply> reply = ServiceHelloReply::decode(bytes, malformed);
    if (reply && malformed)
        __builtin_trap();
    if (const std::optional<ServiceMessage> message = ServiceMessage::decode(bytes)) {
        const Bytes again = message->encode();
        if (again.size() != size || !std::equal(again.begin(), again.end(), data))
            __builtin_trap();
    }
    return 0;
}
