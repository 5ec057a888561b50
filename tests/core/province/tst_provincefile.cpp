#include "core/province/ProvinceFile.h"
#include "platform/log/Log.h"
#include "platform/resources/Resources.h"

#include <QTemporaryDir>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

class TestProvinceFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The position of a name is the province number the service receives: the shipped order
    // is a contract and must not drift.
    void shippedListKeepsTheServicesNumbering()
    {
        const std::optional<QStringList> names = ProvinceFile::load();
        QVERIFY(names);
        const QStringList expected = {
            u"北京"_s,   u"天津"_s, u"河北"_s, u"山西"_s, u"内蒙古"_s, u"辽宁"_s, u"吉林"_s,
            u"黑龙江"_s, u"上海"_s, u"江苏"_s, u"浙江"_s, u"安徽"_s,   u"福建"_s, u"江西"_s,
            u"山东"_s,   u"河南"_s, u"湖北"_s, u"湖南"_s, u"广东"_s,   u"广西"_s, u"海南"_s,
            u"重庆"_s,   u"四川"_s, u"贵州"_s, u"云南"_s, u"西藏"_s,   u"陕西"_s, u"甘肃"_s,
            u"青海"_s,   u"宁夏"_s, u"新疆"_s, u"台湾"_s, u"香港"_s,   u"澳门"_s};
        QCOMPARE(*names, expected);
    }

    void unusableFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not UTF-8")
            << QByteArray("{\"city\": [\"\xb1\xb1\xbe\xa9\"]}") << u"it is not UTF-8 text"_s;
        QTest::newRow("not JSON") << QByteArray("city: 北京") << u"it is not JSON"_s;
        QTest::newRow("not an object") << QByteArray("[\"北京\"]") << u"it is not a JSON object"_s;
        QTest::newRow("no list") << QByteArray("{\"cities\": []}") << u"it has no \"city\" list"_s;
        QTest::newRow("list of something else")
            << QByteArray("{\"city\": \"北京\"}") << u"it has no \"city\" list"_s;
        QTest::newRow("member not text") << QByteArray("{\"city\": [\"北京\", 2]}")
                                         << u"its \"city\" list holds a member that is not text"_s;
        QTest::newRow("empty list")
            << QByteArray("{\"city\": []}") << u"its \"city\" list is empty"_s;
    }

    void unusableFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const auto parsed = ProvinceFile::parse(bytes);
        QVERIFY(std::holds_alternative<QString>(parsed));
        QVERIFY2(std::get<QString>(parsed).startsWith(reason),
                 qPrintable(std::get<QString>(parsed)));
    }

    void otherMembersAreIgnored()
    {
        const auto parsed =
            ProvinceFile::parse(R"({"version": 2, "city": ["北京", "天津"], "extra": {}})");
        QCOMPARE(std::get<QStringList>(parsed), QStringList({u"北京"_s, u"天津"_s}));
    }

    void loadLogsWhyThereIsNoList_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("logged");
        QTest::newRow("missing") << QByteArray()
                                 << u"No provinces to offer: the resource city.json is missing"_s;
        QTest::newRow("empty list")
            << QByteArray("{\"city\": []}")
            << u"No provinces to offer: city.json is unusable, its \"city\" "
               "list is empty"_s;
    }

    void loadLogsWhyThereIsNoList()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, logged);
        QTemporaryDir folder;
        const QStringList roots = Resources::searchRoots();
        if (bytes.isEmpty()) {
            Resources::setSearchRoots({folder.path()});
        } else {
            QFile file(folder.filePath(u"city.json"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            file.close();
            Resources::setSearchRoots({folder.path(), u":/"_s});
        }
        QStringList lines;
        const Log::Sink previous =
            Log::setSink([&lines](QtMsgType, const QString &line) { lines << line; });
        const std::optional<QStringList> names = ProvinceFile::load();
        Log::setSink(previous);
        Resources::setSearchRoots(roots);
        QVERIFY(!names);
        QCOMPARE(lines, QStringList{logged});
    }
};

QTEST_GUILESS_MAIN(TestProvinceFile)
#include "tst_provincefile.moc"
