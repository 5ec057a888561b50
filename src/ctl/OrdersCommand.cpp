#include "ctl/OrdersCommand.h"

#include "core/home/OrderTexts.h"
#include "ctl/StoredSignIn.h"

#include <QJsonArray>
#include <QTimer>

namespace corvane {

namespace {
const QCommandLineOption kJson(QStringLiteral("json"),
                               QStringLiteral("Print one JSON object: {\"orders\": [...]}."));

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
} // namespace

OrdersCommand::OrdersCommand(QObject *parent)
    : CtlCommand(QStringLiteral("orders"), parent), m_signIn(new StoredSignIn(this))
{}

OrdersCommand::~OrdersCommand() = default;

QString OrdersCommand::summary() const
{
    return QStringLiteral("List the orders of the signed-in customer.");
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
                orders.append(QJsonObject{
                    {QStringLiteral("orderId"), choice.order->orderId},
                    {QStringLiteral("kind"), kindOf(*choice.order)},
                    {QStringLiteral("title"), choice.title},
                    {QStringLiteral("residue"), residue ? QJsonValue(*residue) : QJsonValue()},
                });
            }
            if (json)
                printJson(QJsonObject{{QStringLiteral("orders"), orders}});
            finish(CtlExit::done);
        },
        [this](CtlExit code, const QString &message) { finish(code, message); });
    QTimer::singleShot(timeoutSeconds(parser) * 1000, this, [this] {
        finish(CtlExit::network, QStringLiteral("the service did not answer in time"));
    });
}

} // namespace corvane
