#pragma once

#include "RelayDatagrams.h"
#include "RelayTunnel.h"
#include "tunnel/engine/Resolver.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/relay/RelayMethod.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

namespace corvane::tunnel {

class RelayConnection;

// A relay server on one event loop: either a plain relay of the standard protocol (one method
// and password), or the service relay, which runs the handshake of docs/tunnel-helper.md and
// asks `authorise` about each authentication string.
class RelayServer final : private Watched
{
public:
    struct Decision
    {
        bool accepted = false;
        // Refused: why, for the client's log.
        std::string reason;
        // Accepted: the address the tunnel's traffic leaves from. When it is an address of this
        // machine, outgoing connections are bound to it.
        std::string exitAddress;
    };
    using Authorise = std::function<Decision(const std::string &auth)>;
    struct Options
    {
        // A plain relay when set; the service relay otherwise.
        std::optional<RelayMethod> plain;
        std::string password;
        std::size_t maxConnections = 4096;
        std::chrono::seconds handshakeTimeout{10};
        std::chrono::seconds idleTimeout{300};
        std::chrono::seconds forgetAfter{600};
    };

    RelayServer(EventLoop &loop, Options options, Authorise authorise,
                std::function<void(const std::string &line)> log);
    ~RelayServer();
    RelayServer(const RelayServer &) = delete;
    RelayServer &operator=(const RelayServer &) = delete;

    // The error text when it cannot listen on `address` (port 0 picks one). The service relay
    // also takes datagrams over UDP on the same address and port number.
    std::string listen(const SocketAddress &address);
    std::uint16_t port() const { return m_port; }
    // As if the relay's machine lost its network: the listener, the UDP socket and every
    // connection close, the tunnels are kept. listen() again brings it back.
    void dropConnections();
    std::size_t connectionCount() const { return m_connections.size(); }
    std::size_t tunnelCount() const { return m_tunnels.size(); }
    // The destinations whose answers the tunnels' datagrams take now.
    std::size_t datagramFlowCount() const;

private:
    friend class RelayConnection;
    friend class RelayDatagrams;

    void onEvents(Readiness ready) override;
    void release(RelayConnection *connection);
    RelayTunnel *tunnel(const TunnelId &id);
    RelayTunnel &newTunnel(const ServiceKeys::Key &key, const Decision &decision);
    void forget(const TunnelId &id);
    void controlGone(RelayTunnel &tunnel);
    void log(const std::string &line) const;

    EventLoop &m_loop;
    Options m_options;
    Authorise m_authorise;
    std::function<void(const std::string &line)> m_log;
    Resolver m_resolver;
    Socket m_listener;
    RelayDatagrams m_datagrams;
    std::uint16_t m_port = 0;
    std::unordered_map<RelayConnection *, std::unique_ptr<RelayConnection>> m_connections;
    std::map<TunnelId, RelayTunnel> m_tunnels;
    bool m_atCapReported = false;
};

} // namespace corvane::tunnel
