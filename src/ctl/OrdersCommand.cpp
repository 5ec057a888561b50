#include "ctl/OrdersCommand.h"

#include "core/home/OrderTexts.h"
#include "ctl/StoredSignIn.h"
#include "launch/LocaleText.h"

#include <QDateTime>
#include <QJsonArray>
#include <QTimer>
#include <charconv>

namespace corvane {

namespace {
const QCommandLineOption
    kJson(QStringLiteral("json"),
          LocaleText::text(QStringLiteral("orders.print-one-json-object-orders")));

QString kindOf(const SCOrder &order)
{
    switch (static_cast<ProductKind>(order.productId)) {
    case ProductKind::traffic:
        return QStringLiteral("traffic");
    case ProductKind::bandwidth:
        return QStringLiteral("bandwidth");
    case ProductKind::trial:
        return QStringLiteral("trial");
    }
    return {};
}

// The float the service sends as the double its shortest decimal form reads as: 0.1, not
// 0.100000001.
double gigabytes(float value)
{
    char buffer[64];
    const auto end = std::to_chars(std::begin(buffer), std::end(buffer), value).ptr;
    return QByteArray(buffer, end - buffer).toDouble();
}

// The order's figures as numbers, for scripts that would otherwise parse the residue text.
void addFigures(QJsonObject &json, const SCOrder &order)
{
    switch (static_cast<ProductKind>(order.productId)) {
    case ProductKind::traffic:
        json.insert(QStringLiteral("trafficGB"), order.buyCount);
        json.insert(QStringLiteral("remainingGB"), gigabytes(order.remainFlow));
        break;
    case ProductKind::bandwidth: {
        json.insert(QStringLiteral("bandwidthMbps"), order.buyCount);
        const QString period = orderPeriodText(order);
        json.insert(QStringLiteral("period"),
                    period == QStringLiteral("/季")   ? QStringLiteral("quarter")
                    : period == QStringLiteral("/年") ? QStringLiteral("year")
                                                      : QStringLiteral("month"));
        break;
    }
    case ProductKind::trial:
        break;
    }
    // The service's end of the order, in seconds since the epoch (0 when it sent none), in local
    // time with the offset that applies then.
    const QDateTime expires = QDateTime::fromSecsSinceEpoch(order.orderExpiryDate);
    json.insert(
        QStringLiteral("expires"),
        order.orderExpiryDate > 0
            ? QJsonValue(expires.toOffsetFromUtc(expires.offsetFromUtc()).toString(Qt::ISODate))
            : QJsonValue());
}
} // namespace

OrdersCommand::OrdersCommand(QObject *parent)
    : CtlCommand(QStringLiteral("orders"), parent), m_signIn(new StoredSignIn(this))
{}

OrdersCommand::~OrdersCommand() = default;

QString OrdersCommand::summary() const
{
    return LocaleText::text(QStringLiteral("orders.list-the-orders-of-the"));
}

void OrdersCommand::declare(QCommandLineParser &parser)
{
    parser.addOption(kJson);
    declareTimeout(parser);
}

void OrdersCommand::run(const QCommandLineParser &parser)
{
    const bool json = parser.isSet(kJson);
    m_signIn->fetch(
        [this, json](const std::shared_ptr<SCOrderContent> &content) {
            QJsonArray orders;
            for (const OrderChoice &choice : orderChoices(*content)) {
                const std::optional<QString> residue = residueText(*choice.order);
                if (!json) {
                    printLine(choice.order->orderId + u'\t' + choice.title +
                              (residue ? u'\t' + *residue : QString()));
                    continue;
                }
                QJsonObject order{
                    {QStringLiteral("orderId"), choice.order->orderId},
                    {QStringLiteral("kind"), kindOf(*choice.order)},
                    {QStringLiteral("title"), choice.title},
                    {QStringLiteral("residue"), residue ? QJsonValue(*residue) : QJsonValue()},
                };
                addFigures(order, *choice.order);
                orders.append(order);
            }
            if (json)
                printJson(QJsonObject{{QStringLiteral("orders"), orders}});
            finish(CtlExit::done);
        },
        [this](CtlExit code, const QString &message) { finish(code, message); });
    QTimer::singleShot(timeoutSeconds(parser) * 1000, this, [this] {
        finish(CtlExit::network,
               LocaleText::text(QStringLiteral("login.the-service-did-not-answer")));
    });
}

} // namespace corvane
