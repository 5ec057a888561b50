#pragma once

#include "core/model/SCOrder.h"
#include "core/model/SCOrderContent.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace corvane {

// The kinds of order the service sells, by productId.
enum class ProductKind : qint64
{
    trial = 1,
    bandwidth = 2,
    traffic = 3,
};

// The billing period of a bandwidth order from the months between its creation and its end:
// "/季" for 3, "/年" for 12, "/月" for anything else or a date that does not parse.
QString orderPeriodText(const SCOrder &order);

// The title an order is offered under ("流量订单-10G", "带宽订单-20M/季", "试用订单"); none for a
// product this client does not sell.
std::optional<QString> orderTitle(const SCOrder &order);

// What is left of an order: "到期时间:" and the end date of a bandwidth order, "剩余:" and the
// remaining gigabytes of a traffic order; none for any other kind.
std::optional<QString> residueText(const SCOrder &order);

struct OrderChoice
{
    QString title;
    std::shared_ptr<SCOrder> order;
};

// The orders a customer can pick, in list order, each with its title.
QList<OrderChoice> orderChoices(const SCOrderContent &content);

} // namespace corvane
