// Feeds arbitrary bytes to the local proxies' decoders: the SOCKS5 greeting and request, the
// HTTP proxy's request head, a chunked request body and a response head. Whatever they accept
// names a destination that encodes, a head they rewrite ends in an empty line, and a body they
// keep is the bytes it began with.
#include "tunnel/proxy/HttpProxyRequest.h"
#include "tunnel/proxy/HttpRequestBody.h"
#include "tunnel/proxy/HttpResponseHead.h"
#include "tunnel/proxy/Socks5Request.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane::tunnel;
    const ByteView bytes(data, size);
    const Socks5Request::Greeting greeting = Socks5Request::parseGreeting(bytes);
    if (greeting.consumed > size)
        __builtin_trap();
    const Socks5Request::Request request =
        Socks5Request::parseRequest(bytes.subspan(greeting.consumed));
    if (request.step == Socks5Request::Step::Done) {
        Bytes encoded;
        request.target.encode(encoded);
        if (encoded.size() + 3 != request.consumed)
            __builtin_trap();
    }
    const HttpProxyRequest::Parsed head = HttpProxyRequest::parse(bytes);
    if (head.step == HttpProxyRequest::Step::Done &&
        (head.consumed > size ||
         (!head.tunnel && !head.forward.ends_with("Connection: close\r\n\r\n"))))
        __builtin_trap();
    HttpRequestBody body(HttpProxyRequest::Body::Chunked, 0);
    Bytes kept;
    if (body.transform(bytes, kept) &&
        (kept.size() > size || !std::equal(kept.begin(), kept.end(), bytes.begin())))
        __builtin_trap();
    HttpResponseHead response(nullptr);
    Bytes passed;
    response.transform(bytes.first(size / 2), passed);
    response.transform(bytes.subspan(size / 2), passed);
    return 0;
}
