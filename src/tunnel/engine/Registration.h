#pragma once

#include "tunnel/TunnelError.h"
#include "tunnel/engine/Interest.h"

#include <memory>
#include <optional>

namespace corvane::tunnel {

class EventLoop;

// Something the loop tells what a descriptor it watches is ready for.
class Watched
{
public:
    virtual void onEvents(Readiness ready) = 0;

protected:
    ~Watched() = default;
};

// A descriptor's place in a loop's epoll set. It moves with the descriptor from owner to owner
// (the new owner points it at itself with watchedBy), and leaves the set when it is reset or
// destroyed, which its descriptor does before it closes: a process forked meanwhile still
// holds the descriptor, and the loop would go on reporting it.
class Registration final
{
public:
    struct Entry;

    Registration() = default;
    // Not in the set until something is wanted.
    Registration(EventLoop &loop, int fd, Watched &watched);
    ~Registration();
    Registration(Registration &&other) noexcept;
    Registration &operator=(Registration &&other) noexcept;
    Registration(const Registration &) = delete;
    Registration &operator=(const Registration &) = delete;

    explicit operator bool() const { return m_entry != nullptr; }
    bool isWith(const EventLoop &loop) const;
    Interest interest() const;
    void watchedBy(Watched &watched);
    // Nothing wanted takes the descriptor out of the set: a peer that has hung up would
    // otherwise be reported again and again. The reason when epoll refuses the change.
    [[nodiscard]] std::optional<TunnelError> want(Interest interest);
    void reset();

private:
    std::unique_ptr<Entry> m_entry;
};

// What the epoll set points at. It stays in place while its Registration moves, and the loop
// frees it only after the round whose events may still name it.
struct Registration::Entry
{
    EventLoop *loop = nullptr;
    int fd = -1;
    Watched *watched = nullptr;
    Interest interest;
    bool live = true;
};

} // namespace corvane::tunnel
