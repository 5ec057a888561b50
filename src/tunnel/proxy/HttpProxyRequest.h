#pragma once

#include "tunnel/relay/TargetAddress.h"

#include <string>

namespace corvane::tunnel {

// The head of a request to the HTTP proxy (RFC 9110, 9112): "CONNECT host:port", or a request
// with an absolute "http://" URI, which is passed on in origin form, without the hop-by-hop
// headers and with "Connection: close", so that each request is routed on a connection of its
// own and the destination ends the response by closing.
class HttpProxyRequest final
{
public:
    static constexpr std::size_t kMaxHead = 16 * 1024;
    static constexpr std::size_t kMaxHeaders = 100;

    enum class Step
    {
        Incomplete,
        Done,
        Refused
    };
    // How the body of an absolute-URI request ends (RFC 9112 6.3).
    enum class Body
    {
        None,
        Length,
        Chunked
    };

    struct Parsed
    {
        Step step = Step::Incomplete;
        // The bytes of the head, up to and including the empty line.
        std::size_t consumed = 0;
        // CONNECT: the client's bytes go through untouched after the proxy's answer.
        bool tunnel = false;
        TargetAddress target;
        // The head to send on instead of the client's (absolute-URI requests).
        std::string forward;
        Body body = Body::None;
        std::uint64_t bodyLength = 0;
        // The status a refused head is answered with (400, 431, 501), and why.
        int status = 0;
        std::string problem;
    };

    HttpProxyRequest() = delete;

    static Parsed parse(ByteView bytes);
    // A complete response without a body, "Connection: close".
    static std::string response(int status, std::string_view reason);
};

} // namespace corvane::tunnel
