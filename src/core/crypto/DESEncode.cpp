#include "core/crypto/DESEncode.h"

#include "platform/log/Log.h"

#include <QByteArray>
#include <QLibrary>
#include <QStringDecoder>
#include <algorithm>
#include <memory>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/provider.h>

namespace corvane {

namespace {

// OpenSSL's libcrypto, loaded at the first use of DES: linked, its relocations and pages would
// come with every launch, though only a sign-in needs it.
class LibCrypto final
{
public:
    LibCrypto() : m_library(QStringLiteral("crypto"), OPENSSL_VERSION_MAJOR)
    {
        resolve(errorString, "ERR_error_string_n");
        resolve(getError, "ERR_get_error");
        resolve(contextNew, "OSSL_LIB_CTX_new");
        resolve(contextFree, "OSSL_LIB_CTX_free");
        resolve(providerLoad, "OSSL_PROVIDER_load");
        resolve(providerUnload, "OSSL_PROVIDER_unload");
        resolve(cipherFetch, "EVP_CIPHER_fetch");
        resolve(cipherFree, "EVP_CIPHER_free");
        resolve(cipherContextNew, "EVP_CIPHER_CTX_new");
        resolve(cipherContextFree, "EVP_CIPHER_CTX_free");
        resolve(cipherInit, "EVP_CipherInit_ex2");
        resolve(cipherUpdate, "EVP_CipherUpdate");
        resolve(cipherFinal, "EVP_CipherFinal_ex");
    }

    // Why it is unusable; nothing when every function was found.
    std::optional<QString> failure() const { return m_failure; }

    decltype(&ERR_error_string_n) errorString = nullptr;
    decltype(&ERR_get_error) getError = nullptr;
    decltype(&OSSL_LIB_CTX_new) contextNew = nullptr;
    decltype(&OSSL_LIB_CTX_free) contextFree = nullptr;
    decltype(&OSSL_PROVIDER_load) providerLoad = nullptr;
    decltype(&OSSL_PROVIDER_unload) providerUnload = nullptr;
    decltype(&EVP_CIPHER_fetch) cipherFetch = nullptr;
    decltype(&EVP_CIPHER_free) cipherFree = nullptr;
    decltype(&EVP_CIPHER_CTX_new) cipherContextNew = nullptr;
    decltype(&EVP_CIPHER_CTX_free) cipherContextFree = nullptr;
    decltype(&EVP_CipherInit_ex2) cipherInit = nullptr;
    decltype(&EVP_CipherUpdate) cipherUpdate = nullptr;
    decltype(&EVP_CipherFinal_ex) cipherFinal = nullptr;

private:
    template <typename Function> void resolve(Function &function, const char *name)
    {
        function = reinterpret_cast<Function>(m_library.resolve(name));
        if (!function && !m_failure)
            m_failure = m_library.errorString();
    }

    // Never unloaded: OpenSSL's own exit handlers run from it.
    QLibrary m_library;
    std::optional<QString> m_failure;
};

const LibCrypto &libCrypto()
{
    static const LibCrypto crypto;
    return crypto;
}

QString openSslError()
{
    char text[256] = {};
    libCrypto().errorString(libCrypto().getError(), text, sizeof text);
    return QString::fromLatin1(text);
}

// DES lives in OpenSSL's legacy provider. Loading it into a library context of our own keeps
// the process-wide default context as the distribution configured it.
class DesCipher final
{
public:
    DesCipher()
    {
        const LibCrypto &crypto = libCrypto();
        if (const std::optional<QString> failure = crypto.failure()) {
            fail(QStringLiteral("cannot load OpenSSL: %1").arg(*failure));
            return;
        }
        m_context.reset(crypto.contextNew());
        if (!m_context) {
            fail(QStringLiteral("cannot create an OpenSSL library context"));
            return;
        }
        m_legacy.reset(crypto.providerLoad(m_context.get(), "legacy"));
        m_default.reset(crypto.providerLoad(m_context.get(), "default"));
        if (!m_legacy || !m_default) {
            fail(QStringLiteral("cannot load the OpenSSL legacy provider: %1").arg(openSslError()));
            return;
        }
        m_cipher.reset(crypto.cipherFetch(m_context.get(), "DES-ECB", nullptr));
        if (!m_cipher)
            fail(QStringLiteral("DES-ECB is not available: %1").arg(openSslError()));
    }

    const EVP_CIPHER *cipher() const { return m_cipher.get(); }

private:
    void fail(const QString &reason) { Log::critical(QStringLiteral("DES 加密不可用：") + reason); }

