#include "tunnel/engine/Descriptor.h"

#include <unistd.h>

namespace corvane::tunnel {

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_registration = std::move(other.m_registration);
    }
    return *this;
}

void Descriptor::close()
{
    m_registration.reset();
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

void Descriptor::watch(EventLoop &loop, Watched &watched)
{
    if (m_registration.isWith(loop))
        m_registration.watchedBy(watched);
    else if (isOpen())
        m_registration = Registration(loop, m_fd, watched);
}

} // namespace corvane::tunnel
