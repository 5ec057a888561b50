#include "SocketMarker.h"

#include "NetdConstants.h"

#include <QSocketNotifier>

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace corvane::netd {

namespace {

// Room for more descriptors than one, so that a message with several is seen and refused
// whole rather than cut.
constexpr std::size_t kMostDescriptors = 8;

int mark(int socket)
{
    int domain = 0;
    socklen_t size = sizeof domain;
    if (::getsockopt(socket, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0)
        return errno;
    if (domain != AF_INET && domain != AF_INET6)
        return EAFNOSUPPORT;
    const std::uint32_t value = kMark;
    if (::setsockopt(socket, SOL_SOCKET, SO_MARK, &value, sizeof value) != 0)
        return errno;
    return 0;
}

} // namespace

SocketMarker::SocketMarker(UniqueFd end, QObject *parent)
    : QObject(parent), m_end(std::move(end)),
      m_notifier(new QSocketNotifier(m_end.get(), QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &SocketMarker::serve);
}

void SocketMarker::serve()
{
    for (;;) {
        char byte = 0;
        iovec data{&byte, sizeof byte};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMostDescriptors)];
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = ::recvmsg(m_end.get(), &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (received <= 0) {
            m_notifier->setEnabled(false);
            return;
        }
        std::vector<UniqueFd> sockets;
        for (cmsghdr *part = CMSG_FIRSTHDR(&message); part; part = CMSG_NXTHDR(&message, part)) {
            if (part->cmsg_level != SOL_SOCKET || part->cmsg_type != SCM_RIGHTS)
                continue;
            const std::size_t count = (part->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(part) + i * sizeof fd, sizeof fd);
                sockets.emplace_back(fd);
            }
        }
        const bool one = sockets.size() == 1 && (message.msg_flags & MSG_CTRUNC) == 0;
        const auto answer = static_cast<std::uint8_t>(one ? mark(sockets.front().get()) : EINVAL);
        ::send(m_end.get(), &answer, sizeof answer, MSG_DONTWAIT | MSG_NOSIGNAL);
    }
}

} // namespace corvane::netd
