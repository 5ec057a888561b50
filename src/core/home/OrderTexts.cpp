#include "core/home/OrderTexts.h"

#include <QDate>
#include <charconv>
#include <cmath>

namespace corvane {

namespace {

std::optional<QDate> monthOf(const QString &text)
{
    const QDate date = QDate::fromString(text.left(7), QStringLiteral("yyyy-MM"));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// The shortest text that reads back as the same float, always with a fractional digit, the
// way the service's own pages show traffic ("10.0", "2.5").
QString shortestDecimal(float value)
{
    char buffer[64];
    const auto result =
        std::to_chars(std::begin(buffer), std::end(buffer), value, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (std::isfinite(value) && !text.contains(u'.'))
        text += QStringLiteral(".0");
    return text;
}

} // namespace

QString orderPeriodText(const SCOrder &order)
{
    const std::optional<QDate> start = monthOf(order.orderCreateTime);
    const std::optional<QDate> end = monthOf(order.tempOrderDate);
    if (!start || !end)
        return QStringLiteral("/月");
    const int months = (end->year() - start->year()) * 12 + (end->month() - start->month());
    if (months == 3)
        return QStringLiteral("/季");
    if (months == 12)
        return QStringLiteral("/年");
    return QStringLiteral("/月");
}

std::optional<QString> orderTitle(const SCOrder &order)
{
    switch (static_cast<ProductKind>(order.productId)) {
    case ProductKind::traffic:
        return QStringLiteral("流量订单-") + QString::number(order.buyCount) + u'G';
    case ProductKind::bandwidth:
        return QStringLiteral("带宽订单-") + QString::number(order.buyCount) + u'M' +
               orderPeriodText(order);
    case ProductKind::trial:
        return QStringLiteral("试用订单");
    }
    return std::nullopt;
}

std::optional<QString> residueText(const SCOrder &order)
{
    switch (static_cast<ProductKind>(order.productId)) {
    case ProductKind::bandwidth:
        return QStringLiteral("到期时间:") + order.tempOrderDate;
    case ProductKind::traffic:
        return QStringLiteral("剩余:") + shortestDecimal(order.remainFlow) + u'G';
    case ProductKind::trial:
        break;
    }
    return std::nullopt;
}

QList<OrderChoice> orderChoices(const SCOrderContent &content)
{
    QList<OrderChoice> choices;
    for (const std::shared_ptr<SCOrder> &order : content.orderInfoList) {
        if (!order)
            continue;
        if (std::optional<QString> title = orderTitle(*order))
            choices.append(OrderChoice{*title, order});
    }
    return choices;
}

} // namespace corvane
