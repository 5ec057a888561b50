#include "core/crypto/DESEncode.h"

#include "platform/log/Log.h"

#include <QByteArray>
#include <QStringDecoder>
#include <algorithm>
#include <memory>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

namespace corvane {

namespace {

QString openSslError()
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return QString::fromLatin1(text);
}

// DES lives in OpenSSL's legacy provider. Loading it into a library context of our own keeps
// the process-wide default context as the distribution configured it.
class DesCipher final
{
public:
    DesCipher()
    {
        m_context.reset(OSSL_LIB_CTX_new());
        if (!m_context) {
            fail(QStringLiteral("cannot create an OpenSSL library context"));
            return;
        }
        m_legacy.reset(OSSL_PROVIDER_load(m_context.get(), "legacy"));
        m_default.reset(OSSL_PROVIDER_load(m_context.get(), "default"));
        if (!m_legacy || !m_default) {
            fail(QStringLiteral("cannot load the OpenSSL legacy provider: %1").arg(openSslError()));
            return;
        }
        m_cipher.reset(EVP_CIPHER_fetch(m_context.get(), "DES-ECB", nullptr));
        if (!m_cipher)
            fail(QStringLiteral("DES-ECB is not available: %1").arg(openSslError()));
    }

    const EVP_CIPHER *cipher() const { return m_cipher.get(); }

private:
    void fail(const QString &reason) { Log::write(QStringLiteral("DES 加密不可用：") + reason); }

    struct FreeContext
    {
        void operator()(OSSL_LIB_CTX *c) const { OSSL_LIB_CTX_free(c); }
    };
    struct Unload
    {
        void operator()(OSSL_PROVIDER *p) const { OSSL_PROVIDER_unload(p); }
    };
    struct FreeCipher
    {
        void operator()(EVP_CIPHER *c) const { EVP_CIPHER_free(c); }
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
    void operator()(EVP_CIPHER_CTX *c) const { EVP_CIPHER_CTX_free(c); }
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
    std::unique_ptr<EVP_CIPHER_CTX, FreeCipherContext> context(EVP_CIPHER_CTX_new());
    if (!context ||
        EVP_CipherInit_ex2(context.get(), cipher,
                           reinterpret_cast<const unsigned char *>(keyBytes.constData()), nullptr,
                           static_cast<int>(direction), nullptr) != 1)
        return std::nullopt;

    // Update may write up to one block more than it is given before Final pads.
    QByteArray output(input.size() + 2 * kBlock, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(output.data());
    int written = 0;
    int finalWritten = 0;
    if (EVP_CipherUpdate(context.get(), out, &written,
                         reinterpret_cast<const unsigned char *>(input.constData()),
                         static_cast<int>(input.size())) != 1 ||
        EVP_CipherFinal_ex(context.get(), out + written, &finalWritten) != 1)
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
