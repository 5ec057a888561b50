#include "core/home/OrderTexts.h"
#include "core/model/Mapper.h"

#include <QJsonDocument>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<SCOrder> order(qint64 productId, qint64 buyCount, const QString &created = {},
                               const QString &end = {}, float remainFlow = 0)
{
    auto made = std::make_shared<SCOrder>();
    made->productId = productId;
    made->buyCount = buyCount;
    made->orderCreateTime = created;
    made->tempOrderDate = end;
    made->remainFlow = remainFlow;
    return made;
}

} // namespace

class TestOrderTexts final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void periodFromTheMonthsBetween_data()
    {
        QTest::addColumn<QString>("created");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("period");
        QTest::newRow("a year") << u"2023-01"_s << u"2024-01"_s << u"/年"_s;
        QTest::newRow("a quarter") << u"2023-01"_s << u"2023-04"_s << u"/季"_s;
        QTest::newRow("a month") << u"2023-01"_s << u"2023-02"_s << u"/月"_s;
        QTest::newRow("half a year") << u"2023-01"_s << u"2023-07"_s << u"/月"_s;
        QTest::newRow("two years") << u"2023-01"_s << u"2025-01"_s << u"/月"_s;
        QTest::newRow("across the year end") << u"2023-11"_s << u"2024-02"_s << u"/季"_s;
        QTest::newRow("days and times are ignored")
            << u"2023-01-31 23:59:59"_s << u"2023-04-01 00:00:00"_s << u"/季"_s;
        QTest::newRow("backwards") << u"2024-01"_s << u"2023-01"_s << u"/月"_s;
        QTest::newRow("empty creation") << QString() << u"2024-01"_s << u"/月"_s;
        QTest::newRow("unparsable end") << u"2023-01"_s << u"soon"_s << u"/月"_s;
        QTest::newRow("month 13") << u"2023-13"_s << u"2024-01"_s << u"/月"_s;
    }

    void periodFromTheMonthsBetween()
    {
        QFETCH(QString, created);
        QFETCH(QString, end);
        QFETCH(QString, period);
        QCOMPARE(orderPeriodText(*order(2, 20, created, end)), period);
    }

    void titlesSkipUnknownProducts()
    {
        SCOrderContent content;
        content.orderInfoList = {order(3, 10), order(5, 1),
                                 order(2, 20, u"2023-01"_s, u"2023-04"_s), order(1, 0),
                                 order(0, 3)};
        const QList<OrderChoice> choices = orderChoices(content);
        QCOMPARE(choices.size(), 3);
        QCOMPARE(choices.at(0).title, u"流量订单-10G"_s);
        QCOMPARE(choices.at(1).title, u"带宽订单-20M/季"_s);
        QCOMPARE(choices.at(2).title, u"试用订单"_s);
        // The second title stands for the third order of the list.
        QCOMPARE(choices.at(1).order, content.orderInfoList.at(2));
        QCOMPARE(choices.at(2).order, content.orderInfoList.at(3));
    }

    void titlesFromTheServicesRecords()
    {
        const QByteArray json = R"({"orderInfoList": [
            {"orderId": "T", "productId": 3, "buyCount": 100, "remainFlow": 2.5},
            {"orderId": "B", "productId": 2, "buyCount": 50,
             "orderCreateTime": "2024-03-01 08:00:00", "tempOrderDate": "2025-03-01 08:00:00"}]})";
        const auto content =
            Mapper<SCOrderContent>().mapJSONObject(QJsonDocument::fromJson(json).object());
        QVERIFY(content);
        const QList<OrderChoice> choices = orderChoices(*content);
        QCOMPARE(choices.size(), 2);
        QCOMPARE(choices.at(0).title, u"流量订单-100G"_s);
        QCOMPARE(residueText(*choices.at(0).order), u"剩余:2.5G"_s);
        QCOMPARE(choices.at(1).title, u"带宽订单-50M/年"_s);
        QCOMPARE(residueText(*choices.at(1).order), u"到期时间:2025-03-01 08:00:00"_s);
    }

    void residue_data()
    {
        QTest::addColumn<qint64>("productId");
        QTest::addColumn<float>("remainFlow");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("residue");
        QTest::newRow("ten gigabytes") << qint64(3) << 10.0F << QString() << u"剩余:10.0G"_s;
        QTest::newRow("two and a half") << qint64(3) << 2.5F << QString() << u"剩余:2.5G"_s;
        QTest::newRow("shortest form of a float")
            << qint64(3) << 0.1F << QString() << u"剩余:0.1G"_s;
        QTest::newRow("nothing left") << qint64(3) << 0.0F << QString() << u"剩余:0.0G"_s;
        QTest::newRow("no exponent") << qint64(3) << 1.0e7F << QString() << u"剩余:10000000.0G"_s;
        QTest::newRow("bandwidth end date as sent")
            << qint64(2) << 0.0F << u"2024-06-30"_s << u"到期时间:2024-06-30"_s;
        QTest::newRow("trial") << qint64(1) << 5.0F << QString() << QString();
        QTest::newRow("unknown product") << qint64(9) << 5.0F << QString() << QString();
    }

    void residue()
    {
        QFETCH(qint64, productId);
        QFETCH(float, remainFlow);
        QFETCH(QString, end);
        QFETCH(QString, residue);
        const std::optional<QString> text =
            residueText(*order(productId, 1, QString(), end, remainFlow));
        QCOMPARE(text.value_or(QString()), residue);
        QCOMPARE(text.has_value(), !residue.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOrderTexts)
#include "tst_ordertexts.moc"
