#pragma once

namespace corvane::tunnel {

// What a registered descriptor waits for. None takes it out of the loop's set altogether.
struct Interest
{
    bool readable = false;
    bool writable = false;

    explicit operator bool() const { return readable || writable; }
    bool operator==(const Interest &) const = default;
};

// What the loop found a descriptor ready for. A hang-up or an error counts as readable too:
// the next read tells which it was.
struct Readiness
{
    bool readable = false;
    bool writable = false;
    bool hangup = false;
};

} // namespace corvane::tunnel
