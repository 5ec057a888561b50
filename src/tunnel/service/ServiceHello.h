#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/crypto/X25519KeyPair.h"

#include <array>
#include <optional>

namespace corvane::tunnel {

using TunnelId = std::array<std::uint8_t, 16>;

// The unsealed first bytes of every connection to the service relay (docs/tunnel-helper.md):
// the client's hello, which opens a tunnel, resumes its control connection or attaches a
// proxied connection or a datagram connection to it, and the relay's reply to an open or a resume.
struct ServiceHello
{
    static constexpr std::uint8_t kVersion = 1;
    enum class Kind : std::uint8_t
    {
        Open = 1,
        Resume = 2,
        Attach = 3,
        // A datagram connection (UDP-over-TCP); ServiceDatagramStream reads what follows.
        Datagrams = 4
    };

    Kind kind = Kind::Open;
    TunnelId tunnel{};
    // The client's fresh public key (open, resume).
    X25519KeyPair::Key publicKey{};
    // The proxied connection's number in its tunnel (attach).
    std::uint64_t number = 0;

    struct Decoded;

    void encode(Bytes &out) const;
    static Decoded decode(ByteView bytes);
};

struct ServiceHello::Decoded
{
    std::optional<ServiceHello> hello;
    std::size_t consumed = 0;
    // The bytes cannot start a hello (a wrong version or kind); otherwise more are needed.
    bool malformed = false;
};

// The relay's answer to an open or a resume: whether it knows the tunnel, and its fresh key.
struct ServiceHelloReply
{
    static constexpr std::size_t kSize = 1 + X25519KeyPair::kKeySize;

    bool known = true;
    X25519KeyPair::Key publicKey{};

    void encode(Bytes &out) const;
    // None while fewer than kSize bytes are there, or for a status byte other than 0 and 1.
    static std::optional<ServiceHelloReply> decode(ByteView bytes, bool &malformed);
};

} // namespace corvane::tunnel
