#include "RelayTunnel.h"
#include "tunnel/crypto/KeyDerivation.h"
#include "tunnel/relay/ChunkCodec.h"
#include "tunnel/relay/RelayMethod.h"
#include "tunnel/service/ServiceHello.h"
#include "tunnel/service/ServiceMessage.h"

#include <QTest>
#include <array>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvane::tunnel;

namespace {
Bytes pattern(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

// Feeds `wire` to `decoder` in pieces of `piece` bytes.
std::optional<Bytes> decodeInPieces(RelayCodec &decoder, const Bytes &wire, std::size_t piece)
{
    Bytes plain;
    for (std::size_t at = 0; at < wire.size(); at += piece) {
        if (!decoder.transform(ByteView(wire).subspan(at, std::min(piece, wire.size() - at)),
                               plain))
            return std::nullopt;
    }
    return plain;
}

ByteView bytes(const QByteArray &data)
{
    return {reinterpret_cast<const std::uint8_t *>(data.constData()),
            static_cast<std::size_t>(data.size())};
}
} // namespace

// The relay forms' codecs as the two ends of a connection see them: whatever the wire does to
// the pieces, the other end reads what was sent, and a changed byte is caught where the form
// can catch it.
class tst_RelayForms final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytesSurviveAnySplit_data();
    void bytesSurviveAnySplit();
    void aChangedByteIsCaught_data();
    void aChangedByteIsCaught();
    void hkdfGivesTheKnownAnswers_data();
    void hkdfGivesTheKnownAnswers();
    void aForkedChildDrawsOtherSalts();
    void helloAndMessagesRefuseWhatTheyCannotBe_data();
    void helloAndMessagesRefuseWhatTheyCannotBe();
    void connectionNumbersAreTakenOnce();
};

void tst_RelayForms::bytesSurviveAnySplit_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("piece");
    for (const char *method : {"chacha20", "chacha20-ietf-poly1305", "chunks"}) {
        for (int piece : {1, 17, 16384 + 34, 70000})
            QTest::addRow("%s, %d-byte pieces", method, piece)
                << QString::fromLatin1(method) << piece;
    }
}

void tst_RelayForms::bytesSurviveAnySplit()
{
    QFETCH(QString, method);
    QFETCH(int, piece);
    std::unique_ptr<RelayCodec> encoder;
    std::unique_ptr<RelayCodec> decoder;
    if (method == QLatin1String("chunks")) {
        std::array<std::uint8_t, 32> key{};
        KeyDerivation::random(key);
        encoder = std::make_unique<ChunkEncoder>(key);
        decoder = std::make_unique<ChunkDecoder>(key);
    } else {
        const RelayMethod relay(*RelayMethod::formNamed(method.toStdString()), "secret");
        encoder = relay.encoder();
        decoder = relay.decoder();
    }
    // Writes of several sizes, one larger than a chunk, and an empty one.
    const Bytes plain = pattern(100000);
    Bytes wire;
    std::size_t at = 0;
    for (std::size_t size : {std::size_t(1), std::size_t(0), std::size_t(20000), plain.size()}) {
        size = std::min(size, plain.size() - at);
        encoder->transform(ByteView(plain).subspan(at, size), wire);
        at += size;
    }
    const std::optional<Bytes> read =
        decodeInPieces(*decoder, wire, static_cast<std::size_t>(piece));
    QVERIFY(read);
    QVERIFY(*read == plain);
}

void tst_RelayForms::aChangedByteIsCaught_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("offset");
    // Past the salt: in the first sealed length, in the first payload, in a later chunk.
    QTest::addRow("AEAD length") << QStringLiteral("chacha20-ietf-poly1305") << 32 + 1;
    QTest::addRow("AEAD payload") << QStringLiteral("chacha20-ietf-poly1305") << 32 + 18 + 5;
    QTest::addRow("AEAD later chunk") << QStringLiteral("chacha20-ietf-poly1305") << 32 + 40000;
    QTest::addRow("AEAD salt") << QStringLiteral("chacha20-ietf-poly1305") << 3;
}

void tst_RelayForms::aChangedByteIsCaught()
{
    QFETCH(QString, method);
    QFETCH(int, offset);
    const RelayMethod relay(*RelayMethod::formNamed(method.toStdString()), "secret");
    Bytes wire;
    relay.encoder()->transform(pattern(50000), wire);
    wire[static_cast<std::size_t>(offset)] ^= 0x40;
    QVERIFY(!decodeInPieces(*relay.decoder(), wire, 4096));
}

