#include "DemoAccounts.h"

#include <QJsonArray>

namespace corvane {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

struct OrderShape
{
    const char *suffix;
    qint64 productId;
    qint64 buyCount;
    int months;
    double remainFlow;
};

QJsonObject makeOrder(const QString &mobile, const QString &userName, int account,
                      const OrderShape &shape, const QDateTime &created)
{
    const QString orderId =
        QStringLiteral("D%1%2").arg(account).arg(QLatin1StringView(shape.suffix));
    const QDateTime end = created.addMonths(shape.months);
    return QJsonObject{
        {QStringLiteral("orderId"), orderId},
        {QStringLiteral("secret"), QStringLiteral("demo-secret-%1").arg(orderId.toLower())},
        {QStringLiteral("mobile"), mobile},
        {QStringLiteral("userName"), userName},
        {QStringLiteral("userId"), 1000 + account},
        {QStringLiteral("productId"), shape.productId},
        {QStringLiteral("buyCount"), shape.buyCount},
        {QStringLiteral("usedCount"), 0},
        {QStringLiteral("orderStatus"), 1},
        {QStringLiteral("orderExpiryDate"), end.toSecsSinceEpoch()},
        {QStringLiteral("orderCreateTime"), created.toString(kDateFormat)},
        {QStringLiteral("tempOrderDate"), end.toString(kDateFormat)},
        {QStringLiteral("flowAmount"), shape.productId == 3 ? shape.buyCount : 0},
        {QStringLiteral("remainFlow"), shape.remainFlow},
        {QStringLiteral("createTime"), created.toString(kDateFormat)},
    };
}

} // namespace

QList<DemoAccount> demoAccounts(const QDateTime &now)
{
    const QDateTime created = now.addDays(-10);
    struct Person
    {
        const char *mobile;
        const char *password;
        const char16_t *userName;
        qint64 traffic;
        double remaining;
    };
    const Person people[] = {
        {"13800000001", "corvane1", u"演示用户一", 100, 37.5},
        {"13800000002", "corvane2", u"演示用户二", 50, 50},
        {"13800000003", "corvane3", u"演示用户三", 10, 0.5},
    };
    QList<DemoAccount> accounts;
    int number = 0;
    for (const Person &person : people) {
        ++number;
        const QString mobile = QString::fromLatin1(person.mobile);
        const QString userName = QString::fromUtf16(person.userName);
        const OrderShape shapes[] = {
            {"T", 3, person.traffic, 6, person.remaining},
            {"M", 2, 10 * number, 1, 0},
            {"Q", 2, 20 * number, 3, 0},
            {"Y", 2, 50 * number, 12, 0},
            {"F", 1, 1, 0, 0},
        };
        QJsonArray orders;
        for (const OrderShape &shape : shapes)
            orders.append(makeOrder(mobile, userName, number, shape, created));
        accounts.append(DemoAccount{
            mobile, QString::fromLatin1(person.password), userName,
            QJsonObject{{QStringLiteral("secret"), QStringLiteral("demo-account-%1").arg(number)},
                        {QStringLiteral("orderInfoList"), orders}}});
    }
    return accounts;
}

} // namespace corvane
