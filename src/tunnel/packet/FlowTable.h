#pragma once

#include "tunnel/engine/TimeSource.h"
#include "tunnel/packet/IpEndpoint.h"

#include <chrono>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace corvane::tunnel {

// The packet path's NAT, keyed by each TCP flow's addresses and ports: each flow from the machine
// (source S:sp to destination D:dp) is given a port k of a fake peer address F of its family, so
// the device can hand the kernel F:k -> listener, and the listener's replies to F:k go back as D:dp
// -> S:sp. Ports are handed out in turn, so a port comes back only after the whole range has been
// walked and the kernel's TIME-WAIT for it is long over. A flow ends when it has been idle too
// long: the established timeout of RFC 5382 for an open flow, the transitory one once a reset or a
// FIN from each side has passed.
class FlowTable final
{
public:
    using Clock = TimeSource::Clock;

    struct Settings
    {
        // The fake peers' addresses (ports ignored).
        IpEndpoint peer4;
        IpEndpoint peer6;
        std::uint16_t firstPort = 10000;
        std::uint16_t portCount = 55000;
        Clock::duration established = std::chrono::minutes(124);
        Clock::duration transitory = std::chrono::minutes(4);
    };

    struct Flow
    {
        IpEndpoint source;
        IpEndpoint destination;
        IpEndpoint peer;
        Clock::time_point lastSeen{};
        bool finFromMachine = false;
        bool finFromListener = false;
        bool reset = false;

        bool closing() const { return reset || (finFromMachine && finFromListener); }
    };

    explicit FlowTable(Settings settings);

    // The flow of a segment from the machine, touched; a new one only for a SYN without ACK
    // (anything else of an unknown flow is a leftover and is dropped), and none when every
    // port of the family is taken.
    const Flow *fromMachine(const IpEndpoint &source, const IpEndpoint &destination,
                            std::uint8_t tcpFlags, Clock::time_point now);
    // The flow a reply of the listener to `peer` belongs to, touched; none for a peer port no
    // flow holds.
    const Flow *fromListener(const IpEndpoint &peer, std::uint8_t tcpFlags, Clock::time_point now);
    // For the listener: where the connection it accepted from `peer` was going, and from whom.
    std::optional<Flow> originalDestination(const IpEndpoint &peer) const;
    // Ends the flows idle longer than their timeout.
    void expire(Clock::time_point now);

    std::size_t size() const { return m_flows.size(); }
    const Settings &settings() const { return m_settings; }

private:
    using Key = std::pair<IpEndpoint, IpEndpoint>;
    struct KeyHash
    {
        std::size_t operator()(const Key &key) const;
    };
    // Nodes stay in place as the table grows, so the ports may point at them.
    using Flows = std::unordered_map<Key, Flow, KeyHash>;

    // Each port offset of one family to the flow holding it, and the next offset to try.
    struct Ports
    {
        std::vector<Flow *> holders;
        std::size_t next = 0;
    };

    Ports &portsOf(bool v6) { return v6 ? m_ports6 : m_ports4; }
    const Ports &portsOf(bool v6) const { return v6 ? m_ports6 : m_ports4; }
    std::optional<std::size_t> offsetOf(const IpEndpoint &peer) const;
    Flows::iterator release(Flows::iterator flow);
    static void touch(Flow &flow, std::uint8_t tcpFlags, bool fromMachine, Clock::time_point now);

    Settings m_settings;
    Flows m_flows;
    Ports m_ports4;
    Ports m_ports6;
};

} // namespace corvane::tunnel