void tst_RelayForms::hkdfGivesTheKnownAnswers_data()
{
    QTest::addColumn<bool>("sha1");
    QTest::addColumn<QByteArray>("ikm");
    QTest::addColumn<QByteArray>("salt");
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QByteArray>("okm");
    // RFC 5869's test cases 1, 3, 4 and 5: outputs of more than one block, an empty salt, and
    // a salt (HMAC's key) longer than the hash's block.
    const QByteArray salt = QByteArray::fromHex("000102030405060708090a0b0c");
    const QByteArray info = QByteArray::fromHex("f0f1f2f3f4f5f6f7f8f9");
    QTest::addRow("SHA-256") << false << QByteArray(22, '\x0b') << salt << info
                             << QByteArray::fromHex("3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a"
                                                    "4c5db02d56ecc4c5bf34007208d5b887185865");
    QTest::addRow("SHA-256, no salt or info")
        << false << QByteArray(22, '\x0b') << QByteArray() << QByteArray()
        << QByteArray::fromHex("8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d2"
                               "01395faa4b61a96c8");
    QTest::addRow("SHA-1") << true << QByteArray(11, '\x0b') << salt << info
                           << QByteArray::fromHex("085a01ea1b10f36933068b56efa5ad81a4f14b822f5b09"
                                                  "1568a9cdd4f155fda2c22e422478d305f3f896");
    QByteArray counting(256, '\0');
    for (int i = 0; i < counting.size(); ++i)
        counting[i] = static_cast<char>(i);
    QTest::addRow("SHA-1, inputs longer than a block")
        << true << counting.mid(0, 80) << counting.mid(0x60, 80) << counting.mid(0xb0, 80)
        << QByteArray::fromHex("0bd770a74d1160f7c9f12cd5912a06ebff6adcae899d92191fe4305673ba2ffe8f"
                               "a3f1a4e5ad79f3f334b3b202b2173c486ea37ce3d397ed034c7f9dfeb15c5e9273"
                               "36d0441f4c4300e2cff0d0900b52d3b4");
}

void tst_RelayForms::hkdfGivesTheKnownAnswers()
{
    QFETCH(bool, sha1);
    QFETCH(QByteArray, ikm);
    QFETCH(QByteArray, salt);
    QFETCH(QByteArray, info);
    QFETCH(QByteArray, okm);
    Bytes out(static_cast<std::size_t>(okm.size()));
    KeyDerivation::hkdf(sha1 ? KeyDerivation::Hash::Sha1 : KeyDerivation::Hash::Sha256, bytes(ikm),
                        bytes(salt), bytes(info), out);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(out.data()), okm.size()), okm);
}

// Salts come from a pool drawn ahead; a child must not take the same ones as its parent.
void tst_RelayForms::aForkedChildDrawsOtherSalts()
{
    std::array<std::uint8_t, 32> salt{};
    KeyDerivation::random(salt);
    int channel[2];
    QVERIFY(::pipe(channel) == 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        KeyDerivation::random(salt);
        ::_exit(::write(channel[1], salt.data(), salt.size()) == ssize_t(salt.size()) ? 0 : 1);
    }
    ::close(channel[1]);
    std::array<std::uint8_t, 32> childs{};
    const ssize_t got = ::read(channel[0], childs.data(), childs.size());
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    QCOMPARE(got, ssize_t(childs.size()));
    KeyDerivation::random(salt);
    QVERIFY(salt != childs);
}

void tst_RelayForms::helloAndMessagesRefuseWhatTheyCannotBe_data()
{
    QTest::addColumn<QByteArray>("hello");
    QTest::addColumn<bool>("helloMalformed");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("messageDecodes");
    const QByteArray key(32, 'k');
    QTest::addRow("open") << QByteArray("\x01\x01") + key << false << QByteArray("\x01orderId=1")
                          << true;
    QTest::addRow("wrong version") << QByteArray("\x02\x01") << true << QByteArray("\x20") << true;
    QTest::addRow("unknown kind") << QByteArray("\x01\x09") << true << QByteArray("\x7f") << false;
    QTest::addRow("HTTP instead") << QByteArray("GET / HTTP/1.1\r\n") << true
                                  << QByteArray("\x11reason\nforged log line") << false;
    QTest::addRow("short accept") << QByteArray("\x01\x03") + QByteArray(24, 'i') << false
                                  << QByteArray("\x10") + QByteArray(15, 'i') << false;
    QTest::addRow("long exit address")
        << QByteArray("\x01\x02") + QByteArray(48, 'i') << false
        << QByteArray("\x10") + QByteArray(16, 'i') + QByteArray(65, '1') << false;
    QTest::addRow("ping with a body")
        << QByteArray("\x01") << false << QByteArray("\x20x") << false;
}

void tst_RelayForms::helloAndMessagesRefuseWhatTheyCannotBe()
{
    QFETCH(QByteArray, hello);
    QFETCH(bool, helloMalformed);
    QFETCH(QByteArray, message);
    QFETCH(bool, messageDecodes);
    const ServiceHello::Decoded decoded = ServiceHello::decode(bytes(hello));
    QCOMPARE(decoded.malformed, helloMalformed);
    if (decoded.hello) {
        // What decodes encodes back to the same bytes.
        Bytes again;
        decoded.hello->encode(again);
        QVERIFY(ByteView(again).size() == decoded.consumed);
        QVERIFY(std::equal(again.begin(), again.end(), bytes(hello).begin()));
    }
    QCOMPARE(ServiceMessage::decode(bytes(message)).has_value(), messageDecodes);
}

void tst_RelayForms::connectionNumbersAreTakenOnce()
{
    RelayTunnel tunnel;
    QVERIFY(!tunnel.takeNumber(0));
    QVERIFY(tunnel.takeNumber(2));
    QVERIFY(tunnel.takeNumber(1));
    QVERIFY(!tunnel.takeNumber(2));
    QVERIFY(!tunnel.takeNumber(1));
    // Far ahead: what lies a whole window below is too old to tell, and refused.
    QVERIFY(tunnel.takeNumber(RelayTunnel::kWindow + 5));
    QVERIFY(!tunnel.takeNumber(5));
    QVERIFY(tunnel.takeNumber(6));
    QVERIFY(!tunnel.takeNumber(6));
    QVERIFY(tunnel.takeNumber(RelayTunnel::kWindow + 4));
}

QTEST_GUILESS_MAIN(tst_RelayForms)
#include "tst_relayforms.moc"
