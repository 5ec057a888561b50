#pragma once

#include <QString>

#include <optional>

namespace corvane::netd {

// The nftables table `inet corvane`, written by the nft program from a script built of the
// service's fixed values only. Replacing and removing are each one transaction, so neither
// fails on what an earlier run left.
class NftTable final
{
public:
    static std::optional<QString> install();
    static std::optional<QString> remove();
};

} // namespace corvane::netd
