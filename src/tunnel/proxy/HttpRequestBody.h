#pragma once

#include "tunnel/proxy/HttpProxyRequest.h"
#include "tunnel/relay/RelayCodec.h"

#include <memory>
#include <optional>

namespace corvane::tunnel {

// The client's side of an absolute-URI request after its head: the body, to its end as the head
// framed it (RFC 9112 6.3, 7.1), and nothing behind it. A pipelined request that follows is
// dropped: the response tells the client that the connection closes, and it sends that request
// again on a new one. What is kept goes on through the relay's encoder when there is one.
class HttpRequestBody final : public RelayCodec
{
public:
    HttpRequestBody(HttpProxyRequest::Body framing, std::uint64_t length);

    void then(std::unique_ptr<RelayCodec> next) { m_next = std::move(next); }
    // False for a chunked body that is malformed.
    bool transform(ByteView in, Bytes &out) override;

private:
    enum class Chunked
    {
        Size,
        Extension,
        SizeLf,
        Data,
        DataCr,
        DataLf,
        LineStart,
        Trailer,
        TrailerLf,
        EndLf,
        Done
    };

    // How many of the first bytes of `in` are still body, or none when they cannot be.
    std::optional<std::size_t> measure(ByteView in);
    bool step(std::uint8_t byte);

    HttpProxyRequest::Body m_framing;
    // Of the body, or of the current chunk's data.
    std::uint64_t m_left;
    Chunked m_chunked = Chunked::Size;
    int m_digits = 0;
    std::unique_ptr<RelayCodec> m_next;
};

} // namespace corvane::tunnel
