#include "NetworkSetup.h"

#include "NetdConstants.h"
#include "NftTable.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/fib_rules.h>
#include <linux/if_tun.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>

#include <array>
#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace corvane::netd {

namespace {

constexpr std::uint32_t kDeviceMetric = 1;
// Behind the device's route: once the device is gone, traffic is refused, not sent direct.
constexpr std::uint32_t kFallbackMetric = 0xffffffff;
// The rules in their order: the tunnel's own marked sockets use the main table; DNS to any
// server, even one on the LAN, goes to the device; every main-table route but the default wins;
// everything else goes to the device.
enum class Rule : std::uint32_t
{
    marked = kFirstPriority,
    dnsOverUdp,
    dnsOverTcp,
    suppress,
    unmarked
};
constexpr std::uint16_t kDnsPort = 53;

struct RawAddress
{
    std::array<std::uint8_t, 16> bytes{};
    std::size_t size = 0;
};

RawAddress rawOf(const QHostAddress &address)
{
    RawAddress raw;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const std::uint32_t value = htonl(address.toIPv4Address());
        std::memcpy(raw.bytes.data(), &value, sizeof value);
        raw.size = sizeof value;
    } else {
        const Q_IPV6ADDR value = address.toIPv6Address();
        std::memcpy(raw.bytes.data(), value.c, sizeof value.c);
        raw.size = sizeof value.c;
    }
    return raw;
}

QString failed(const QString &step, int error)
{
    return step + u": "_s + QString::fromLocal8Bit(std::strerror(error));
}

std::variant<UniqueFd, QString> openTun()
{
    UniqueFd tun(::open("/dev/net/tun", O_RDWR | O_CLOEXEC));
    if (!tun.valid())
        return failed(u"/dev/net/tun could not be opened"_s, errno);
    ifreq request{};
    std::strncpy(request.ifr_name, kDeviceName, IFNAMSIZ - 1);
    // A queue per tunnel, so that the next one can have the device while the last one's queue
    // is cut off; a virtio-net header, so that the helper can leave checksums to the kernel.
    request.ifr_flags = IFF_TUN | IFF_NO_PI | IFF_MULTI_QUEUE | IFF_VNET_HDR;
    if (::ioctl(tun.get(), TUNSETIFF, &request) != 0)
        return failed(u"the TUN device could not be created"_s, errno);
    return tun;
}

NetlinkMessage addressRequest(int index, const QHostAddress &address, int prefix)
{
    NetlinkMessage message(RTM_NEWADDR, NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL);
    ifaddrmsg header{};
    header.ifa_family = address.protocol() == QAbstractSocket::IPv4Protocol ? AF_INET : AF_INET6;
    header.ifa_prefixlen = static_cast<unsigned char>(prefix);
    // Usable at once: duplicate address detection has no neighbour to ask on a TUN device.
    header.ifa_flags = IFA_F_NODAD;
    header.ifa_index = static_cast<unsigned>(index);
    message.header(header);
    const RawAddress raw = rawOf(address);
    message.attribute(IFA_LOCAL, raw.bytes.data(), raw.size);
    message.attribute(IFA_ADDRESS, raw.bytes.data(), raw.size);
    return message;
}

// A default route of the Corvane table: through the device, or (index 0) unreachable.
NetlinkMessage routeRequest(int family, int index, std::uint32_t metric)
{
    NetlinkMessage message(RTM_NEWROUTE, NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL);
    rtmsg header{};
    header.rtm_family = static_cast<unsigned char>(family);
    header.rtm_protocol = RTPROT_STATIC;
    header.rtm_scope = index != 0 ? RT_SCOPE_LINK : RT_SCOPE_UNIVERSE;
    header.rtm_type = index != 0 ? RTN_UNICAST : RTN_UNREACHABLE;
    message.header(header);
    message.attribute32(RTA_TABLE, kTable);
    message.attribute32(RTA_PRIORITY, metric);
    if (index != 0)
        message.attribute32(RTA_OIF, static_cast<std::uint32_t>(index));
    return message;
}

