#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/engine/Descriptor.h"
#include "tunnel/engine/IoResult.h"
#include "tunnel/engine/SocketAddress.h"

#include <optional>
#include <variant>

namespace corvane::tunnel {

// An owned, non-blocking TCP socket.
class Socket final : public Descriptor
{
public:
    Socket() = default;
    explicit Socket(int fd) : Descriptor(fd) {}
    Socket(Socket &&) noexcept = default;
    Socket &operator=(Socket &&) noexcept = default;

    // A listening socket on `address`.
    static std::variant<Socket, TunnelError> listen(const SocketAddress &address);
    // A connect under way (or done) to `address`, from `from` when given. The error's code
    // tells our own want of descriptors from the peer's refusal.
    static std::variant<Socket, TunnelError> connect(const SocketAddress &address,
                                                     const SocketAddress *from = nullptr);
    // The next pending connection, non-blocking; the error's code is EAGAIN when there is none.
    // Its peer's address goes into `peer` when given, without a call of its own.
    std::variant<Socket, TunnelError> accept(SocketAddress *peer = nullptr) const;
    // The outcome of a connect once the socket is writable.
    std::optional<TunnelError> connectError() const;

    // Done with at least one byte, Closed at the end of the stream.
    IoResult read(std::span<std::uint8_t> into) const;
    // Done with the bytes taken, maybe fewer than given.
    IoResult write(ByteView bytes) const;
    void shutdownWrite() const;
};

} // namespace corvane::tunnel
