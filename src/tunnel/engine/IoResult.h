#pragma once

#include <cstddef>

namespace corvane::tunnel {

// What a read or a write on a non-blocking descriptor came to.
struct IoResult
{
    enum class Outcome
    {
        // `count` bytes moved (a datagram may be empty).
        Done,
        // Nothing can move now; the loop says when it can.
        WouldBlock,
        // The peer ended its stream.
        Closed,
        // The descriptor is broken; `error` says why.
        Failed
    };

    Outcome outcome = Outcome::Done;
    std::size_t count = 0;
    int error = 0;

    // From a system call's answer, with errno telling why when it is negative.
    static IoResult of(long answer);
    bool done() const { return outcome == Outcome::Done; }
    bool failed() const { return outcome == Outcome::Failed; }
};

} // namespace corvane::tunnel