NetlinkMessage ruleRequest(int family, Rule rule)
{
    NetlinkMessage message(RTM_NEWRULE, NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL);
    fib_rule_hdr header{};
    header.family = static_cast<std::uint8_t>(family);
    header.action = FR_ACT_TO_TBL;
    header.flags = rule == Rule::unmarked ? FIB_RULE_INVERT : 0;
    message.header(header);
    message.attribute32(FRA_PRIORITY, static_cast<std::uint32_t>(rule));
    switch (rule) {
    case Rule::marked:
    case Rule::unmarked:
        message.attribute32(FRA_TABLE, rule == Rule::marked ? RT_TABLE_MAIN : kTable);
        message.attribute32(FRA_FWMARK, kMark);
        message.attribute32(FRA_FWMASK, 0xffffffff);
        break;
    case Rule::dnsOverUdp:
    case Rule::dnsOverTcp: {
        message.attribute32(FRA_TABLE, kTable);
        const std::uint8_t protocol = rule == Rule::dnsOverUdp ? IPPROTO_UDP : IPPROTO_TCP;
        message.attribute(FRA_IP_PROTO, &protocol, sizeof protocol);
        const fib_rule_port_range port{kDnsPort, kDnsPort};
        message.attribute(FRA_DPORT_RANGE, &port, sizeof port);
        break;
    }
    case Rule::suppress:
        message.attribute32(FRA_TABLE, RT_TABLE_MAIN);
        message.attribute32(FRA_SUPPRESS_PREFIXLEN, 0);
        break;
    }
    return message;
}

bool isOurs(std::uint16_t list, std::span<const std::uint8_t> message)
{
    if (list == RTM_GETRULE) {
        const auto priority = NetlinkMessage::u32(
            NetlinkMessage::attributesOf(message, sizeof(fib_rule_hdr)), FRA_PRIORITY);
        return priority && *priority >= kFirstPriority && *priority <= kLastPriority;
    }
    const auto header = NetlinkMessage::headerOf<rtmsg>(message);
    if (!header || (header->rtm_flags & RTM_F_CLONED) != 0)
        return false;
    const auto table =
        NetlinkMessage::u32(NetlinkMessage::attributesOf(message, sizeof(rtmsg)), RTA_TABLE);
    return table.value_or(header->rtm_table) == kTable;
}

} // namespace

std::variant<UniqueFd, QString> NetworkSetup::up(const QList<QHostAddress> &relays, bool ipv6,
                                                 std::uint32_t mtu)
{
    UniqueFd tun = ipv6 == m_heldIpv6 && mtu == m_heldMtu ? takeOver() : UniqueFd();
    std::optional<QString> error;
    if (!tun.valid()) {
        if ((error = cleanAll()))
            return *error;
        auto opened = openTun();
        if (auto *why = std::get_if<QString>(&opened))
            return *why;
        tun = std::move(std::get<UniqueFd>(opened));
        const int created = static_cast<int>(::if_nametoindex(kDeviceName));
        error =
            created == 0 ? failed(u"the TUN device is gone"_s, errno) : build(created, ipv6, mtu);
    }
    const int device = static_cast<int>(::if_nametoindex(kDeviceName));
    for (qsizetype i = 0; !error && i < relays.size(); ++i)
        error = checkRelay(relays.at(i), device);
    if (error) {
        cleanAll();
        return *error;
    }
    // Held here too, so that the device outlives a helper that dies: traffic then goes into it
    // and no further, until the next tunnel takes it over or the mode comes down.
    m_held = UniqueFd(::fcntl(tun.get(), F_DUPFD_CLOEXEC, 0));
    m_heldIpv6 = ipv6;
    m_heldMtu = mtu;
    return tun;
}

UniqueFd NetworkSetup::takeOver()
{
    if (!m_held.valid())
        return {};
    // The last tunnel's queue gets nothing more: a helper still stopping cannot carry the next
    // one's traffic by its old relay. A device that went away meanwhile
    // refuses this, and the mode is built again.
    // Closed only once the next queue is on: the last descriptor of a device without queues
    // would take it away.
    const UniqueFd last = std::move(m_held);
    ifreq request{};
    request.ifr_flags = IFF_DETACH_QUEUE;
    if (::ioctl(last.get(), TUNSETQUEUE, &request) != 0)
        return {};
    auto opened = openTun();
    if (!std::holds_alternative<UniqueFd>(opened))
        return {};
    return std::move(std::get<UniqueFd>(opened));
}

