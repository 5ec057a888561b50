#pragma once

#include "Netlink.h"
#include "UniqueFd.h"

#include <QHostAddress>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace corvane::netd {

// What the system-wide mode puts on the machine: the TUN device with its addresses, the routes
// of the Corvane table, the rules of the priority window (IPv4 and IPv6) and the nftables
// table. Every step is checked; a failed one takes everything away again.
class NetworkSetup final
{
public:
    // The TUN device's descriptor, or why the mode could not come up. A relay whose marked
    // route has no way out, or would go through the device itself (a loop), is refused. While
    // the mode is up, the next call takes the same device over: its rules, routes and
    // addresses stay in place throughout.
    std::variant<UniqueFd, QString> up(const QList<QHostAddress> &relays, bool ipv6,
                                       std::uint32_t mtu);
    // Takes away everything of the mode found on the machine, whichever run left it: nothing
    // on success, else the first step that failed (the others are still tried).
    std::optional<QString> cleanAll();

private:
    UniqueFd takeOver();
    std::optional<QString> build(int index, bool ipv6, std::uint32_t mtu);
    std::optional<QString> checkRelay(const QHostAddress &relay, int index);
    std::optional<QString> removeListed(std::uint16_t list, std::uint16_t remove, int family);

    Netlink m_netlink;
    UniqueFd m_held;
    bool m_heldIpv6 = false;
    std::uint32_t m_heldMtu = 0;
};

} // namespace corvane::netd
