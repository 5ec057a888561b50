#pragma once

#include "core/model/SCBaseModel.h"
#include "core/model/SCOrder.h"

#include <QList>
#include <memory>

namespace corvane {

// The sign-in payload: the customer's orders and the account's secret. Orders are shared with
// the screens that pick them.
class SCOrderContent final : public SCBaseModel
{
public:
    void mapping(const Map &map) override;

    QString secret;
    QList<std::shared_ptr<SCOrder>> orderInfoList;
};

} // namespace corvane
