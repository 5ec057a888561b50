#pragma once

#include "tunnel/Bytes.h"

#include <array>
#include <memory>
#include <openssl/evp.h>
#include <optional>

namespace corvane::tunnel {

// A fresh X25519 key pair (RFC 7748) for one exchange.
class X25519KeyPair final
{
public:
    static constexpr std::size_t kKeySize = 32;
    using Key = std::array<std::uint8_t, kKeySize>;

    X25519KeyPair();

    const Key &publicKey() const { return m_public; }
    // The shared secret with the peer's public key; none for a key that yields no secret (a
    // low-order point gives all zeros, which OpenSSL refuses).
    std::optional<Key> agree(ByteView peerPublic) const;

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> m_key;
    Key m_public{};
};

} // namespace corvane::tunnel
