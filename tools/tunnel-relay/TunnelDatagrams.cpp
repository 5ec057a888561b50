#include "TunnelDatagrams.h"

#include "RelayConnection.h"
#include "RelayDatagrams.h"

#include <memory>

namespace corvane::tunnel {

namespace {
std::size_t familyIndex(int family)
{
    return family == AF_INET6 ? 1 : 0;
}

std::chrono::seconds idleFor(std::uint16_t port)
{
    return port == 53 ? TunnelDatagrams::kNameFlowIdle : TunnelDatagrams::kFlowIdle;
}
} // namespace

TunnelDatagrams::TunnelDatagrams(RelayDatagrams &owner, const ServiceKeys::Key &tunnelKey,
                                 const TunnelId &tunnel, std::optional<SocketAddress> bindFrom)
    : m_owner(owner), m_codec(tunnelKey, tunnel, ServiceDatagram::End::Relay),
      m_bindFrom(std::move(bindFrom))
{}

TunnelDatagrams::~TunnelDatagrams()
{
    for (std::uint64_t lookup : m_lookups)
        m_owner.resolver().cancel(lookup);
    for (auto &[key, flow] : m_flows)
        m_owner.loop().cancel(flow.idle);
}

void TunnelDatagrams::take(ByteView packet, const SocketAddress *peer, RelayConnection *stream)
{
    OpenedDatagram opened = m_codec.open(packet);
    auto *datagram = std::get_if<Datagram>(&opened);
    // A packet that opened moved the window even without an address form, so it counts as
    // the tunnel's latest.
    if (!datagram && std::get<DatagramFault>(opened) != DatagramFault::Malformed)
        return;
    if (peer) {
        m_peer = *peer;
        m_viaStream = false;
    } else {
        m_stream = stream;
        m_viaStream = true;
    }
    if (!datagram)
        return;
    if (const std::optional<SocketAddress> address = SocketAddress::of(datagram->address))
        return sendOut(*address, datagram->payload);
    auto lookup = std::make_shared<std::uint64_t>(0);
    *lookup = m_owner.resolver().resolve(
        datagram->address.name, datagram->address.port,
        [this, lookup, payload = std::move(datagram->payload)](
            const std::vector<SocketAddress> &addresses, const std::string &) {
            m_lookups.erase(*lookup);
            if (!addresses.empty())
                sendOut(addresses.front(), payload);
        });
    m_lookups.insert(*lookup);
}

void TunnelDatagrams::streamGone(RelayConnection *stream)
{
    if (m_stream != stream)
        return;
    m_stream = nullptr;
    m_viaStream = false;
}

DatagramSocket *TunnelDatagrams::exitSocket(int family)
{
    DatagramSocket &socket = m_exits[familyIndex(family)];
    if (socket.isOpen())
        return &socket;
    std::optional<SocketAddress> from =
        m_bindFrom && m_bindFrom->family() == family
            ? m_bindFrom
            : SocketAddress::parse(family == AF_INET6 ? "::" : "0.0.0.0", 0);
    std::variant<DatagramSocket, TunnelError> bound = DatagramSocket::bind(*from);
    if (!std::holds_alternative<DatagramSocket>(bound))
        return nullptr;
    socket = std::get<DatagramSocket>(std::move(bound));
    socket.watch(m_owner.loop(), *this);
    if (socket.want({true, false})) {
        socket.close();
        return nullptr;
    }
    return &socket;
}

void TunnelDatagrams::sendOut(const SocketAddress &destination, ByteView payload)
{
    DatagramSocket *socket = exitSocket(destination.family());
    if (!socket)
        return;
    const std::string key = destination.text();
    auto [found, added] = m_flows.try_emplace(key);
    Flow &flow = found->second;
    if (added) {
        flow.address = destination;
        flow.idle = m_owner.loop().after(idleFor(destination.port()), [this, key] { expire(key); });
    }
    flow.lastActive = m_owner.loop().now();
    static_cast<void>(socket->sendTo(payload, destination));
}

void TunnelDatagrams::expire(const std::string &key)
{
    const auto found = m_flows.find(key);
    if (found == m_flows.end())
        return;
    Flow &flow = found->second;
    flow.idle = {};
    const EventLoop::Clock::time_point end = flow.lastActive + idleFor(flow.address.port());
    if (end > m_owner.loop().now()) {
        flow.idle = m_owner.loop().after(end - m_owner.loop().now(), [this, key] { expire(key); });
        return;
    }
    m_flows.erase(found);
    // With no flow left nothing may answer: the exit sockets go with their ports.
    if (m_flows.empty()) {
        for (DatagramSocket &socket : m_exits)
            socket.close();
    }
}

void TunnelDatagrams::onEvents(Readiness)
{
    const std::span<std::uint8_t> input = m_owner.loop().input();
    for (DatagramSocket &socket : m_exits) {
        for (int round = 0; round < 64 && socket.isOpen(); ++round) {
            const DatagramSocket::Received received = socket.receiveFrom(input);
            if (!received.result.done())
                break;
            const auto found = m_flows.find(received.from.text());
            if (found == m_flows.end())
                continue;
            found->second.lastActive = m_owner.loop().now();
            answer(received.from, input.first(received.result.count));
        }
    }
}

void TunnelDatagrams::answer(const SocketAddress &from, ByteView payload)
{
    const std::optional<TargetAddress> source = TargetAddress::fromHost(from.host(), from.port());
    Bytes &packet = m_owner.loop().output();
    if (!source || !m_codec.seal(*source, payload, packet))
        return;
    if (m_viaStream && m_stream)
        m_stream->sendDatagram(packet);
    else if (m_peer)
        m_owner.sendTo(packet, *m_peer);
}

} // namespace corvane::tunnel
