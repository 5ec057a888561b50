#pragma once

#include "tunnel/relay/RelayMethod.h"
#include "tunnel/rules/RuleSet.h"

#include <string>
#include <variant>
#include <vector>

namespace corvane::tunnel {

// The provider configuration the window hands over: a JSON object of exactly the seven keys
// (docs/tunnel-helper.md). "ss_ip" is what the window last showed and is not used.
struct TunnelConfiguration
{
    std::string relayHost;
    std::uint16_t relayPort = 0;
    RelayMethod::Form form = RelayMethod::Form::Stream;
    std::string password;
    // Empty for a plain relay; the service relay's authentication string otherwise.
    std::string auth;
    RuleSet rules;
    // The rules document's "dns" "servers" that are numeric addresses, in its order: where the
    // system-wide mode asks the machine's DNS queries, through the relay.
    std::vector<TargetAddress> dnsServers;

    // The configuration in `json`, or why it cannot carry a tunnel.
    static std::variant<TunnelConfiguration, std::string> parse(std::string_view json);
};

} // namespace corvane::tunnel
