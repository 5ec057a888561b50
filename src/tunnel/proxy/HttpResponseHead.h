#pragma once

#include "tunnel/relay/RelayCodec.h"

#include <memory>

namespace corvane::tunnel {

// The destination's side of an absolute-URI request on its way to the client. The final
// response head (after any interim 1xx heads) says "Connection: close" and "Proxy-Connection:
// close" in place of the destination's connection headers, so that a client that would keep
// the connection alive knows it ends with this response and asks again on a new one; the body
// follows as it comes, ended by the destination closing, as the forwarded request asked. What
// arrives goes through the relay's decoder first when there is one.
class HttpResponseHead final : public RelayCodec
{
public:
    static constexpr std::size_t kMaxHead = 64 * 1024;

    explicit HttpResponseHead(std::unique_ptr<RelayCodec> inner);

    bool transform(ByteView in, Bytes &out) override;

private:
    enum class State
    {
        Head,
        Body,
        // The head could not be read: the client has its 502, the rest is dropped.
        Refused
    };

    void take(ByteView bytes, Bytes &out);
    // False for a head that is not HTTP/1.x; interim heads go out as they are.
    bool pass(std::string_view head, Bytes &out);

    std::unique_ptr<RelayCodec> m_inner;
    Bytes m_decoded;
    Bytes m_head;
    State m_state = State::Head;
};

} // namespace corvane::tunnel
