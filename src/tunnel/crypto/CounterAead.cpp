#include "tunnel/crypto/CounterAead.h"

#include <stdexcept>

namespace corvane::tunnel {

namespace {
// Fetched once: an implicit fetch on every connection's set-up costs more than the set-up.
const EVP_CIPHER *chacha20Poly1305()
{
    static EVP_CIPHER *const cipher = EVP_CIPHER_fetch(nullptr, "ChaCha20-Poly1305", nullptr);
    return cipher;
}

// In one call, OpenSSL's vector code takes a text whose length is not a multiple of 1 KiB
// about a tenth slower (a full 16383-byte chunk, AVX-512): such a text goes in as two parts.
constexpr std::size_t kStride = 1024;

void update(EVP_CIPHER_CTX *context, const std::uint8_t *in, std::size_t size, std::uint8_t *out)
{
    const std::size_t head = size % kStride == 0 ? 0 : size / kStride * kStride;
    // A stream cipher writes as many bytes as it is given.
    int written = 0;
    if (head != 0)
        EVP_CipherUpdate(context, out, &written, in, static_cast<int>(head));
    EVP_CipherUpdate(context, out + head, &written, in + head, static_cast<int>(size - head));
}
} // namespace

CounterAead::CounterAead(ByteView key, Role role)
    : m_context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free)
{
    if (!m_context || key.size() != kKeySize ||
        EVP_CipherInit_ex(m_context.get(), chacha20Poly1305(), nullptr, key.data(), nullptr,
                          role == Role::Seal ? 1 : 0) != 1)
        throw std::runtime_error("ChaCha20-Poly1305 is not available");
}

void CounterAead::rekey(ByteView key)
{
    if (key.size() != kKeySize ||
        EVP_CipherInit_ex(m_context.get(), nullptr, nullptr, key.data(), nullptr, -1) != 1)
        throw std::runtime_error("ChaCha20-Poly1305 is not available");
    m_nonce = {};
    m_first = true;
}

void CounterAead::nextNonce()
{
    if (m_first) {
        m_first = false;
        return;
    }
    for (std::uint8_t &byte : m_nonce) {
        if (++byte != 0)
            break;
    }
}

void CounterAead::seal(ByteView plain, Bytes &out)
{
    nextNonce();
    const std::size_t start = out.size();
    out.resize(start + plain.size() + kTagSize);
    EVP_CipherInit_ex(m_context.get(), nullptr, nullptr, nullptr, m_nonce.data(), -1);
    update(m_context.get(), plain.data(), plain.size(), out.data() + start);
    int last = 0;
    EVP_CipherFinal_ex(m_context.get(), out.data() + start + plain.size(), &last);
    EVP_CIPHER_CTX_ctrl(m_context.get(), EVP_CTRL_AEAD_GET_TAG, kTagSize,
                        out.data() + start + plain.size());
}

bool CounterAead::open(ByteView sealed, std::uint8_t *out)
{
    if (sealed.size() < kTagSize)
        return false;
    nextNonce();
    const std::size_t length = sealed.size() - kTagSize;
    EVP_CipherInit_ex(m_context.get(), nullptr, nullptr, nullptr, m_nonce.data(), -1);
    update(m_context.get(), sealed.data(), length, out);
    // The tag is only read by OpenSSL; the control call takes a non-const pointer.
    EVP_CIPHER_CTX_ctrl(m_context.get(), EVP_CTRL_AEAD_SET_TAG, kTagSize,
                        const_cast<std::uint8_t *>(sealed.data() + length));
    int last = 0;
    return EVP_CipherFinal_ex(m_context.get(), out + length, &last) == 1;
}

} // namespace corvane::tunnel
