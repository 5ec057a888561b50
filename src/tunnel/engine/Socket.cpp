#include "tunnel/engine/Socket.h"

#include "tunnel/engine/OutboundSockets.h"

#include <cerrno>
#include <netinet/tcp.h>

namespace corvane::tunnel {

namespace {
void setNoDelay(int fd)
{
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}
} // namespace

std::variant<Socket, TunnelError> Socket::listen(const SocketAddress &address)
{
    Socket socket(::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.isOpen())
        return TunnelError::fromErrno(errno);
    const int one = 1;
    setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (address.family() == AF_INET6)
        setsockopt(socket.fd(), IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    if (::bind(socket.fd(), address.raw(), address.length) != 0 ||
        ::listen(socket.fd(), SOMAXCONN) != 0)
        return TunnelError::fromErrno(errno);
    return socket;
}

std::variant<Socket, TunnelError> Socket::connect(const SocketAddress &address,
                                                  const SocketAddress *from)
{
    Socket socket(::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.isOpen())
        return TunnelError::fromErrno(errno);
    setNoDelay(socket.fd());
    if (std::optional<TunnelError> refused = OutboundSockets::prepare(socket.fd(), address))
        return std::move(*refused);
    if (from && ::bind(socket.fd(), from->raw(), from->length) != 0)
        return TunnelError::fromErrno(errno);
    if (::connect(socket.fd(), address.raw(), address.length) != 0 && errno != EINPROGRESS)
        return TunnelError::fromErrno(errno);
    return socket;
}

std::variant<Socket, TunnelError> Socket::accept(SocketAddress *peer) const
{
    if (peer)
        peer->length = sizeof peer->storage;
    Socket socket(::accept4(fd(), peer ? peer->raw() : nullptr, peer ? &peer->length : nullptr,
                            SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket.isOpen())
        return TunnelError::fromErrno(errno);
    setNoDelay(socket.fd());
    return socket;
}

std::optional<TunnelError> Socket::connectError() const
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == 0)
        return std::nullopt;
    return TunnelError::fromErrno(error);
}

IoResult Socket::read(std::span<std::uint8_t> into) const
{
    IoResult result = IoResult::of(::recv(fd(), into.data(), into.size(), 0));
    if (result.done() && result.count == 0)
        result.outcome = IoResult::Outcome::Closed;
    return result;
}

IoResult Socket::write(ByteView bytes) const
{
    return IoResult::of(::send(fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL));
}

void Socket::shutdownWrite() const
{
    ::shutdown(fd(), SHUT_WR);
}

} // namespace corvane::tunnel
