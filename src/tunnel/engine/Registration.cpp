#include "tunnel/engine/Registration.h"

#include "tunnel/engine/EventLoop.h"

#include <sys/epoll.h>

namespace corvane::tunnel {

Registration::Registration(EventLoop &loop, int fd, Watched &watched)
    : m_entry(std::make_unique<Entry>(Entry{&loop, fd, &watched, {}, true}))
{}

Registration::~Registration()
{
    reset();
}

Registration::Registration(Registration &&other) noexcept : m_entry(std::move(other.m_entry)) {}

Registration &Registration::operator=(Registration &&other) noexcept
{
    if (this != &other) {
        reset();
        m_entry = std::move(other.m_entry);
    }
    return *this;
}

bool Registration::isWith(const EventLoop &loop) const
{
    return m_entry && m_entry->loop == &loop;
}

Interest Registration::interest() const
{
    return m_entry ? m_entry->interest : Interest{};
}

void Registration::watchedBy(Watched &watched)
{
    m_entry->watched = &watched;
}

std::optional<TunnelError> Registration::want(Interest interest)
{
    if (!m_entry || interest == m_entry->interest)
        return std::nullopt;
    const Interest before = m_entry->interest;
    const int operation = !interest ? EPOLL_CTL_DEL : !before ? EPOLL_CTL_ADD : EPOLL_CTL_MOD;
    if (const int error = m_entry->loop->control(operation, *m_entry, interest))
        return TunnelError{"the event loop cannot watch the socket: " +
                               TunnelError::fromErrno(error).description,
                           error};
    m_entry->interest = interest;
    return std::nullopt;
}

void Registration::reset()
{
    if (!m_entry)
        return;
    // Refused only for a descriptor the set no longer holds: nothing is left to undo.
    if (m_entry->interest)
        m_entry->loop->control(EPOLL_CTL_DEL, *m_entry, {});
    m_entry->loop->retire(std::move(m_entry));
}

} // namespace corvane::tunnel
