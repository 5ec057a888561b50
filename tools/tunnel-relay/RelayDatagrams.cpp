#include "RelayDatagrams.h"

#include "RelayServer.h"
#include "TunnelDatagrams.h"

namespace corvane::tunnel {

RelayDatagrams::RelayDatagrams(RelayServer &server, EventLoop &loop, Resolver &resolver)
    : m_server(server), m_loop(loop), m_resolver(resolver)
{}

std::string RelayDatagrams::listen(const SocketAddress &address)
{
    std::variant<DatagramSocket, TunnelError> bound = DatagramSocket::bind(address);
    if (const auto *error = std::get_if<TunnelError>(&bound))
        return error->description;
    m_socket = std::get<DatagramSocket>(std::move(bound));
    m_socket.watch(m_loop, *this);
    if (const std::optional<TunnelError> error = m_socket.want({true, false})) {
        m_socket.close();
        return error->description;
    }
    return {};
}

void RelayDatagrams::onEvents(Readiness)
{
    const std::span<std::uint8_t> input = m_loop.input();
    // A bounded round, so that one busy peer does not hold the loop.
    for (int round = 0; round < 64 && m_socket.isOpen(); ++round) {
        const DatagramSocket::Received received = m_socket.receiveFrom(input);
        if (!received.result.done())
            return;
        take(input.first(received.result.count), &received.from, nullptr);
    }
}

void RelayDatagrams::take(ByteView packet, const SocketAddress *peer, RelayConnection *stream)
{
    const std::optional<TunnelId> id = ServiceDatagram::tunnelOf(packet);
    if (!id)
        return;
    if (RelayTunnel *tunnel = m_server.tunnel(*id)) {
        if (!tunnel->datagrams)
            tunnel->datagrams =
                std::make_unique<TunnelDatagrams>(*this, tunnel->key, tunnel->id, tunnel->bindFrom);
        tunnel->datagrams->take(packet, peer, stream);
    }
}

void RelayDatagrams::sendTo(ByteView packet, const SocketAddress &peer) const
{
    if (m_socket.isOpen())
        static_cast<void>(m_socket.sendTo(packet, peer));
}

} // namespace corvane::tunnel
