#pragma once

#include "tunnel/relay/TargetAddress.h"

#include <string>
#include <variant>
#include <vector>

namespace corvane::tunnel {

// The rules document ("json_conf"): per destination, "direct" from this machine, "proxy"
// through the relay or "reject" (closed here). Rules are tried in order; the first match
// decides, then "default".
class RuleSet final
{
public:
    enum class Action
    {
        Direct,
        Proxy,
        Reject
    };

    // The rules of `document`, or the reason it cannot be used (it does not parse, a rule has
    // an unknown type or action or lacks its value).
    static std::variant<RuleSet, std::string> parse(std::string_view document);
    // Everything through the relay.
    RuleSet() = default;

    struct Decision
    {
        Action action = Action::Proxy;
        // Which rule decided, as the document names it ("domain-suffix=example.com",
        // "ip-cidr=10.0.0.0/8", "final"), or "default".
        std::string rule;
    };

    Action decide(const TargetAddress &target) const { return decision(target).action; }
    Decision decision(const TargetAddress &target) const;

private:
    struct Rule
    {
        enum class Type
        {
            DomainSuffix,
            IpCidr,
            Final
        };
        Type type = Type::Final;
        std::string suffix;
        // IPv4 prefixes are kept as IPv4-mapped IPv6 ones, so one comparison serves both.
        std::array<std::uint8_t, 16> network{};
        int prefixLength = 0;
        Action action = Action::Proxy;
        std::string label;
    };

    bool matches(const Rule &rule, const TargetAddress &target) const;

    std::vector<Rule> m_rules;
    Action m_default = Action::Proxy;
};

} // namespace corvane::tunnel
