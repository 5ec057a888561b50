#pragma once

#include "tunnel/client/ProxyLimits.h"

#include <functional>
#include <string>

namespace corvane::tunnel {

class EventLoop;
class Resolver;
class RuleSet;
class RelayDialer;

// What every proxied connection of a tunnel shares.
struct ProxyContext
{
    EventLoop &loop;
    Resolver &resolver;
    const RuleSet &rules;
    RelayDialer &dialer;
    ProxyLimits limits;
    std::function<void(const std::string &line)> log;
};

} // namespace corvane::tunnel
