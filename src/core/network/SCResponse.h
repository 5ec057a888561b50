#pragma once

#include "core/model/SCBaseModel.h"

#include <QJsonValue>
#include <optional>

namespace corvane {

// The service's reply envelope: {"code": 0, "message": "...", "result": ...}.
class SCResponse final : public SCBaseModel
{
public:
    void mapping(const Map &map) override;

    std::optional<QJsonValue> result;
    // Only a JSON number counts; the text "0" leaves it absent.
    std::optional<qint64> resultCode;
    std::optional<QString> resultMsg;
};

} // namespace corvane
