#include "tunnel/client/DeviceDatagrams.h"

#include "tunnel/rules/RuleSet.h"

namespace corvane::tunnel {

DeviceDatagrams::DeviceDatagrams(ProxyContext &context, Answer answer)
    : m_context(context), m_answer(std::move(answer))
{}

DeviceDatagrams::~DeviceDatagrams()
{
    closeAll();
}

void DeviceDatagrams::closeAll()
{
    m_sources.clear();
}

void DeviceDatagrams::carry(const IpEndpoint &source, const IpEndpoint &destination,
                            ByteView payload)
{
    const std::string key = source.text();
    Source &from = m_sources.try_emplace(key, Source{source, {}, {}}).first->second;
    const TargetAddress to = destination.target();
    DatagramFlow *flow = flowTo(from, to);
    if (!flow) {
        // A source whose first datagram went nowhere holds nothing.
        if (from.flows.empty())
            m_sources.erase(key);
        return;
    }
    if (flow->direct()) {
        flow->sendDirect(payload);
        return;
    }
    flow->touch();
    from.relay->send(to, payload);
}

DatagramFlow *DeviceDatagrams::flowTo(Source &source, const TargetAddress &destination)
{
    const std::string key = destination.text();
    if (const auto found = source.flows.find(key); found != source.flows.end()) {
        if (!found->second->failure())
            return found->second.get();
        source.flows.erase(found);
    }
    const RuleSet::Decision decision = m_context.rules.decision(destination);
    if (decision.action == RuleSet::Action::Reject ||
        m_context.datagramFlows >= m_context.limits.maxDatagramFlows)
        return nullptr;
    const bool direct = decision.action == RuleSet::Action::Direct;
    const std::string sourceKey = source.address.text();
    if (!direct && !source.relay) {
        source.relay = m_context.datagrams.openDatagrams(
            [this, sourceKey](Datagram &&answer) { fromRelay(sourceKey, std::move(answer)); });
        if (!source.relay)
            return nullptr;
    }
    auto flow = std::make_unique<DatagramFlow>(
        m_context, destination, direct,
        [this, sourceKey](const TargetAddress &from, ByteView payload) {
            if (const auto found = m_sources.find(sourceKey); found != m_sources.end())
                answer(found->second, from, payload);
        },
        [this, sourceKey](DatagramFlow &idle) { ended(sourceKey, idle); });
    return source.flows.emplace(key, std::move(flow)).first->second.get();
}

void DeviceDatagrams::fromRelay(const std::string &key, Datagram &&answer)
{
    const auto found = m_sources.find(key);
    if (found == m_sources.end())
        return;
    // Only what a flow of this program sent for: the relay's side cannot reach the program
    // from anywhere else.
    const auto flow = found->second.flows.find(answer.address.text());
    if (flow == found->second.flows.end() || flow->second->direct())
        return;
    flow->second->touch();
    this->answer(found->second, answer.address, answer.payload);
}

void DeviceDatagrams::answer(const Source &source, const TargetAddress &from, ByteView payload)
{
    const std::optional<SocketAddress> address = SocketAddress::of(from);
    const std::optional<IpEndpoint> endpoint = address ? IpEndpoint::of(*address) : std::nullopt;
    // An IPv4 program's socket takes no IPv6 answer, nor the other way round.
    if (endpoint && endpoint->v6 == source.address.v6)
        m_answer(*endpoint, source.address, payload);
}

void DeviceDatagrams::ended(const std::string &key, DatagramFlow &flow)
{
    const auto found = m_sources.find(key);
    if (found == m_sources.end())
        return;
    found->second.flows.erase(flow.destination().text());
    if (found->second.flows.empty())
        m_sources.erase(found);
}

} // namespace corvane::tunnel
