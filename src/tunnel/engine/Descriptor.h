#pragma once

#include "tunnel/engine/Registration.h"

#include <utility>

namespace corvane::tunnel {

// An owned descriptor and its registration with a loop, which moves with it and leaves the
// loop before the descriptor closes. The base of the socket kinds (and of the TUN device).
class Descriptor
{
public:
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void close();

    // Events go to `watched` from now on; registered with `loop` (wanting nothing yet) unless
    // a former owner registered it already.
    void watch(EventLoop &loop, Watched &watched);
    // See Registration::want; nothing happens before watch().
    [[nodiscard]] std::optional<TunnelError> want(Interest interest)
    {
        return m_registration.want(interest);
    }
    Interest interest() const { return m_registration.interest(); }

protected:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { close(); }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)), m_registration(std::move(other.m_registration))
    {}
    Descriptor &operator=(Descriptor &&other) noexcept;

private:
    int m_fd = -1;
    Registration m_registration;
};

} // namespace corvane::tunnel
