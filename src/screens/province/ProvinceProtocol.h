#pragma once

#include <QString>

namespace corvane {

// The screen that opens the province list and takes back the choice made there.
class ProvinceProtocol
{
public:
    virtual ~ProvinceProtocol() = default;

    // `index` is the province's position in the list, or -1 for any province.
    virtual void didChooseProvince(const QString &name, qint64 index) = 0;

protected:
    ProvinceProtocol() = default;
    ProvinceProtocol(const ProvinceProtocol &) = default;
    ProvinceProtocol &operator=(const ProvinceProtocol &) = default;
};

} // namespace corvane
