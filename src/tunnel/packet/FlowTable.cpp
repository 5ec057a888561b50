#include "tunnel/packet/FlowTable.h"

#include "tunnel/packet/IpPacket.h"

#include <cstring>

namespace corvane::tunnel {

namespace {
std::uint64_t mix(std::uint64_t hash, const IpEndpoint &endpoint)
{
    std::uint64_t words[2];
    std::memcpy(words, endpoint.address.data(), sizeof words);
    for (const std::uint64_t word : {words[0], words[1], std::uint64_t(endpoint.port)})
        hash = (hash ^ word) * 0x100000001b3ULL;
    return hash;
}
} // namespace

std::size_t FlowTable::KeyHash::operator()(const Key &key) const
{
    const std::uint64_t hash = mix(mix(0xcbf29ce484222325ULL, key.first), key.second);
    return static_cast<std::size_t>(hash ^ (hash >> 29));
}

FlowTable::FlowTable(Settings settings) : m_settings(settings)
{
    m_ports4.holders.assign(m_settings.portCount, nullptr);
    m_ports6.holders.assign(m_settings.portCount, nullptr);
}

const FlowTable::Flow *FlowTable::fromMachine(const IpEndpoint &source,
                                              const IpEndpoint &destination, std::uint8_t tcpFlags,
                                              Clock::time_point now)
{
    const Key key{source, destination};
    const bool opening =
        (tcpFlags & (IpPacket::kSyn | IpPacket::kAck | IpPacket::kRst)) == IpPacket::kSyn;
    if (const auto found = m_flows.find(key); found != m_flows.end()) {
        // A new connection on the ports of one that ended takes a fresh peer port: the
        // listener's side of the old one may still be in TIME-WAIT.
        if (!(opening && found->second.closing())) {
            touch(found->second, tcpFlags, true, now);
            return &found->second;
        }
        release(found);
    }
    if (!opening)
        return nullptr;
    Ports &ports = portsOf(source.v6);
    for (std::size_t tried = 0; tried < ports.holders.size(); ++tried) {
        const std::size_t offset = ports.next;
        ports.next = (ports.next + 1) % ports.holders.size();
        if (ports.holders[offset])
            continue;
        const IpEndpoint &peer = source.v6 ? m_settings.peer6 : m_settings.peer4;
        Flow &flow = m_flows[key];
        flow.source = source;
        flow.destination = destination;
        flow.peer = peer.withPort(static_cast<std::uint16_t>(m_settings.firstPort + offset));
        flow.lastSeen = now;
        ports.holders[offset] = &flow;
        return &flow;
    }
    return nullptr;
}

const FlowTable::Flow *FlowTable::fromListener(const IpEndpoint &peer, std::uint8_t tcpFlags,
                                               Clock::time_point now)
{
    const std::optional<std::size_t> offset = offsetOf(peer);
    if (!offset)
        return nullptr;
    Flow *flow = portsOf(peer.v6).holders[*offset];
    if (flow)
        touch(*flow, tcpFlags, false, now);
    return flow;
}

std::optional<FlowTable::Flow> FlowTable::originalDestination(const IpEndpoint &peer) const
{
    const std::optional<std::size_t> offset = offsetOf(peer);
    if (const Flow *flow = offset ? portsOf(peer.v6).holders[*offset] : nullptr)
        return *flow;
    return std::nullopt;
}

void FlowTable::expire(Clock::time_point now)
{
    for (auto at = m_flows.begin(); at != m_flows.end();) {
        const Flow &flow = at->second;
        if (now - flow.lastSeen <
            (flow.closing() ? m_settings.transitory : m_settings.established)) {
            ++at;
            continue;
        }
        at = release(at);
    }
}

FlowTable::Flows::iterator FlowTable::release(Flows::iterator flow)
{
    portsOf(flow->second.peer.v6).holders[*offsetOf(flow->second.peer)] = nullptr;
    return m_flows.erase(flow);
}

std::optional<std::size_t> FlowTable::offsetOf(const IpEndpoint &peer) const
{
    const IpEndpoint &fake = peer.v6 ? m_settings.peer6 : m_settings.peer4;
    if (!peer.sameAddress(fake) || peer.port < m_settings.firstPort ||
        peer.port - m_settings.firstPort >= m_settings.portCount)
        return std::nullopt;
    return std::size_t(peer.port - m_settings.firstPort);
}

void FlowTable::touch(Flow &flow, std::uint8_t tcpFlags, bool fromMachine, Clock::time_point now)
{
    flow.lastSeen = now;
    flow.reset = flow.reset || (tcpFlags & IpPacket::kRst) != 0;
    if (tcpFlags & IpPacket::kFin)
        (fromMachine ? flow.finFromMachine : flow.finFromListener) = true;
}

} // namespace corvane::tunnel
