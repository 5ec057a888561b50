#pragma once

#include "tunnel/Bytes.h"

#include <memory>
#include <openssl/evp.h>

namespace corvane::tunnel {

// ChaCha20-Poly1305 (RFC 8439) for packets that may arrive in any order or not at all: each
// seal or open names its packet's number, whose nonce is that number as a 12-byte
// little-endian counter, and an unsealed header that the tag covers too. One object either
// seals or opens, never both; a sealer must never be given the same number twice.
class PacketAead final
{
public:
    static constexpr std::size_t kKeySize = 32;
    static constexpr std::size_t kTagSize = 16;
    enum class Role
    {
        Seal,
        Open
    };

    PacketAead(ByteView key, Role role);

    // Appends the sealed `plain` and its tag to `out`.
    void seal(std::uint64_t number, ByteView header, ByteView plain, Bytes &out);
    // Opens `sealed` (text and tag) into `out`, which must hold sealed.size() - kTagSize bytes;
    // false when the tag does not match the key, the number, the header and the text.
    bool open(std::uint64_t number, ByteView header, ByteView sealed, std::uint8_t *out);

private:
    bool start(std::uint64_t number, ByteView header);

    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> m_context;
};

} // namespace corvane::tunnel
