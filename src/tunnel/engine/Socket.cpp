#include "tunnel/engine/Socket.h"

#include <cerrno>
#include <cstring>
#include <netinet/tcp.h>
#include <unistd.h>

namespace corvane::tunnel {

namespace {
void setNoDelay(int fd)
{
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}
} // namespace

std::string errorText(int error)
{
    return std::strerror(error);
}

Socket &Socket::operator=(Socket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void Socket::close()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

std::pair<Socket, std::string> Socket::listen(const SocketAddress &address)
{
    Socket socket(::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.isOpen())
        return {Socket(), errorText(errno)};
    const int one = 1;
    setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (address.family() == AF_INET6)
        setsockopt(socket.fd(), IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    if (::bind(socket.fd(), address.raw(), address.length) != 0 ||
        ::listen(socket.fd(), SOMAXCONN) != 0)
        return {Socket(), errorText(errno)};
    return {std::move(socket), std::string()};
}

std::pair<Socket, std::string> Socket::connect(const SocketAddress &address,
                                               const SocketAddress *from)
{
    Socket socket(::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.isOpen()) {
        const int error = errno;
        std::string text = errorText(error);
        errno = error;
        return {Socket(), std::move(text)};
    }
    setNoDelay(socket.fd());
    if (from && ::bind(socket.fd(), from->raw(), from->length) != 0)
        return {Socket(), errorText(errno)};
    if (::connect(socket.fd(), address.raw(), address.length) != 0 && errno != EINPROGRESS)
        return {Socket(), errorText(errno)};
    return {std::move(socket), std::string()};
}

Socket Socket::accept() const
{
    Socket socket(::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (socket.isOpen())
        setNoDelay(socket.fd());
    return socket;
}

std::string Socket::connectError() const
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    return error == 0 ? std::string() : errorText(error);
}

long Socket::read(std::span<std::uint8_t> into) const
{
    const ssize_t n = ::recv(m_fd, into.data(), into.size(), 0);
    if (n >= 0)
        return n;
    return errno == EAGAIN || errno == EINTR ? -1 : -2;
}

long Socket::write(ByteView bytes) const
{
    const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0)
        return n;
    return errno == EAGAIN || errno == EINTR ? -1 : -2;
}

void Socket::shutdownWrite() const
{
    ::shutdown(m_fd, SHUT_WR);
}

} // namespace corvane::tunnel
