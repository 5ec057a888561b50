#include "tunnel/proxy/HttpResponseHead.h"

#include "tunnel/proxy/HttpProxyRequest.h"
#include "tunnel/proxy/HttpText.h"

#include <array>
#include <vector>

namespace corvane::tunnel {

namespace {
constexpr std::string_view kEnd = "\r\n\r\n";
// Fields about the connection to the destination, which the client's connection does not share.
constexpr std::array<std::string_view, 3> kConnectionFields = {"connection", "keep-alive",
                                                               "proxy-connection"};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "HTTP/1.x NNN", then a reason or nothing; the status, or -1.
int statusOf(std::string_view line)
{
    if (line.size() < 12 || !line.starts_with("HTTP/1.") || !isDigit(line[7]) || line[8] != ' ' ||
        !isDigit(line[9]) || !isDigit(line[10]) || !isDigit(line[11]) ||
        (line.size() > 12 && line[12] != ' '))
        return -1;
    return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}
} // namespace

HttpResponseHead::HttpResponseHead(std::unique_ptr<RelayCodec> inner) : m_inner(std::move(inner)) {}

bool HttpResponseHead::transform(ByteView in, Bytes &out)
{
    if (!m_inner) {
        take(in, out);
        return true;
    }
    m_decoded.clear();
    if (!m_inner->transform(in, m_decoded))
        return false;
    take(m_decoded, out);
    return true;
}

void HttpResponseHead::take(ByteView bytes, Bytes &out)
{
    if (m_state == State::Body)
        return append(out, bytes);
    if (m_state == State::Refused)
        return;
    // Only the new bytes (and the three before them) can complete the empty line.
    std::size_t from = m_head.size() < 3 ? 0 : m_head.size() - 3;
    append(m_head, bytes);
    for (;;) {
        const std::string_view text = textOf(m_head);
        const std::size_t end = text.find(kEnd, from);
        if (end == std::string_view::npos && m_head.size() <= kMaxHead)
            return;
        if (end == std::string_view::npos || end + kEnd.size() > kMaxHead ||
            !pass(text.substr(0, end + 2), out)) {
            m_state = State::Refused;
            Bytes().swap(m_head);
            append(out, bytesOf(HttpProxyRequest::response(502, "Bad Gateway")));
            return;
        }
        m_head.erase(m_head.begin(), m_head.begin() + static_cast<long>(end + kEnd.size()));
        if (m_state == State::Body) {
            append(out, m_head);
            Bytes().swap(m_head);
            return;
        }
        from = 0;
    }
}

bool HttpResponseHead::pass(std::string_view head, Bytes &out)
{
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const int status = statusOf(line);
    if (status < 100)
        return false;
    if (status < 200 && status != 101) {
        append(out, bytesOf(head));
        append(out, bytesOf("\r\n"));
        return true;
    }
    std::vector<std::string_view> fields;
    // The fields the destination's Connection names are about its connection too.
    std::vector<std::string_view> dropped(kConnectionFields.begin(), kConnectionFields.end());
    for (std::size_t at = lineEnd + 2; at < head.size();) {
        const std::size_t next = head.find("\r\n", at);
        const std::string_view field = head.substr(at, next - at);
        at = next + 2;
        const std::size_t colon = field.find(':');
        // A folded line (RFC 9112 5.2) is refused rather than guessed at.
        if (colon == std::string_view::npos || !http::isToken(field.substr(0, colon)))
            return false;
        fields.push_back(field);
        if (!http::sameName(field.substr(0, colon), "connection"))
            continue;
        for (std::string_view value = field.substr(colon + 1); !value.empty();) {
            const std::size_t comma = value.find(',');
            dropped.push_back(http::trimmed(value.substr(0, comma)));
            value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
        }
    }
    append(out, bytesOf(line));
    append(out, bytesOf("\r\n"));
    for (const std::string_view field : fields) {
        const std::string_view name = field.substr(0, field.find(':'));
        if (std::none_of(dropped.begin(), dropped.end(),
                         [name](std::string_view drop) { return http::sameName(name, drop); })) {
            append(out, bytesOf(field));
            append(out, bytesOf("\r\n"));
        }
    }
    append(out, bytesOf("Connection: close\r\nProxy-Connection: close\r\n\r\n"));
    m_state = State::Body;
    return true;
}

} // namespace corvane::tunnel
