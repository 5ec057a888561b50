#pragma once

#include "tunnel/service/ServiceHello.h"

#include <optional>
#include <string>

namespace corvane::tunnel {

// One sealed frame of the service relay's control connection.
struct ServiceMessage
{
    enum class Type : std::uint8_t
    {
        Auth = 0x01,
        Resume = 0x02,
        Accept = 0x10,
        Refuse = 0x11,
        Ping = 0x20,
        Pong = 0x21,
        Close = 0x30
    };
    static constexpr std::size_t kMaxAuth = 4096;
    static constexpr std::size_t kMaxReason = 1024;
    static constexpr std::size_t kMaxExitAddress = 64;

    Type type = Type::Ping;
    // The accepted tunnel (accept).
    TunnelId tunnel{};
    // The authentication string (auth), the exit address (accept) or the reason (refuse).
    std::string text;

    Bytes encode() const;
    // None for an unknown type, a body the type does not allow, or a text over its limit.
    static std::optional<ServiceMessage> decode(ByteView payload);
};

} // namespace corvane::tunnel
