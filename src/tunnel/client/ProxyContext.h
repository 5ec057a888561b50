#pragma once

#include "tunnel/client/ProxyLimits.h"

#include <functional>
#include <string>

namespace corvane::tunnel {

class EventLoop;
class Resolver;
class RuleSet;
class RelayDialer;
class DatagramDialer;

// What every proxied connection of a tunnel shares.
struct ProxyContext
{
    EventLoop &loop;
    Resolver &resolver;
    const RuleSet &rules;
    RelayDialer &dialer;
    DatagramDialer &datagrams;
    ProxyLimits limits;
    std::function<void(const std::string &line)> log;
    // Open against limits.maxAssociations and maxDatagramFlows.
    std::size_t associations = 0;
    std::size_t datagramFlows = 0;
};

} // namespace corvane::tunnel
