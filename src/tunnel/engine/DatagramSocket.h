#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/engine/Descriptor.h"
#include "tunnel/engine/IoResult.h"
#include "tunnel/engine/SocketAddress.h"

#include <variant>

namespace corvane::tunnel {

// An owned, non-blocking UDP socket: one datagram per send and per receive.
class DatagramSocket final : public Descriptor
{
public:
    struct Received
    {
        // Done with the datagram's length; a datagram longer than the buffer is cut to it.
        IoResult result;
        SocketAddress from;
    };

    DatagramSocket() = default;
    DatagramSocket(DatagramSocket &&) noexcept = default;
    DatagramSocket &operator=(DatagramSocket &&) noexcept = default;

    // Bound to `address` (port 0 picks one).
    static std::variant<DatagramSocket, TunnelError> bind(const SocketAddress &address);
    // On a port of its own and connected to `peer`: it takes datagrams from `peer` alone, and
    // its sends skip the per-datagram route lookup and address copy.
    static std::variant<DatagramSocket, TunnelError> connect(const SocketAddress &peer);

    IoResult sendTo(ByteView datagram, const SocketAddress &to) const;
    Received receiveFrom(std::span<std::uint8_t> into) const;
    // For a connected socket.
    IoResult send(ByteView datagram) const;
    IoResult receive(std::span<std::uint8_t> into) const;

private:
    explicit DatagramSocket(int fd) : Descriptor(fd) {}
    // ::bind or ::connect.
    using Attach = int (*)(int, const sockaddr *, socklen_t);
    static std::variant<DatagramSocket, TunnelError> open(const SocketAddress &address,
                                                          Attach attach);
};

} // namespace corvane::tunnel