std::optional<QString> NetworkSetup::build(int index, bool ipv6, std::uint32_t mtu)
{
    NetlinkMessage link(RTM_NEWLINK, NLM_F_ACK);
    ifinfomsg info{};
    info.ifi_index = index;
    info.ifi_flags = IFF_UP;
    info.ifi_change = IFF_UP;
    link.header(info);
    link.attribute32(IFLA_MTU, mtu);
    if (const auto error = m_netlink.exchange(link))
        return failed(u"the TUN device could not be brought up"_s, *error);

    std::vector<std::pair<QString, NetlinkMessage>> steps;
    steps.emplace_back(
        u"the IPv4 address"_s,
        addressRequest(index, QHostAddress(QString::fromLatin1(kAddress4)), kPrefix4));
    if (ipv6)
        steps.emplace_back(
            u"the IPv6 address"_s,
            addressRequest(index, QHostAddress(QString::fromLatin1(kAddress6)), kPrefix6));
    for (const int family : {AF_INET, AF_INET6}) {
        const QString name = family == AF_INET ? u"IPv4"_s : u"IPv6"_s;
        if (family == AF_INET || ipv6)
            steps.emplace_back(u"the "_s + name + u" route through the device"_s,
                               routeRequest(family, index, kDeviceMetric));
        steps.emplace_back(u"the "_s + name + u" fallback route"_s,
                           routeRequest(family, 0, kFallbackMetric));
        for (const auto &[rule, what] : {std::pair(Rule::marked, u"marked sockets"_s),
                                         std::pair(Rule::dnsOverUdp, u"DNS over UDP"_s),
                                         std::pair(Rule::dnsOverTcp, u"DNS over TCP"_s),
                                         std::pair(Rule::suppress, u"the main table"_s),
                                         std::pair(Rule::unmarked, u"unmarked traffic"_s)})
            steps.emplace_back(u"the "_s + name + u" rule for "_s + what,
                               ruleRequest(family, rule));
    }
    for (auto &[name, message] : steps) {
        // A kernel without IPv6 (ipv6.disable=1) has nothing to leak by it either.
        if (const auto error = m_netlink.exchange(message);
            error && (ipv6 || *error != EAFNOSUPPORT))
            return failed(name + u" could not be added"_s, *error);
    }
    return NftTable::install();
}

std::optional<QString> NetworkSetup::checkRelay(const QHostAddress &relay, int index)
{
    NetlinkMessage lookup(RTM_GETROUTE, NLM_F_ACK);
    rtmsg header{};
    const bool v4 = relay.protocol() == QAbstractSocket::IPv4Protocol;
    header.rtm_family = v4 ? AF_INET : AF_INET6;
    header.rtm_dst_len = v4 ? 32 : 128;
    lookup.header(header);
    const RawAddress raw = rawOf(relay);
    lookup.attribute(RTA_DST, raw.bytes.data(), raw.size);
    lookup.attribute32(RTA_MARK, kMark);
    std::optional<rtmsg> route;
    std::optional<std::uint32_t> device;
    const auto error = m_netlink.exchange(lookup, [&](std::span<const std::uint8_t> message) {
        route = NetlinkMessage::headerOf<rtmsg>(message);
        device = NetlinkMessage::u32(NetlinkMessage::attributesOf(message, sizeof(rtmsg)), RTA_OIF);
    });
    const QString name = relay.toString();
    if (error || !route || (route->rtm_type != RTN_UNICAST && route->rtm_type != RTN_LOCAL))
        return u"the relay "_s + name + u" has no route outside the tunnel"_s;
    if (device == static_cast<std::uint32_t>(index))
        return u"the relay "_s + name + u" would be reached through "_s +
               QString::fromLatin1(kDeviceName) + u" itself, a loop"_s;
    return std::nullopt;
}

std::optional<QString> NetworkSetup::cleanAll()
{
    m_held = UniqueFd();
    std::optional<QString> first;
    const auto note = [&first](std::optional<QString> error) {
        if (error && !first)
            first = std::move(error);
    };
    for (const int family : {AF_INET, AF_INET6}) {
        note(removeListed(RTM_GETRULE, RTM_DELRULE, family));
        note(removeListed(RTM_GETROUTE, RTM_DELROUTE, family));
    }
    if (const unsigned index = ::if_nametoindex(kDeviceName); index != 0) {
        NetlinkMessage remove(RTM_DELLINK, NLM_F_ACK);
        ifinfomsg info{};
        info.ifi_index = static_cast<int>(index);
        remove.header(info);
        if (const auto error = m_netlink.exchange(remove); error && *error != ENODEV)
            note(failed(u"the TUN device could not be removed"_s, *error));
    }
    note(NftTable::remove());
    return first;
}

std::optional<QString> NetworkSetup::removeListed(std::uint16_t list, std::uint16_t remove,
                                                  int family)
{
    NetlinkMessage dump(list, NLM_F_DUMP);
    rtmsg header{};
    header.rtm_family = static_cast<unsigned char>(family);
    dump.header(header);
    std::vector<std::vector<std::uint8_t>> ours;
    const auto listed = m_netlink.exchange(dump, [&](std::span<const std::uint8_t> message) {
        if (isOurs(list, message))
            ours.emplace_back(message.begin(), message.end());
    });
    if (listed == EAFNOSUPPORT)
        return std::nullopt;
    if (listed)
        return failed(u"the rules and routes could not be listed"_s, *listed);
    for (const auto &message : ours) {
        auto request = NetlinkMessage::resend(message, remove, NLM_F_ACK);
        // Gone already: a route of the device goes with it.
        if (const auto error = m_netlink.exchange(request);
            error && *error != ENOENT && *error != ESRCH)
            return failed(u"a rule or route could not be removed"_s, *error);
    }
    return std::nullopt;
}

} // namespace corvane::netd
