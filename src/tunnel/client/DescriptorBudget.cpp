#include "tunnel/client/DescriptorBudget.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>

namespace corvane::tunnel {

namespace {
rlim_t needFor(std::size_t connections)
{
    return static_cast<rlim_t>(2 * connections + DescriptorBudget::kReserve);
}
} // namespace

void DescriptorBudget::raiseFor(std::size_t connections, std::size_t datagramSockets)
{
    rlimit limit{};
    const rlim_t need = needFor(connections) + static_cast<rlim_t>(datagramSockets);
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= need)
        return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? need : std::min(need, limit.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

std::size_t DescriptorBudget::connectionsWithin(std::size_t cap)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= needFor(cap))
        return cap;
    // A tiny limit still serves a few, with a quarter kept back.
    const rlim_t reserve = std::min<rlim_t>(kReserve, limit.rlim_cur / 4);
    return static_cast<std::size_t>((limit.rlim_cur - reserve) / 2);
}

std::string DescriptorBudget::describeLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return "unknown";
    const auto text = [](rlim_t value) {
        return value == RLIM_INFINITY ? std::string("unlimited") : std::to_string(value);
    };
    return text(limit.rlim_cur) + " (hard limit " + text(limit.rlim_max) + ")";
}

bool DescriptorBudget::isOwnShortage(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace corvane::tunnel
