#pragma once

#include "tunnel/Bytes.h"

#include <array>
#include <memory>
#include <openssl/evp.h>

namespace corvane::tunnel {

// ChaCha20-Poly1305 (RFC 8439) for one direction of a connection: every seal or open uses the
// next nonce, a 12-byte little-endian counter from 0, so both ends stay in step without sending
// nonces. One object either seals or opens, never both.
class CounterAead final
{
public:
    static constexpr std::size_t kKeySize = 32;
    static constexpr std::size_t kTagSize = 16;
    enum class Role
    {
        Seal,
        Open
    };

    CounterAead(ByteView key, Role role);

    // Starts over under another key, from the first nonce: for packets that each have a key of
    // their own, without a context set up afresh for each.
    void rekey(ByteView key);

    // Appends the sealed `plain` and its tag to `out`.
    void seal(ByteView plain, Bytes &out);
    // Opens `sealed` (text and tag) into `out`, which must hold sealed.size() - kTagSize bytes;
    // false when the tag does not match, after which the stream cannot go on.
    bool open(ByteView sealed, std::uint8_t *out);

private:
    void nextNonce();

    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> m_context;
    std::array<std::uint8_t, 12> m_nonce{};
    bool m_first = true;
};

} // namespace corvane::tunnel
