#include "platform/http/JsonReplyReader.h"
#include "platform/http/TextReplyReader.h"
#include "platform/resources/Localization.h"
#include "platform/resources/Resources.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvane;

class TestReplyReaders final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jsonFragments_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("parses");
        QTest::newRow("zero") << QByteArray("0") << true;
        QTest::newRow("text") << QByteArray(" \"x\" ") << true;
        QTest::newRow("null") << QByteArray("null") << true;
        QTest::newRow("empty array") << QByteArray("[]") << true;
        QTest::newRow("object") << QByteArray("{\"a\":1}") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("blank") << QByteArray(" \n") << false;
        QTest::newRow("two values") << QByteArray("1,2") << false;
        QTest::newRow("closes the wrapper early") << QByteArray("1],[2") << false;
        QTest::newRow("unbalanced") << QByteArray("]") << false;
        QTest::newRow("deep nesting") << QByteArray(100000, '[') << false;
        QTest::newRow("binary") << QByteArray("\x00\x01\xff", 3) << false;
        QTest::newRow("after a byte-order mark") << QByteArray("\xef\xbb\xbf{\"a\":1}") << true;
        QTest::newRow("byte-order mark alone") << QByteArray("\xef\xbb\xbf") << false;
        QTest::newRow("two byte-order marks") << QByteArray("\xef\xbb\xbf\xef\xbb\xbf"
                                                            "0")
                                              << false;
    }

    void jsonFragments()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, parses);
        QCOMPARE(JsonReplyReader::parse(body).has_value(), parses);
    }

    void emptyNoContentReadsAsNull()
    {
        HttpReply reply;
        reply.statusCode = 205;
        QCOMPARE(JsonReplyReader::read(reply), std::optional<QJsonValue>(QJsonValue::Null));
        reply.statusCode = 200;
        QVERIFY(!JsonReplyReader::read(reply));
        reply.transportFailed = true;
        reply.body = "{}";
        QVERIFY(!JsonReplyReader::read(reply));
    }

    void textHonoursTheDeclaredCharset_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        QTest::newRow("none is ISO-8859-1")
            << QByteArray("text/plain") << QByteArray("caf\xe9") << QStringLiteral("café");
        QTest::newRow("utf-8") << QByteArray("text/html; charset=utf-8")
                               << QByteArray("\xe5\x8c\x97\xe4\xba\xac") << QStringLiteral("北京");
        QTest::newRow("quoted") << QByteArray("text/html;charset=\"UTF-8\"")
                                << QByteArray("\xc3\xa9") << QStringLiteral("é");
        QTest::newRow("unknown falls back") << QByteArray("text/plain; charset=x-nonsense")
                                            << QByteArray("\xe9") << QStringLiteral("é");
    }

    void textHonoursTheDeclaredCharset()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QCOMPARE(TextReplyReader::decode(body, contentType), text);
    }

    void resourcesAndTextsByKey()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("l10n"));
        QFile table(dir.filePath(QStringLiteral("l10n/Localizable.json")));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("{\"hello\":\"你好\",\"number\":3}");
        table.close();
        QFile english(dir.filePath(QStringLiteral("l10n/Localizable.en.json")));
        QVERIFY(english.open(QIODevice::WriteOnly));
        english.write("{\"hello\":\"hi\"}");
        english.close();

        const QStringList saved = Resources::searchRoots();
        Resources::setSearchRoots({dir.path()});
        Localization::reload();
        QCOMPARE(Resources::path(QStringLiteral("Localizable"), QStringLiteral("json")),
                 table.fileName());
        QVERIFY(Resources::path(QStringLiteral("missing"), QStringLiteral("json")).isEmpty());
        QCOMPARE(Localization::string(QStringLiteral("hello")), QStringLiteral("你好"));
        QCOMPARE(Localization::string(QStringLiteral("number")), QStringLiteral("number"));
        QCOMPARE(Localization::string(QStringLiteral("absent")), QStringLiteral("absent"));
        QCOMPARE(Localization::string(QStringLiteral("hello"), Localization::Language::english),
                 QStringLiteral("hi"));
        Localization::setLanguage(Localization::Language::english);
        const QString inEnglish = Localization::string(QStringLiteral("hello"));
        Localization::setLanguage(Localization::Language::chinese);
        QCOMPARE(inEnglish, QStringLiteral("hi"));
        Resources::setSearchRoots(saved);
        Localization::reload();
    }

    // corvanectl prints either language, the window Chinese: a key missing from one table would
    // show as the key itself only where that language is read.
    void everyKeyHasATextInBothLanguages()
    {
        const auto table = [](const QString &name) {
            return QJsonDocument::fromJson(
                       Resources::data(name, QStringLiteral("json")).value_or(QByteArray()))
                .object();
        };
        const QJsonObject chinese = table(QStringLiteral("Localizable"));
        const QJsonObject english = table(QStringLiteral("Localizable.en"));
        QVERIFY(!chinese.isEmpty());
        QCOMPARE(english.keys(), chinese.keys());
        for (const QJsonObject &texts : {chinese, english}) {
            for (auto it = texts.begin(); it != texts.end(); ++it)
                QVERIFY2(!it->toString().isEmpty(), qPrintable(it.key()));
        }
    }

    void compiledInFilesAreFoundInAnyFolderAndDiskFoldersAreSearchedAfresh()
    {
        QCOMPARE(Resources::path(QStringLiteral("rules"), QStringLiteral("json")),
                 QStringLiteral(":/data/rules.json"));
        QCOMPARE(Resources::path(QStringLiteral("tray_on"), QStringLiteral("png")),
                 QStringLiteral(":/images/tray_on.png"));
        QVERIFY(Resources::path(QStringLiteral("rules"), QStringLiteral("png")).isEmpty());

        // A folder on disk comes first, and what is written into it later is seen.
        QTemporaryDir dir;
        const QStringList saved = Resources::searchRoots();
        Resources::setSearchRoots({dir.path(), QStringLiteral(":/")});
        QCOMPARE(Resources::path(QStringLiteral("rules"), QStringLiteral("json")),
                 QStringLiteral(":/data/rules.json"));
        QDir(dir.path()).mkpath(QStringLiteral("deep/er"));
        QFile rules(dir.filePath(QStringLiteral("deep/er/rules.json")));
        QVERIFY(rules.open(QIODevice::WriteOnly));
        rules.close();
        QCOMPARE(Resources::path(QStringLiteral("rules"), QStringLiteral("json")),
                 rules.fileName());
        Resources::setSearchRoots(saved);
    }
};

QTEST_GUILESS_MAIN(TestReplyReaders)
#include "tst_replyreaders.moc"
