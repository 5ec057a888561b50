#pragma once

#include <chrono>

namespace corvane {

// How long ago the kernel started this process, which is earlier than main() by the time the
// dynamic loader and static initialisation take.
class ProcessStart
{
public:
    // Never more than the true age: the kernel keeps the start in clock ticks, so the tick it
    // names is taken as ending before the process began. Zero when /proc cannot say.
    static std::chrono::nanoseconds age();
};

} // namespace corvane