    struct FreeContext
    {
        void operator()(OSSL_LIB_CTX *c) const { libCrypto().contextFree(c); }
    };
    struct Unload
    {
        void operator()(OSSL_PROVIDER *p) const { libCrypto().providerUnload(p); }
    };
    struct FreeCipher
    {
        void operator()(EVP_CIPHER *c) const { libCrypto().cipherFree(c); }
    };

    // Declared first so it is freed last.
    std::unique_ptr<OSSL_LIB_CTX, FreeContext> m_context;
    std::unique_ptr<OSSL_PROVIDER, Unload> m_legacy;
    std::unique_ptr<OSSL_PROVIDER, Unload> m_default;
    std::unique_ptr<EVP_CIPHER, FreeCipher> m_cipher;
};

const DesCipher &desCipher()
{
    static const DesCipher cipher;
    return cipher;
}

struct FreeCipherContext
{
    void operator()(EVP_CIPHER_CTX *c) const { libCrypto().cipherContextFree(c); }
};

constexpr int kBlock = 8;

enum class Direction
{
    decrypt = 0,
    encrypt = 1,
};

// DES-ECB with PKCS#7 padding over `input`; none when OpenSSL refuses, which for a decryption
// is usually a wrong key showing as bad padding.
std::optional<QByteArray> runCipher(Direction direction, const QByteArray &input,
                                    const QByteArray &keyBytes)
{
    const EVP_CIPHER *cipher = desCipher().cipher();
    if (!cipher)
        return std::nullopt;
    const LibCrypto &crypto = libCrypto();
    std::unique_ptr<EVP_CIPHER_CTX, FreeCipherContext> context(crypto.cipherContextNew());
    if (!context || crypto.cipherInit(context.get(), cipher,
                                      reinterpret_cast<const unsigned char *>(keyBytes.constData()),
                                      nullptr, static_cast<int>(direction), nullptr) != 1)
        return std::nullopt;

    // Update may write up to one block more than it is given before Final pads.
    QByteArray output(input.size() + 2 * kBlock, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(output.data());
    int written = 0;
    int finalWritten = 0;
    if (crypto.cipherUpdate(context.get(), out, &written,
                            reinterpret_cast<const unsigned char *>(input.constData()),
                            static_cast<int>(input.size())) != 1 ||
        crypto.cipherFinal(context.get(), out + written, &finalWritten) != 1)
        return std::nullopt;
    output.truncate(written + finalWritten);
    return output;
}

} // namespace

std::optional<QString> DESEncode::encryptUseDES(const QString &plainText, const QString &key)
{
    const auto cipherText = encryptBytes(plainText.toUtf8(), key.toUtf8());
    if (!cipherText)
        return std::nullopt;
    return parseByte2HexString(reinterpret_cast<const unsigned char *>(cipherText->constData()),
                               static_cast<std::int32_t>(cipherText->size()));
}

std::optional<QByteArray> DESEncode::encryptBytes(const QByteArray &input,
                                                  const QByteArray &keyBytes)
{
    const qsizetype outputSize = kBlock * (input.size() / kBlock + 1);
    if (keyBytes.size() < kBlock || outputSize > kOutputLimit)
        return std::nullopt;
    return runCipher(Direction::encrypt, input, keyBytes);
}

std::optional<QString> DESEncode::decryptUseDES(const QString &hexText, const QString &key)
{
    const QByteArray latin = hexText.toLatin1();
    const bool isHex = std::all_of(latin.cbegin(), latin.cend(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
    const QByteArray input = QByteArray::fromHex(latin);
    const QByteArray keyBytes = key.toUtf8();
    if (!isHex || latin.size() != 2 * input.size() || input.isEmpty() ||
        input.size() % kBlock != 0 || input.size() > kOutputLimit || keyBytes.size() < kBlock)
        return std::nullopt;

    const std::optional<QByteArray> output = runCipher(Direction::decrypt, input, keyBytes);
    if (!output)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(*output);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString DESEncode::parseByte2HexString(const unsigned char *bytes, std::int32_t count)
{
    QString text;
    if (!bytes || count < 1)
        return text;
    static constexpr char kDigits[] = "0123456789abcdef";
    text.reserve(count * 2);
    for (std::int32_t i = 0; i < count; ++i) {
        text.append(QLatin1Char(kDigits[bytes[i] >> 4]));
        text.append(QLatin1Char(kDigits[bytes[i] & 0x0f]));
    }
    return text;
}

} // namespace corvane
