#include "core/crypto/DESEncode.h"

#include <QCryptographicHash>
#include <QtTest>

using namespace corvane;

// Expected cipher texts come from published DES vectors and from the openssl command-line tool
// (`openssl enc -des-ecb -K 437638236e71324c -provider legacy -provider default`).
class TestDESEncode final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownAnswers_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("firstBlock");
        QTest::newRow("FIPS worked example")
            << QByteArray::fromHex("133457799BBCDFF1") << QByteArray::fromHex("0123456789ABCDEF")
            << QByteArray::fromHex("85E813540F0AB405");
        QTest::newRow("zero cipher block")
            << QByteArray::fromHex("0E329232EA6D0D73") << QByteArray::fromHex("8787878787878787")
            << QByteArray::fromHex("0000000000000000");
    }

    void knownAnswers()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, firstBlock);
        const auto cipher = DESEncode::encryptBytes(plain, key);
        QVERIFY(cipher);
        QCOMPARE(cipher->size(), 16);
        QCOMPARE(cipher->left(8), firstBlock);
    }

    void matchesOpenSslTool_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("hex");
        QTest::newRow("empty is one padding block")
            << QString() << QStringLiteral("672d9ba2680911ad");
        QTest::newRow("7 bytes") << QStringLiteral("abcdefg") << QStringLiteral("06fb0739e5e8c361");
        QTest::newRow("8 bytes add a full block")
            << QStringLiteral("abcdefgh") << QStringLiteral("390ed615a8642dc0672d9ba2680911ad");
        QTest::newRow("phone number")
            << QStringLiteral("13800138000") << QStringLiteral("fb5a24a17a374bbbd98b3df5596f4fc3");
        QTest::newRow("two Chinese characters are 6 bytes")
            << QStringLiteral("密码") << QStringLiteral("398926d3c83303b3");
        QTest::newRow("mixed") << QStringLiteral("pässwörd 密码!")
                               << QStringLiteral(
                                      "0406135f4fbacb9c82dedf2be9e0410930dc269f4d405d4e");
    }

    void matchesOpenSslTool()
    {
        QFETCH(QString, plain);
        QFETCH(QString, hex);
        QCOMPARE(DESEncode::encryptUseDES(plain, QString::fromLatin1(DESEncode::kKey)),
                 std::optional<QString>(hex));
    }

    void outputLimit()
    {
        const QString key = QString::fromLatin1(DESEncode::kKey);
        const auto longest = DESEncode::encryptUseDES(QString(1023, u'a'), key);
        QVERIFY(longest);
        QCOMPARE(longest->size(), 2048);
        QCOMPARE(QCryptographicHash::hash(longest->toLatin1(), QCryptographicHash::Sha256).toHex(),
                 QByteArray("dc2071bd462c36145331fa54bdda384e9fde7f853117240597f81e15ab4988bb"));
        QVERIFY(!DESEncode::encryptUseDES(QString(1024, u'a'), key));
        // 342 three-byte characters are 1026 bytes although the text is short.
        QVERIFY(!DESEncode::encryptUseDES(QString(342, QChar(0x5bc6)), key));
    }

    void shortKeyYieldsNothing()
    {
        QVERIFY(!DESEncode::encryptUseDES(QStringLiteral("x"), QStringLiteral("1234567")));
    }

    void hexRendering()
    {
        const unsigned char bytes[] = {0x0a, 0xff, 0x00, 0x10};
        QCOMPARE(DESEncode::parseByte2HexString(bytes, 4), QStringLiteral("0aff0010"));
        QCOMPARE(DESEncode::parseByte2HexString(bytes, 0), QString());
        QCOMPARE(DESEncode::parseByte2HexString(bytes, -3), QString());
        QCOMPARE(DESEncode::parseByte2HexString(nullptr, 4), QString());
    }

    void decryptionReadsWhatEncryptionWrote_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::newRow("empty") << QString();
        QTest::newRow("one block less a byte") << QStringLiteral("corvane");
        QTest::newRow("whole block") << QStringLiteral("corvane1");
        QTest::newRow("Chinese") << QStringLiteral("密码 123");
        QTest::newRow("longest") << QString(1023, u'p');
    }

    void decryptionReadsWhatEncryptionWrote()
    {
        QFETCH(QString, plain);
        const QString key = QString::fromLatin1(DESEncode::kKey);
        const std::optional<QString> hex = DESEncode::encryptUseDES(plain, key);
        QVERIFY(hex);
        QCOMPARE(DESEncode::decryptUseDES(*hex, key), plain);
        QCOMPARE(DESEncode::decryptUseDES(hex->toUpper(), key), plain);
    }

    void decryptionRefusesWhatEncryptionCannotHaveWritten_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("key");
        const QString key = QString::fromLatin1(DESEncode::kKey);
        // DES ignores the lowest bit of each key byte, so the key differs in a higher one.
        QTest::newRow("wrong key")
            << QStringLiteral("0961ddcae647360e") << QStringLiteral("Xv8#nq2L");
        QTest::newRow("not hex") << QStringLiteral("0961ddcae64736zz") << key;
        QTest::newRow("odd length") << QStringLiteral("0961ddcae647360") << key;
        QTest::newRow("half a block") << QStringLiteral("0961ddca") << key;
        QTest::newRow("nothing") << QString() << key;
        QTest::newRow("spaces") << QStringLiteral("0961ddca e647360e") << key;
        QTest::newRow("short key")
            << QStringLiteral("0961ddcae647360e") << QStringLiteral("Cv8#nq2");
    }

    void decryptionRefusesWhatEncryptionCannotHaveWritten()
    {
        QFETCH(QString, hex);
        QFETCH(QString, key);
        QVERIFY(!DESEncode::decryptUseDES(hex, key));
    }
};

QTEST_GUILESS_MAIN(TestDESEncode)
#include "tst_desencode.moc"
