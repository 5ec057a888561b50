#pragma once

#include "tunnel/engine/DatagramSocket.h"
#include "tunnel/engine/EventLoop.h"
#include "tunnel/engine/Resolver.h"

#include <string>

namespace corvane::tunnel {

class RelayConnection;
class RelayServer;

// The service relay's UDP side, on the same port number as its TCP listener: each packet goes
// to the tunnel its clear id names, through that tunnel's TunnelDatagrams. A packet of no known
// tunnel, or that cannot be one, is dropped without an answer.
class RelayDatagrams final : private Watched
{
public:
    RelayDatagrams(RelayServer &server, EventLoop &loop, Resolver &resolver);

    // The error text when it cannot bind `address`.
    std::string listen(const SocketAddress &address);
    void close() { m_socket.close(); }

    // A packet from the client, over UDP from `peer` or down a datagram connection.
    void take(ByteView packet, const SocketAddress *peer, RelayConnection *stream);
    void sendTo(ByteView packet, const SocketAddress &peer) const;

    EventLoop &loop() { return m_loop; }
    Resolver &resolver() { return m_resolver; }

private:
    void onEvents(Readiness ready) override;

    RelayServer &m_server;
    EventLoop &m_loop;
    Resolver &m_resolver;
    DatagramSocket m_socket;
};

} // namespace corvane::tunnel
