#include "tunnel/proxy/HttpRequestBody.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
// A chunk size of 15 hex digits is beyond any body, and cannot overflow.
constexpr int kMaxSizeDigits = 15;

int hexValue(std::uint8_t byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    const int lower = byte | 0x20;
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}
} // namespace

HttpRequestBody::HttpRequestBody(HttpProxyRequest::Body framing, std::uint64_t length)
    : m_framing(framing), m_left(framing == HttpProxyRequest::Body::Length ? length : 0)
{}

bool HttpRequestBody::transform(ByteView in, Bytes &out)
{
    const std::optional<std::size_t> body = measure(in);
    if (!body)
        return false;
    if (*body == 0)
        return true;
    if (m_next)
        return m_next->transform(in.first(*body), out);
    append(out, in.first(*body));
    return true;
}

std::optional<std::size_t> HttpRequestBody::measure(ByteView in)
{
    if (m_framing != HttpProxyRequest::Body::Chunked) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_left, in.size()));
        m_left -= take;
        return take;
    }
    std::size_t at = 0;
    while (at < in.size() && m_chunked != Chunked::Done) {
        if (m_chunked == Chunked::Data) {
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_left, in.size() - at));
            at += take;
            m_left -= take;
            if (m_left == 0)
                m_chunked = Chunked::DataCr;
            continue;
        }
        if (!step(in[at++]))
            return std::nullopt;
    }
    return at;
}

bool HttpRequestBody::step(std::uint8_t byte)
{
    switch (m_chunked) {
    case Chunked::Size:
        if (const int digit = hexValue(byte); digit >= 0 && m_digits < kMaxSizeDigits) {
            m_left = m_left * 16 + static_cast<unsigned>(digit);
            ++m_digits;
            return true;
        }
        if (m_digits == 0)
            return false;
        if (byte == ';' || byte == ' ' || byte == '\t')
            m_chunked = Chunked::Extension;
        else if (byte == '\r')
            m_chunked = Chunked::SizeLf;
        else
            return false;
        return true;
    case Chunked::Extension:
        if (byte == '\r')
            m_chunked = Chunked::SizeLf;
        return byte != '\n';
    case Chunked::SizeLf:
        m_digits = 0;
        m_chunked = m_left == 0 ? Chunked::LineStart : Chunked::Data;
        return byte == '\n';
    case Chunked::DataCr:
        m_chunked = Chunked::DataLf;
        return byte == '\r';
    case Chunked::DataLf:
        m_chunked = Chunked::Size;
        return byte == '\n';
    case Chunked::LineStart:
        m_chunked = byte == '\r' ? Chunked::EndLf : Chunked::Trailer;
        return byte != '\n';
    case Chunked::Trailer:
        if (byte == '\r')
            m_chunked = Chunked::TrailerLf;
        return byte != '\n';
    case Chunked::TrailerLf:
        m_chunked = Chunked::LineStart;
        return byte == '\n';
    case Chunked::EndLf:
        m_chunked = Chunked::Done;
        return byte == '\n';
    case Chunked::Data:
    case Chunked::Done:
        break;
    }
    return false;
}

} // namespace corvane::tunnel
