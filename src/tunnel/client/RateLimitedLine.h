#pragma once

#include "tunnel/engine/EventLoop.h"

#include <functional>
#include <string>

namespace corvane::tunnel {

// A log line that a peer can cause as often as it sends: the first goes out, then at most one
// a minute, each telling how many were held back since the one before.
class RateLimitedLine final
{
public:
    using Log = std::function<void(const std::string &line)>;
    static constexpr std::chrono::minutes kEvery{1};

    void note(EventLoop::Clock::time_point now, const Log &log, const std::string &line);
    // What was held back, told when its source ends.
    void flush(const Log &log, const std::string &what);

private:
    EventLoop::Clock::time_point m_next{};
    std::size_t m_held = 0;
};

} // namespace corvane::tunnel
