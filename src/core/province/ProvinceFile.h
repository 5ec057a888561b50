#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>
#include <variant>

namespace corvane {

// The province list shipped as the "city" resource: {"city": ["北京", …]}. A name's position is
// the province number the service receives, so the file's order is part of the contract.
class ProvinceFile final
{
public:
    ProvinceFile() = delete;

    // The names, or why these bytes hold none: not UTF-8, not JSON, no "city" list, a member
    // that is not text, an empty list.
    static std::variant<QStringList, QString> parse(const QByteArray &bytes);
    // The names of the "city" resource; none, with the reason logged, when it is missing or
    // unusable.
    static std::optional<QStringList> load();
};

} // namespace corvane
