#include "core/model/SCOrder.h"

namespace corvane {

void SCOrder::mapping(const Map &map)
{
    SCBaseModel::mapping(map);
    map.text(QLatin1StringView("secret"), secret);
    map.text(QLatin1StringView("searchValue"), searchValue);
    map.text(QLatin1StringView("createBy"), createBy);
    map.text(QLatin1StringView("updateBy"), updateBy);
    map.text(QLatin1StringView("updateTime"), updateTime);
    map.text(QLatin1StringView("remark"), remark);
    map.text(QLatin1StringView("params"), params);
    map.text(QLatin1StringView("mobile"), mobile);
    map.text(QLatin1StringView("orderId"), orderId);
    map.integer(QLatin1StringView("userId"), userId);
    map.integer(QLatin1StringView("productId"), productId);
    map.integer(QLatin1StringView("buyCount"), buyCount);
    map.integer(QLatin1StringView("usedCount"), usedCount);
    map.integer(QLatin1StringView("orderStatus"), orderStatus);
    map.integer(QLatin1StringView("orderExpiryDate"), orderExpiryDate);
    map.text(QLatin1StringView("orderFailMessage"), orderFailMessage);
    map.text(QLatin1StringView("orderCreateTime"), orderCreateTime);
    map.text(QLatin1StringView("tempOrderDate"), tempOrderDate);
    map.text(QLatin1StringView("userName"), userName);
    map.text(QLatin1StringView("userRemark"), userRemark);
    map.integer(QLatin1StringView("flowAmount"), flowAmount);
    map.real(QLatin1StringView("remainFlow"), remainFlow);
}

} // namespace corvane
