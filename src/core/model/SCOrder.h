#pragma once

#include "core/model/SCBaseModel.h"

namespace corvane {

// One purchase of the customer; every JSON key equals the field name.
class SCOrder final : public SCBaseModel
{
public:
    void mapping(const Map &map) override;

    QString secret;
    QString searchValue;
    QString createBy;
    QString updateBy;
    QString updateTime;
    QString remark;
    QString params;
    QString mobile;
    QString orderId;
    qint64 userId = 0;
    qint64 productId = 0;
    qint64 buyCount = 0;
    qint64 usedCount = 0;
    qint64 orderStatus = 0;
    qint64 orderExpiryDate = 0;
    QString orderFailMessage;
    QString orderCreateTime;
    QString tempOrderDate;
    QString userName;
    QString userRemark;
    qint64 flowAmount = 0;
    float remainFlow = 0;
};

} // namespace corvane
