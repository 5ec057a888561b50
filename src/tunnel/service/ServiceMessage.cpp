#include "tunnel/service/ServiceMessage.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
// Texts of the relay's messages end up in log lines: printable ASCII and UTF-8 only.
bool isPlainText(std::string_view text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}
} // namespace

Bytes ServiceMessage::encode() const
{
    // Sized once: growing a vector of one byte is what GCC 12 takes for a copy out of bounds.
    Bytes out;
    out.reserve(1 + tunnel.size() + text.size());
    out.push_back(static_cast<std::uint8_t>(type));
    if (type == Type::Accept)
        append(out, tunnel);
    append(out, bytesOf(text));
    return out;
}

std::optional<ServiceMessage> ServiceMessage::decode(ByteView payload)
{
    if (payload.empty())
        return std::nullopt;
    ServiceMessage message;
    message.type = static_cast<Type>(payload[0]);
    ByteView body = payload.subspan(1);
    std::size_t limit = 0;
    switch (message.type) {
    case Type::Auth:
        limit = kMaxAuth;
        break;
    case Type::Accept:
        if (body.size() < message.tunnel.size())
            return std::nullopt;
        std::copy_n(body.begin(), message.tunnel.size(), message.tunnel.begin());
        body = body.subspan(message.tunnel.size());
        limit = kMaxExitAddress;
        break;
    case Type::Refuse:
        limit = kMaxReason;
        break;
    case Type::Resume:
    case Type::Ping:
    case Type::Pong:
    case Type::Close:
        break;
    default:
        return std::nullopt;
    }
    if (body.size() > limit)
        return std::nullopt;
    message.text.assign(textOf(body));
    if (!isPlainText(message.text))
        return std::nullopt;
    return message;
}

} // namespace corvane::tunnel
