#include "tunnel/client/RateLimitedLine.h"

#include <utility>

namespace corvane::tunnel {

void RateLimitedLine::note(EventLoop::Clock::time_point now, const Log &log,
                           const std::string &line)
{
    if (now < m_next) {
        ++m_held;
        return;
    }
    m_next = now + kEvery;
    if (!log)
        return;
    if (const std::size_t held = std::exchange(m_held, 0); held > 0)
        log(line + " (and " + std::to_string(held) + " more since the last such line)");
    else
        log(line);
}

void RateLimitedLine::flush(const Log &log, const std::string &what)
{
    if (m_held > 0 && log)
        log(what + " since the last such line: " + std::to_string(std::exchange(m_held, 0)));
}

} // namespace corvane::tunnel
