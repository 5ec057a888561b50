#include "core/model/SCOrder.h"

namespace corvane {

void SCOrder::mapping(const Map &map)
{
    SCBaseModel::mapping(map);
    map.text(QStringLiteral("secret"), secret);
    map.text(QStringLiteral("searchValue"), searchValue);
    map.text(QStringLiteral("createBy"), createBy);
    map.text(QStringLiteral("updateBy"), updateBy);
    map.text(QStringLiteral("updateTime"), updateTime);
    map.text(QStringLiteral("remark"), remark);
    map.text(QStringLiteral("params"), params);
    map.text(QStringLiteral("mobile"), mobile);
    map.text(QStringLiteral("orderId"), orderId);
    map.integer(QStringLiteral("userId"), userId);
    map.integer(QStringLiteral("productId"), productId);
    map.integer(QStringLiteral("buyCount"), buyCount);
    map.integer(QStringLiteral("usedCount"), usedCount);
    map.integer(QStringLiteral("orderStatus"), orderStatus);
    map.integer(QStringLiteral("orderExpiryDate"), orderExpiryDate);
    map.text(QStringLiteral("orderFailMessage"), orderFailMessage);
    map.text(QStringLiteral("orderCreateTime"), orderCreateTime);
    map.text(QStringLiteral("tempOrderDate"), tempOrderDate);
    map.text(QStringLiteral("userName"), userName);
    map.text(QStringLiteral("userRemark"), userRemark);
    map.integer(QStringLiteral("flowAmount"), flowAmount);
    map.real(QStringLiteral("remainFlow"), remainFlow);
}

} // namespace corvane
