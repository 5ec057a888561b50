#include "core/model/Mapper.h"
#include "core/model/SCDateFormatterTransform.h"
#include "core/model/SCOrderContent.h"
#include "core/network/SCResponse.h"

#include <QJsonDocument>
#include <QtTest>
#include <ctime>

using namespace corvane;

namespace {
// The order's own keys, in the service's order; the last one is a float.
const char *const kOrderKeys[] = {
    "secret",           "searchValue",     "createBy",      "updateBy",    "updateTime",
    "remark",           "params",          "mobile",        "orderId",     "userId",
    "productId",        "buyCount",        "usedCount",     "orderStatus", "orderExpiryDate",
    "orderFailMessage", "orderCreateTime", "tempOrderDate", "userName",    "userRemark",
    "flowAmount",       "remainFlow"};
const QSet<QString> kOrderIntegers{QStringLiteral("userId"),      QStringLiteral("productId"),
                                   QStringLiteral("buyCount"),    QStringLiteral("usedCount"),
                                   QStringLiteral("orderStatus"), QStringLiteral("orderExpiryDate"),
                                   QStringLiteral("flowAmount")};

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}
} // namespace

// Dates are shown in the device's zone; these tests pin it to UTC+8.
class TestRecords final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "Asia/Shanghai");
        tzset();
    }

    void dates_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("createTime");
        QTest::addColumn<QString>("modifyTime");
        QTest::addColumn<double>("modifyTimeStamp");

        // 2024-03-01 00:00:00 UTC is 1709251200 s.
        QTest::newRow("milliseconds")
            << QByteArray("{\"createTime\":1709251200000,\"modifyTime\":1709251200000}")
            << QStringLiteral("2024-03-01 08:00") << QStringLiteral("2024年03月01 08:00")
            << 1709251200000.0;
        QTest::newRow("seconds") << QByteArray(
                                        "{\"createTime\":1709251200,\"modifyTime\":1709251200}")
                                 << QStringLiteral("2024-03-01 08:00")
                                 << QStringLiteral("2024年03月01 08:00") << 1709251200.0;
        QTest::newRow("short number taken whole")
            << QByteArray("{\"createTime\":86400}") << QStringLiteral("1970-01-02 08:00")
            << QString() << 0.0;
        QTest::newRow("negative keeps its sign")
            << QByteArray("{\"createTime\":-86400}") << QStringLiteral("1969-12-31 08:00")
            << QString() << 0.0;
        QTest::newRow("milliseconds with a fraction")
            << QByteArray("{\"createTime\":1709251200999.5}") << QStringLiteral("2024-03-01 08:00")
            << QString() << 0.0;
        QTest::newRow("date as text is ignored")
            << QByteArray("{\"createTime\":\"2024-03-01\",\"modifyTime\":\"x\"}") << QString()
            << QString() << 0.0;
        QTest::newRow("null") << QByteArray("{\"createTime\":null}") << QString() << QString()
                              << 0.0;
    }

    void dates()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, createTime);
        QFETCH(QString, modifyTime);
        QFETCH(double, modifyTimeStamp);
        const auto order = Mapper<SCOrder>().map(json(body.constData()));
        QCOMPARE(order->createTime, createTime);
        QCOMPARE(order->modifyTime, modifyTime);
        QCOMPARE(order->modifyTimeStamp, modifyTimeStamp);
    }

    void shortestRendering_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 1709251200000.0 << QStringLiteral("1709251200000.0");
        QTest::newRow("fraction") << 0.1 << QStringLiteral("0.1");
        QTest::newRow("negative") << -86400.0 << QStringLiteral("-86400.0");
        QTest::newRow("large stays plain") << 1e17 << QStringLiteral("100000000000000000.0");
    }

    void shortestRendering()
    {
        QFETCH(double, number);
        QFETCH(QString, text);
        QCOMPARE(SCDateFormatterTransform::shortestText(number), text);
    }

    void illTypedKeysKeepDefaults()
    {
        const auto order = Mapper<SCOrder>().map(json(
            "{\"orderId\":12,\"userId\":\"7\",\"buyCount\":2.5,\"remainFlow\":1.5,\"secret\":null,"
            "\"flowAmount\":9007199254740993,\"productId\":1e30,\"mobile\":\"138\"}"));
        QCOMPARE(order->orderId, QString());
        QCOMPARE(order->userId, 0);
        QCOMPARE(order->buyCount, 0);
        QCOMPARE(order->remainFlow, 1.5f);
        QCOMPARE(order->secret, QString());
        QCOMPARE(order->flowAmount, Q_INT64_C(9007199254740993));
        QCOMPARE(order->productId, 0);
        QCOMPARE(order->mobile, QStringLiteral("138"));
    }

    // Every key gets a value no other key has, so a field read from the wrong key, or as the
    // wrong kind, shows up in its own row.
    void everyOrderKeyFillsItsOwnField_data()
    {
        QTest::addColumn<QString>("key");
        for (const char *key : kOrderKeys)
            QTest::newRow(key) << QString::fromLatin1(key);
    }

    void everyOrderKeyFillsItsOwnField()
    {
        QFETCH(QString, key);
        QJsonObject object;
        qint64 number = 101;
        for (const char *name : kOrderKeys) {
            const QString text = QString::fromLatin1(name);
            if (kOrderIntegers.contains(text))
                object.insert(text, number++);
            else
                object.insert(text, QString(text + QStringLiteral(" text")));
        }
        object.insert(QStringLiteral("remainFlow"), 2.5);
        const auto order = Mapper<SCOrder>().map(object);
        const QHash<QString, QVariant> fields{
            {QStringLiteral("secret"), order->secret},
            {QStringLiteral("searchValue"), order->searchValue},
            {QStringLiteral("createBy"), order->createBy},
            {QStringLiteral("updateBy"), order->updateBy},
            {QStringLiteral("updateTime"), order->updateTime},
            {QStringLiteral("remark"), order->remark},
            {QStringLiteral("params"), order->params},
            {QStringLiteral("mobile"), order->mobile},
            {QStringLiteral("orderId"), order->orderId},
            {QStringLiteral("userId"), order->userId},
            {QStringLiteral("productId"), order->productId},
            {QStringLiteral("buyCount"), order->buyCount},
            {QStringLiteral("usedCount"), order->usedCount},
            {QStringLiteral("orderStatus"), order->orderStatus},
            {QStringLiteral("orderExpiryDate"), order->orderExpiryDate},
            {QStringLiteral("orderFailMessage"), order->orderFailMessage},
            {QStringLiteral("orderCreateTime"), order->orderCreateTime},
            {QStringLiteral("tempOrderDate"), order->tempOrderDate},
            {QStringLiteral("userName"), order->userName},
            {QStringLiteral("userRemark"), order->userRemark},
            {QStringLiteral("flowAmount"), order->flowAmount},
            {QStringLiteral("remainFlow"), double(order->remainFlow)},
        };
        QCOMPARE(fields.size(), 22);
        QVERIFY(fields.contains(key));
        QCOMPARE(fields.value(key), object.value(key).toVariant());
    }

    void orderList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("orderIds");
        QTest::newRow("absent") << QByteArray("{}") << QStringList();
        QTest::newRow("null") << QByteArray("{\"orderInfoList\":null}") << QStringList();
        QTest::newRow("not an array")
            << QByteArray("{\"orderInfoList\":{\"orderId\":\"a\"}}") << QStringList();
        QTest::newRow("array with a non-object")
            << QByteArray("{\"orderInfoList\":[{\"orderId\":\"a\"},3]}") << QStringList();
        QTest::newRow("two in order")
            << QByteArray("{\"orderInfoList\":[{\"orderId\":\"a\"},{\"orderId\":\"b\"}]}")
            << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    }

    void orderList()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, orderIds);
        const auto content = Mapper<SCOrderContent>().map(json(body.constData()));
        QStringList ids;
        for (const auto &order : content->orderInfoList)
            ids << order->orderId;
        QCOMPARE(ids, orderIds);
    }

    void contentFromUntypedValue()
    {
        QVERIFY(!Mapper<SCOrderContent>().mapJSONObject(QJsonValue(3)));
        QVERIFY(!Mapper<SCOrderContent>().mapJSONObject(QJsonValue()));
        const auto content = Mapper<SCOrderContent>().mapJSONObject(
            json("{\"secret\":\"k\",\"createTime\":1709251200}"));
        QCOMPARE(content->secret, QStringLiteral("k"));
        QCOMPARE(content->createTime, QStringLiteral("2024-03-01 08:00"));
    }

    void envelopeFields()
    {
        const auto envelope =
            Mapper<SCResponse>().map(json("{\"result\":null,\"code\":3,\"message\":5}"));
        QVERIFY(!envelope->result);
        QCOMPARE(envelope->resultCode, std::optional<qint64>(3));
        QVERIFY(!envelope->resultMsg);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
