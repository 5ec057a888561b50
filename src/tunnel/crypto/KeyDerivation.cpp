#include "tunnel/crypto/KeyDerivation.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <pthread.h>
#include <stdexcept>

namespace corvane::tunnel {

namespace {
// What random() hands out, drawn a few KiB at a time: one draw from OpenSSL per connection
// costs more than the rest of its salt's work, a fork check (getpid) included.
struct RandomPool
{
    std::array<std::uint8_t, 4096> bytes;
    std::size_t used = bytes.size();
};

thread_local RandomPool randomPool;

void drawPool(std::span<std::uint8_t> out)
{
    if (RAND_bytes(out.data(), static_cast<int>(out.size())) != 1)
        throw std::runtime_error("the random generator failed");
}

// A forked child would hand out its parent's bytes again: a salt used twice under one key.
void forgetPool()
{
    randomPool.used = randomPool.bytes.size();
}

// HMAC (RFC 2104) on one hash's digest context, kept by the thread: HKDF is a few HMACs over
// short inputs, where OpenSSL's MAC layer costs more than the hashing itself (its parameters,
// and a copy of two digest states per call).
class Hmac final
{
public:
    explicit Hmac(const char *digest)
        : m_digest(EVP_MD_fetch(nullptr, digest, nullptr), &EVP_MD_free),
          m_context(EVP_MD_CTX_new(), &EVP_MD_CTX_free),
          m_size(m_digest && m_context ? static_cast<std::size_t>(EVP_MD_get_size(m_digest.get()))
                                       : 0),
          m_block(m_size ? static_cast<std::size_t>(EVP_MD_get_block_size(m_digest.get())) : 0)
    {}

    // 0 when OpenSSL lacks the hash.
    std::size_t size() const { return m_block <= kMaxBlock ? m_size : 0; }

    // Writes size() bytes to `out`.
    void compute(ByteView key, std::initializer_list<ByteView> parts, std::uint8_t *out)
    {
        std::array<std::uint8_t, kMaxBlock> pad{};
        std::array<std::uint8_t, EVP_MAX_MD_SIZE> inner{};
        bool done = true;
        if (key.size() > m_block)
            done = hash({}, {key}, pad.data());
        else
            std::copy(key.begin(), key.end(), pad.begin());
        const ByteView padded = ByteView(pad).first(m_block);
        for (std::uint8_t &byte : pad)
            byte ^= 0x36;
        done = done && hash(padded, parts, inner.data());
        for (std::uint8_t &byte : pad)
            byte ^= 0x36 ^ 0x5c;
        done = done && hash(padded, {ByteView(inner).first(m_size)}, out);
        OPENSSL_cleanse(pad.data(), pad.size());
        OPENSSL_cleanse(inner.data(), inner.size());
        if (!done)
            throw std::runtime_error("HMAC failed");
    }

private:
    // SHA-1's and SHA-256's.
    static constexpr std::size_t kMaxBlock = 64;

    bool hash(ByteView head, std::initializer_list<ByteView> parts, std::uint8_t *out)
    {
        EVP_MD_CTX *context = m_context.get();
        bool done = EVP_DigestInit_ex2(context, m_digest.get(), nullptr) == 1 &&
                    EVP_DigestUpdate(context, head.data(), head.size()) == 1;
        for (const ByteView part : parts)
            done = done && EVP_DigestUpdate(context, part.data(), part.size()) == 1;
        return done && EVP_DigestFinal_ex(context, out, nullptr) == 1;
    }

    std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> m_digest;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> m_context;
    std::size_t m_size;
    std::size_t m_block;
};
} // namespace

std::array<std::uint8_t, 32> KeyDerivation::passwordKey(std::string_view password)
{
    std::array<std::uint8_t, 32> key{};
    // ChaCha20 only sets the key length (32); the derived IV is not asked for.
    EVP_BytesToKey(EVP_chacha20(), EVP_md5(), nullptr,
                   reinterpret_cast<const unsigned char *>(password.data()),
                   static_cast<int>(password.size()), 1, key.data(), nullptr);
    return key;
}

void KeyDerivation::hkdf(Hash hash, ByteView ikm, ByteView salt, ByteView info,
                         std::span<std::uint8_t> out)
{
    thread_local Hmac sha1("SHA1");
    thread_local Hmac sha256("SHA256");
    Hmac &hmac = hash == Hash::Sha1 ? sha1 : sha256;
    const std::size_t size = hmac.size();
    if (size == 0 || out.size() > 255 * size)
        throw std::runtime_error("HKDF is not available");
    // RFC 5869: an empty salt stands for a hash length of zeros.
    const std::array<std::uint8_t, EVP_MAX_MD_SIZE> zeros{};
    std::array<std::uint8_t, EVP_MAX_MD_SIZE> key{};
    hmac.compute(salt.empty() ? ByteView(zeros).first(size) : salt, {ikm}, key.data());
    const ByteView pseudorandomKey = ByteView(key).first(size);
    std::array<std::uint8_t, EVP_MAX_MD_SIZE> block{};
    ByteView previous;
    for (std::size_t at = 0; at < out.size(); at += size) {
        const std::uint8_t counter = static_cast<std::uint8_t>(at / size + 1);
        hmac.compute(pseudorandomKey, {previous, info, ByteView(&counter, 1)}, block.data());
        std::copy_n(block.begin(), std::min(size, out.size() - at), out.begin() + at);
        previous = ByteView(block).first(size);
    }
    OPENSSL_cleanse(key.data(), key.size());
    OPENSSL_cleanse(block.data(), block.size());
}

void KeyDerivation::random(std::span<std::uint8_t> out)
{
    static const bool forkHandled = pthread_atfork(nullptr, nullptr, forgetPool) == 0;
    RandomPool &pool = randomPool;
    if (!forkHandled || out.size() > pool.bytes.size() / 4)
        return drawPool(out);
    if (pool.bytes.size() - pool.used < out.size()) {
        drawPool(pool.bytes);
        pool.used = 0;
    }
    std::copy_n(pool.bytes.begin() + static_cast<long>(pool.used), out.size(), out.begin());
    pool.used += out.size();
}

} // namespace corvane::tunnel
