#include "tunnel/proxy/PeerOwner.h"

#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::tunnel {

namespace {
void copyAddress(const SocketAddress &address, __be32 *into)
{
    if (address.family() == AF_INET6)
        std::memcpy(into, &reinterpret_cast<const sockaddr_in6 *>(address.raw())->sin6_addr, 16);
    else
        std::memcpy(into, &reinterpret_cast<const sockaddr_in *>(address.raw())->sin_addr, 4);
}
} // namespace

PeerOwner::PeerOwner()
    : m_netlink(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG))
{
    // The kernel answers at once; a second is only there so a stuck socket cannot hang us.
    const timeval timeout{1, 0};
    setsockopt(m_netlink, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

PeerOwner::~PeerOwner()
{
    if (m_netlink >= 0)
        ::close(m_netlink);
}

std::optional<uid_t> PeerOwner::uidOf(const SocketAddress &peer, const SocketAddress &local)
{
    if (m_netlink < 0 || peer.family() != local.family())
        return std::nullopt;
    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.header.nlmsg_seq = ++m_sequence;
    message.request.sdiag_family = static_cast<__u8>(peer.family());
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = ~0u;
    message.request.id.idiag_sport = htons(peer.port());
    message.request.id.idiag_dport = htons(local.port());
    copyAddress(peer, message.request.id.idiag_src);
    copyAddress(local, message.request.id.idiag_dst);
    message.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(m_netlink, &message, sizeof message, 0, reinterpret_cast<sockaddr *>(&kernel),
                 sizeof kernel) < 0)
        return std::nullopt;
    alignas(nlmsghdr) char answer[1024];
    for (;;) {
        const ssize_t size = ::recv(m_netlink, answer, sizeof answer, 0);
        if (size <= 0)
            return std::nullopt;
        // Walked by hand: the netlink macros use C casts.
        for (std::size_t at = 0; at + sizeof(nlmsghdr) <= static_cast<std::size_t>(size);) {
            nlmsghdr header;
            std::memcpy(&header, answer + at, sizeof header);
            if (header.nlmsg_len < sizeof header ||
                at + header.nlmsg_len > static_cast<std::size_t>(size))
                return std::nullopt;
            const std::size_t body = at + NLMSG_HDRLEN;
            at += NLMSG_ALIGN(header.nlmsg_len);
            // Answers to an earlier question that timed out are skipped.
            if (header.nlmsg_seq != m_sequence)
                continue;
            if (header.nlmsg_type != SOCK_DIAG_BY_FAMILY ||
                body + sizeof(inet_diag_msg) > static_cast<std::size_t>(size))
                return std::nullopt;
            inet_diag_msg found;
            std::memcpy(&found, answer + body, sizeof found);
            return found.idiag_uid;
        }
    }
}

} // namespace corvane::tunnel
