#pragma once

#include "tunnel/engine/SocketAddress.h"

#include <string>
#include <utility>

namespace corvane::tunnel {

// An owned, non-blocking TCP socket descriptor.
class Socket final
{
public:
    Socket() = default;
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() { close(); }
    Socket(Socket &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Socket &operator=(Socket &&other) noexcept;
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void close();

    // A listening socket on `address`; the error text when it cannot listen.
    static std::pair<Socket, std::string> listen(const SocketAddress &address);
    // A connect under way (or done) to `address`, from `from` when given; the error text when
    // it could not even start, with errno still telling why when no socket could be made.
    static std::pair<Socket, std::string> connect(const SocketAddress &address,
                                                  const SocketAddress *from = nullptr);
    // The next pending connection, non-blocking; a closed Socket when there is none.
    Socket accept() const;
    // The outcome of a connect once the socket is writable: empty, or the error text.
    std::string connectError() const;

    // Bytes read, 0 at the end of the stream, -1 when nothing is there now, -2 on an error.
    long read(std::span<std::uint8_t> into) const;
    // Bytes written (maybe fewer than given), -1 when none fit now, -2 on an error.
    long write(ByteView bytes) const;
    void shutdownWrite() const;

private:
    int m_fd = -1;
};

std::string errorText(int error);

} // namespace corvane::tunnel
