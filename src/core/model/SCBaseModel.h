#pragma once

#include "core/model/Map.h"

#include <QString>

namespace corvane {

// Common base of the service's records: creation and modification times.
class SCBaseModel
{
public:
    SCBaseModel() = default;
    virtual ~SCBaseModel() = default;
    SCBaseModel(const SCBaseModel &) = default;
    SCBaseModel &operator=(const SCBaseModel &) = default;

    // Subclasses run this first, then read their own fields.
    virtual void mapping(const Map &map);

    QString createTime;
    QString modifyTime;
    double modifyTimeStamp = 0;
};

} // namespace corvane
