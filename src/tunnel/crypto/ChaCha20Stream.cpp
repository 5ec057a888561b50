#include "tunnel/crypto/ChaCha20Stream.h"

#include <array>
#include <stdexcept>

namespace corvane::tunnel {

namespace {
// Fetched once: an implicit fetch on every connection's set-up costs more than the set-up.
const EVP_CIPHER *chacha20()
{
    static EVP_CIPHER *const cipher = EVP_CIPHER_fetch(nullptr, "ChaCha20", nullptr);
    return cipher;
}
} // namespace

ChaCha20Stream::ChaCha20Stream(ByteView key, ByteView nonce)
    : m_context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free)
{
    std::array<std::uint8_t, 16> iv{};
    std::copy(nonce.begin(), nonce.begin() + kNonceSize, iv.begin() + 8);
    if (!m_context || key.size() != kKeySize || nonce.size() != kNonceSize ||
        EVP_EncryptInit_ex(m_context.get(), chacha20(), nullptr, key.data(), iv.data()) != 1)
        throw std::runtime_error("ChaCha20 is not available");
}

void ChaCha20Stream::apply(ByteView in, std::uint8_t *out)
{
    int written = 0;
    // A stream cipher's update cannot fail for a valid context and length.
    EVP_EncryptUpdate(m_context.get(), out, &written, in.data(), static_cast<int>(in.size()));
}

} // namespace corvane::tunnel
