#include "tunnel/client/SocketProtector.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::tunnel {

SocketProtector::SocketProtector(int end, std::chrono::milliseconds patience)
    : m_end(end), m_patience(patience)
{}

SocketProtector::~SocketProtector()
{
    if (m_end >= 0)
        ::close(m_end);
}

std::optional<TunnelError> SocketProtector::protect(int socket)
{
    if (m_broken)
        return TunnelError{"the system service stopped answering", ETIMEDOUT};
    char byte = 0;
    iovec data{&byte, sizeof byte};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof socket)] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr *part = CMSG_FIRSTHDR(&message);
    part->cmsg_level = SOL_SOCKET;
    part->cmsg_type = SCM_RIGHTS;
    part->cmsg_len = CMSG_LEN(sizeof socket);
    std::memcpy(CMSG_DATA(part), &socket, sizeof socket);
    ssize_t sent;
    do {
        sent = ::sendmsg(m_end, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        const int error = errno;
        return TunnelError{"the system service does not take the socket: " +
                               std::string(std::strerror(error)),
                           error};
    }
    // An answer that does not come in time leaves the socket unmarked, so it must not be used:
    // through the device it would loop back into the tunnel.
    pollfd waiting{m_end, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, static_cast<int>(m_patience.count()));
    } while (ready < 0 && errno == EINTR);
    std::uint8_t answer = 0;
    if (ready <= 0 || ::recv(m_end, &answer, sizeof answer, MSG_DONTWAIT) != 1) {
        m_broken = true;
        return TunnelError{"the system service did not mark the socket", ETIMEDOUT};
    }
    if (answer != 0)
        return TunnelError{"the system service cannot mark the socket: " +
                               std::string(std::strerror(answer)),
                           answer};
    return std::nullopt;
}

} // namespace corvane::tunnel
