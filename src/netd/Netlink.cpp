#include "Netlink.h"

#include <linux/netlink.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace corvane::netd {

namespace {

// Large enough for the biggest part of a dump the kernel sends at once.
constexpr std::size_t kBufferSize = 64 * 1024;

} // namespace

Netlink::Netlink() : m_buffer(kBufferSize)
{
    m_fd = UniqueFd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!m_fd.valid()) {
        m_openError = errno;
        return;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(m_fd.get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        m_openError = errno;
}

std::optional<int> Netlink::exchange(NetlinkMessage &message, const Each &each)
{
    if (m_openError)
        return m_openError;
    const auto &bytes = message.finish(++m_sequence);
    if (::send(m_fd.get(), bytes.data(), bytes.size(), 0) < 0)
        return errno;
    for (;;) {
        const ssize_t received = ::recv(m_fd.get(), m_buffer.data(), m_buffer.size(), 0);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        std::span<const std::uint8_t> rest(m_buffer.data(), static_cast<std::size_t>(received));
        while (rest.size() >= sizeof(nlmsghdr)) {
            nlmsghdr head;
            std::memcpy(&head, rest.data(), sizeof head);
            if (head.nlmsg_len < sizeof head || head.nlmsg_len > rest.size())
                return EPROTO;
            const auto one = rest.first(head.nlmsg_len);
            rest = rest.subspan(std::min<std::size_t>(NLMSG_ALIGN(head.nlmsg_len), rest.size()));
            if (head.nlmsg_seq != m_sequence)
                continue;
            if (head.nlmsg_type == NLMSG_DONE || head.nlmsg_type == NLMSG_ERROR) {
                int error = 0;
                if (one.size() >= sizeof head + sizeof error)
                    std::memcpy(&error, one.data() + sizeof head, sizeof error);
                return error == 0 ? std::nullopt : std::optional<int>(-error);
            }
            if (each)
                each(one);
        }
    }
}

} // namespace corvane::netd
