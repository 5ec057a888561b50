#pragma once

#include "tunnel/Bytes.h"

#include <array>
#include <string_view>

namespace corvane::tunnel {

// The key derivations the relay protocols name, on OpenSSL's implementations.
class KeyDerivation final
{
public:
    enum class Hash
    {
        Sha1,
        Sha256
    };

    KeyDerivation() = delete;

    // The relay protocol's key from a password: OpenSSL's EVP_BytesToKey with MD5, no salt and
    // one round, for a 32-byte key.
    static std::array<std::uint8_t, 32> passwordKey(std::string_view password);
    // HKDF (RFC 5869) of `ikm` with `salt` and `info`, filling `out`.
    static void hkdf(Hash hash, ByteView ikm, ByteView salt, ByteView info,
                     std::span<std::uint8_t> out);
    // Bytes from OpenSSL's CSPRNG, for what is sent in the clear (salts, IVs): small requests
    // come from a pool the thread draws ahead, which a fork empties in the child.
    static void random(std::span<std::uint8_t> out);
};

} // namespace corvane::tunnel
