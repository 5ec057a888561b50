#pragma once

#include "core/model/Map.h"

#include <QJsonObject>
#include <QJsonValue>
#include <memory>

namespace corvane {

// Decodes records of type `Record` (which offers default construction and `mapping(const Map&)`).
template <class Record> class Mapper final
{
public:
    // Always yields a record; missing or ill-typed keys leave its defaults.
    std::shared_ptr<Record> map(const QJsonObject &json) const
    {
        auto record = std::make_shared<Record>();
        record->mapping(Map(json));
        return record;
    }

    // For an untyped value: a record if it is a JSON object, nothing otherwise.
    std::shared_ptr<Record> mapJSONObject(const QJsonValue &value) const
    {
        if (!value.isObject())
            return nullptr;
        return map(value.toObject());
    }
};

} // namespace corvane
