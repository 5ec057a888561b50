#include "tunnel/engine/DatagramSocket.h"

#include "tunnel/engine/OutboundSockets.h"

#include <cerrno>

namespace corvane::tunnel {

std::variant<DatagramSocket, TunnelError> DatagramSocket::open(const SocketAddress &address,
                                                               Attach attach)
{
    DatagramSocket socket(::socket(address.family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.isOpen())
        return TunnelError::fromErrno(errno);
    if (address.family() == AF_INET6) {
        const int one = 1;
        setsockopt(socket.fd(), IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    }
    // Room for a burst while the engine thread waits for a core: the kernel's default holds a
    // few hundred small datagrams, some 15 ms at 20,000 a second (net.core.rmem_max caps it).
    const int receiveBuffer = 1 << 20;
    setsockopt(socket.fd(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (std::optional<TunnelError> refused = OutboundSockets::prepare(socket.fd(), address))
        return std::move(*refused);
    if (attach(socket.fd(), address.raw(), address.length) != 0)
        return TunnelError::fromErrno(errno);
    return socket;
}

std::variant<DatagramSocket, TunnelError> DatagramSocket::bind(const SocketAddress &address)
{
    return open(address, ::bind);
}

std::variant<DatagramSocket, TunnelError> DatagramSocket::connect(const SocketAddress &peer)
{
    return open(peer, ::connect);
}

IoResult DatagramSocket::sendTo(ByteView datagram, const SocketAddress &to) const
{
    return IoResult::of(
        ::sendto(fd(), datagram.data(), datagram.size(), MSG_NOSIGNAL, to.raw(), to.length));
}

IoResult DatagramSocket::send(ByteView datagram) const
{
    return IoResult::of(::send(fd(), datagram.data(), datagram.size(), MSG_NOSIGNAL));
}

IoResult DatagramSocket::receive(std::span<std::uint8_t> into) const
{
    return IoResult::of(::recv(fd(), into.data(), into.size(), 0));
}

DatagramSocket::Received DatagramSocket::receiveFrom(std::span<std::uint8_t> into) const
{
    Received received;
    received.from.length = sizeof received.from.storage;
    received.result = IoResult::of(
        ::recvfrom(fd(), into.data(), into.size(), 0, received.from.raw(), &received.from.length));
    if (!received.result.done())
        received.from = {};
    return received;
}

} // namespace corvane::tunnel
