#pragma once

#include "tunnel/Bytes.h"

#include <memory>
#include <openssl/evp.h>

namespace corvane::tunnel {

// The original ChaCha20 (64-bit nonce, 64-bit block counter from 0) as a keystream XORed over
// one direction of a connection, continuing across calls. OpenSSL's ChaCha20 takes a 32-bit
// counter and a 96-bit nonce but carries the counter into the next word, so 8 zero bytes ahead
// of the 8-byte nonce give the original layout.
class ChaCha20Stream final
{
public:
    static constexpr std::size_t kKeySize = 32;
    static constexpr std::size_t kNonceSize = 8;

    ChaCha20Stream(ByteView key, ByteView nonce);

    // Writes in.size() bytes to `out`, which may be `in` itself.
    void apply(ByteView in, std::uint8_t *out);

private:
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> m_context;
};

} // namespace corvane::tunnel
