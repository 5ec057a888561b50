#include "tunnel/client/UdpAssociation.h"

#include "tunnel/proxy/Socks5UdpHeader.h"
#include "tunnel/proxy/UdpSocketOwner.h"
#include "tunnel/rules/RuleSet.h"

#include <algorithm>
#include <unistd.h>

namespace corvane::tunnel {

namespace {
bool unspecified(const TargetAddress &address)
{
    if (address.kind == TargetAddress::Kind::Domain)
        return true;
    const std::size_t size = address.kind == TargetAddress::Kind::IPv4 ? 4 : 16;
    return std::all_of(address.ip.begin(), address.ip.begin() + static_cast<long>(size),
                       [](std::uint8_t byte) { return byte == 0; });
}

// A flow's key: the address form's own fields, where its text would be formatted anew for
// every datagram.
std::string flowKey(const TargetAddress &address)
{
    std::string key(1, static_cast<char>(address.kind));
    if (address.kind == TargetAddress::Kind::Domain)
        key += address.name;
    else
        key.append(reinterpret_cast<const char *>(address.ip.data()),
                   address.kind == TargetAddress::Kind::IPv4 ? 4 : 16);
    key += static_cast<char>(address.port >> 8);
    key += static_cast<char>(address.port & 0xff);
    return key;
}
} // namespace

UdpAssociation::UdpAssociation(ProxyContext &context, std::string client)
    : m_context(context), m_name("UDP association of " + std::move(client))
{
    ++m_context.associations;
}

UdpAssociation::~UdpAssociation()
{
    --m_context.associations;
    // The flows go first: their answers would reach for the association.
    m_flows.clear();
    m_relay.reset();
    const char *kinds[] = {"over 65,507 bytes", "malformed",  "fragments", "from another sender",
                           "from another user", "rejected",   "unrelayed", "beyond the flow limit",
                           "not sent",          "unasked for"};
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        m_lines[i].flush(m_context.log, m_name + ": datagrams " + kinds[i] + " dropped");
}

std::optional<TunnelError> UdpAssociation::open(const SocketAddress &local,
                                                const TargetAddress &named)
{
    m_named = named;
    SocketAddress address = local;
    address.setPort(0);
    std::variant<DatagramSocket, TunnelError> bound = DatagramSocket::bind(address);
    if (const auto *error = std::get_if<TunnelError>(&bound))
        return *error;
    m_socket = std::get<DatagramSocket>(std::move(bound));
    m_address = SocketAddress::local(m_socket.fd());
    m_socket.watch(m_context.loop, *this);
    return m_socket.want({true, false});
}

TargetAddress UdpAssociation::address() const
{
    return *TargetAddress::fromHost(m_address.host(), m_address.port());
}

void UdpAssociation::drop(Drop kind, const std::string &why)
{
    m_lines[static_cast<std::size_t>(kind)].note(m_context.loop.now(), m_context.log,
                                                 m_name + ": dropped a datagram " + why);
}

void UdpAssociation::onEvents(Readiness)
{
    // One datagram a wake: the loop reports the socket again while more wait, where a read
    // that finds none would cost a system call per datagram at the rates datagrams come.
    const std::span<std::uint8_t> input = m_context.loop.input();
    const DatagramSocket::Received received = m_socket.receiveFrom(input);
    // An ICMP error of an earlier answer to the client reads as a failure: it ends nothing.
    if (received.result.done() && admits(received.from))
        fromClient(input.first(received.result.count));
}

bool UdpAssociation::admits(const SocketAddress &from)
{
    if (m_client) {
        if (from.sameAs(*m_client))
            return true;
        drop(Drop::OtherSender,
             "from " + from.text() + ": the client sends from " + m_client->text());
        return false;
    }
    const std::optional<SocketAddress> named = SocketAddress::of(m_named);
    if ((!unspecified(m_named) && (!named || named->host() != from.host())) ||
        (m_named.port != 0 && m_named.port != from.port())) {
        drop(Drop::OtherSender, "from " + from.text() + ": the client named " + m_named.text());
        return false;
    }
    // The port is loopback's, open to every local user: only the client's own may use it.
    const std::optional<uid_t> uid = UdpSocketOwner::uidOf(from, ::getuid());
    if (!uid || *uid != ::getuid()) {
        drop(Drop::OtherUser, "from " + from.text() + ": " +
                                  (uid ? "it belongs to uid " + std::to_string(*uid) +
                                             ", and the tunnel serves its own user only"
                                       : std::string("the kernel does not say whose it is")));
        return false;
    }
    m_client = from;
    return true;
}

void UdpAssociation::fromClient(ByteView datagram)
{
    OpenedDatagram parsed = Socks5UdpHeader::parse(datagram);
    if (const auto *fault = std::get_if<DatagramFault>(&parsed)) {
        switch (*fault) {
        case DatagramFault::TooLarge:
            return drop(Drop::TooLarge, "over 65,507 bytes");
        case DatagramFault::Fragmented:
            return drop(Drop::Fragmented, "with FRAG other than 0: fragments are not reassembled");
        default:
            return drop(Drop::Malformed, "whose SOCKS5 header is malformed");
        }
    }
    const Datagram &sent = std::get<Datagram>(parsed);
    DatagramFlow *flow = flowTo(sent.address);
    if (!flow)
        return;
    if (flow->direct()) {
        if (const std::string problem = flow->sendDirect(sent.payload); !problem.empty())
            return drop(Drop::NotSent, "to " + sent.address.text() + ": " + problem);
        m_traffic.directUp += sent.payload.size();
        return;
    }
    flow->touch();
    if (!m_relay->send(sent.address, sent.payload))
        return drop(Drop::NotSent, "to " + sent.address.text() + ": the relay cannot take it");
    m_traffic.relayUp += sent.payload.size();
}

DatagramFlow *UdpAssociation::flowTo(const TargetAddress &destination)
{
    const std::string key = flowKey(destination);
    if (const auto found = m_flows.find(key); found != m_flows.end()) {
        const std::optional<std::string> &failure = found->second->failure();
        if (!failure)
            return found->second.get();
        drop(Drop::NotSent, "to " + destination.text() + ": " + *failure);
        m_flows.erase(found);
    }
    const RuleSet::Decision decision = m_context.rules.decision(destination);
    if (decision.action == RuleSet::Action::Reject) {
        drop(Drop::Rejected,
             "to " + destination.text() + ": the rules reject it (" + decision.rule + ")");
        return nullptr;
    }
    if (m_context.datagramFlows >= m_context.limits.maxDatagramFlows) {
        drop(Drop::AtLimit, "to " + destination.text() + ": " +
                                std::to_string(m_context.datagramFlows) +
                                " datagram flows are open");
        return nullptr;
    }
    const bool direct = decision.action == RuleSet::Action::Direct;
    if (!direct && !m_relay) {
        m_relay = m_context.datagrams.openDatagrams(
            [this](Datagram &&answer) { fromRelay(std::move(answer)); });
        if (!m_relay) {
            drop(Drop::NoRelay, "to " + destination.text() + ": the relay takes no datagrams now");
            return nullptr;
        }
    }
    auto flow = std::make_unique<DatagramFlow>(
        m_context, destination, direct,
        [this](const TargetAddress &source, ByteView payload) {
            m_traffic.directDown += payload.size();
            toClient(source, payload);
        },
        [this](DatagramFlow &idle) { ended(idle); });
    if (!direct && destination.kind == TargetAddress::Kind::Domain)
        ++m_namePorts[destination.port];
    return m_flows.emplace(key, std::move(flow)).first->second.get();
}

void UdpAssociation::ended(DatagramFlow &flow)
{
    const TargetAddress &destination = flow.destination();
    if (!flow.direct() && destination.kind == TargetAddress::Kind::Domain &&
        --m_namePorts[destination.port] == 0)
        m_namePorts.erase(destination.port);
    m_flows.erase(flowKey(destination));
}

void UdpAssociation::fromRelay(Datagram &&answer)
{
    const auto found = m_flows.find(flowKey(answer.address));
    if (found != m_flows.end() && !found->second->direct())
        found->second->touch();
    else if (!m_namePorts.contains(answer.address.port))
        return drop(Drop::Unasked, "from " + answer.address.text() +
                                       " through the relay: no flow of this association sent "
                                       "there");
    m_traffic.relayDown += answer.payload.size();
    toClient(answer.address, answer.payload);
}

void UdpAssociation::toClient(const TargetAddress &source, ByteView payload)
{
    if (!m_client)
        return;
    m_out.clear();
    if (!Socks5UdpHeader::build(source, payload, m_out))
        return drop(Drop::TooLarge,
                    "from " + source.text() + ": with its header over 65,507 bytes");
    m_socket.sendTo(m_out, *m_client);
}

} // namespace corvane::tunnel
