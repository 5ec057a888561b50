#include "tunnel/proxy/HttpProxyRequest.h"

#include "tunnel/proxy/HttpText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace corvane::tunnel {

namespace {

using Parsed = HttpProxyRequest::Parsed;

// Headers that describe the client's connection to this proxy, not the request.
constexpr std::array<std::string_view, 5> kHopByHop = {
    "connection", "keep-alive", "proxy-connection", "proxy-authorization", "proxy-authenticate"};

Parsed refuse(int status, std::string problem)
{
    Parsed parsed;
    parsed.step = HttpProxyRequest::Step::Refused;
    parsed.status = status;
    parsed.problem = std::move(problem);
    return parsed;
}

// "host:port" or "[v6]:port"; the port is required unless `defaultPort` is given.
std::optional<TargetAddress> parseAuthority(std::string_view authority, int defaultPort)
{
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':')
                return std::nullopt;
            port = rest.substr(1);
        }
        if (host.find(':') == std::string_view::npos)
            return std::nullopt;
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return std::nullopt;
    }
    unsigned number = 0;
    if (port.empty()) {
        if (defaultPort < 0)
            return std::nullopt;
        number = static_cast<unsigned>(defaultPort);
    } else {
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (error != std::errc() || end != port.data() + port.size() || number == 0 ||
            number > 65535)
            return std::nullopt;
    }
    if (host.empty())
        return std::nullopt;
    return TargetAddress::fromHost(host, static_cast<std::uint16_t>(number));
}

} // namespace

Parsed HttpProxyRequest::parse(ByteView bytes)
{
    const std::string_view text = textOf(bytes.first(std::min(bytes.size(), kMaxHead)));
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string_view::npos) {
        if (bytes.size() >= kMaxHead)
            return refuse(431, "the request head is longer than 16 KiB");
        return {};
    }
    const std::string_view head = text.substr(0, end + 2);
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t firstSpace = line.find(' ');
    const std::size_t secondSpace = line.find(' ', firstSpace + 1);
    if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos ||
        line.find(' ', secondSpace + 1) != std::string_view::npos)
        return refuse(400, "the request line is malformed");
    const std::string_view method = line.substr(0, firstSpace);
    const std::string_view target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    const std::string_view version = line.substr(secondSpace + 1);
    if (!http::isToken(method) || (version != "HTTP/1.1" && version != "HTTP/1.0") ||
        std::any_of(line.begin(), line.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return refuse(400, "the request line is malformed");

    Parsed parsed;
    std::string_view authority;
    std::string_view path;
    if (method == "CONNECT") {
        parsed.tunnel = true;
        authority = target;
    } else {
        constexpr std::string_view kScheme = "http://";
        if (target.size() < kScheme.size() ||
            !http::sameName(target.substr(0, kScheme.size()), kScheme))
            return refuse(400, "the request target is not an absolute http URI");
        const std::string_view rest = target.substr(kScheme.size());
        const std::size_t pathStart = rest.find_first_of("/?");
        authority = rest.substr(0, pathStart);
        path = pathStart == std::string_view::npos ? "/" : rest.substr(pathStart);
    }
    if (authority.find('@') != std::string_view::npos)
        return refuse(400, "the request target carries user information");
    const std::optional<TargetAddress> destination =
        parseAuthority(authority, parsed.tunnel ? -1 : 80);
    if (!destination)
        return refuse(400, "the request target's host or port is malformed");
    parsed.target = *destination;

    std::string headers;
    bool hasHost = false;
    bool hasLength = false;
    std::optional<std::string_view> lastCoding;
    std::size_t count = 0;
    for (std::size_t at = lineEnd + 2; at < head.size();) {
        const std::size_t next = head.find("\r\n", at);
        const std::string_view field = head.substr(at, next - at);
        at = next + 2;
        const std::size_t colon = field.find(':');
        if (++count > kMaxHeaders)
            return refuse(431, "the request has more than 100 header fields");
        if (colon == std::string_view::npos || !http::isToken(field.substr(0, colon)) ||
            field.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos)
            return refuse(400, "a header field is malformed");
        const std::string_view name = field.substr(0, colon);
        const std::string_view value = http::trimmed(field.substr(colon + 1));
        if (http::sameName(name, "content-length")) {
            std::uint64_t length = 0;
            const auto [last, error] =
                std::from_chars(value.data(), value.data() + value.size(), length);
            if (value.empty() || error != std::errc() || last != value.data() + value.size() ||
                (hasLength && length != parsed.bodyLength))
                return refuse(400, "the request's Content-Length is malformed");
            hasLength = true;
            parsed.bodyLength = length;
        } else if (http::sameName(name, "transfer-encoding")) {
            // The last coding of the list, or the whole value when it names only one.
            lastCoding = http::trimmed(value.substr(value.rfind(',') + 1));
        }
        if (std::any_of(kHopByHop.begin(), kHopByHop.end(),
                        [name](std::string_view hop) { return http::sameName(name, hop); }))
            continue;
        hasHost = hasHost || http::sameName(name, "host");
        headers.append(field).append("\r\n");
    }
    if (!parsed.tunnel) {
        // A body whose end cannot be found for certain is refused (RFC 9112 6.3), lest the
        // destination take what follows it for another request.
        if (lastCoding && (hasLength || !http::sameName(*lastCoding, "chunked")))
            return refuse(400, "the request's body has no length that can be trusted");
        if (lastCoding)
            parsed.body = Body::Chunked;
        else if (parsed.bodyLength > 0)
            parsed.body = Body::Length;
        parsed.forward.append(method).append(" ").append(path).append(" ").append(version);
        parsed.forward.append("\r\n");
        if (!hasHost)
            parsed.forward.append("Host: ").append(authority).append("\r\n");
        parsed.forward.append(headers).append("Connection: close\r\n\r\n");
    }
    parsed.step = Step::Done;
    parsed.consumed = end + 4;
    return parsed;
}

std::string HttpProxyRequest::response(int status, std::string_view reason)
{
    return "HTTP/1.1 " + std::to_string(status) + ' ' + std::string(reason) +
           "\r\nContent-Length: 0\r\nConnection: close\r\nProxy-Connection: close\r\n\r\n";
}

} // namespace corvane::tunnel
