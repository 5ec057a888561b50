#include "RelayServer.h"

#include "RelayConnection.h"
#include "tunnel/crypto/KeyDerivation.h"

namespace corvane::tunnel {

RelayServer::RelayServer(EventLoop &loop, Options options, Authorise authorise,
                         std::function<void(const std::string &line)> log)
    : m_loop(loop), m_options(std::move(options)), m_authorise(std::move(authorise)),
      m_log(std::move(log)), m_resolver(loop), m_datagrams(*this, loop, m_resolver)
{}

RelayServer::~RelayServer()
{
    dropConnections();
    for (auto &[id, tunnel] : m_tunnels)
        m_loop.cancel(tunnel.forget);
}

std::string RelayServer::listen(const SocketAddress &address)
{
    std::variant<Socket, TunnelError> listening = Socket::listen(address);
    if (const auto *error = std::get_if<TunnelError>(&listening))
        return error->description;
    m_listener = std::get<Socket>(std::move(listening));
    m_port = SocketAddress::local(m_listener.fd()).port();
    m_listener.watch(m_loop, *this);
    if (const std::optional<TunnelError> error = m_listener.want({true, false})) {
        m_listener.close();
        return error->description;
    }
    if (m_options.plain)
        return {};
    SocketAddress datagrams = address;
    datagrams.setPort(m_port);
    if (std::string error = m_datagrams.listen(datagrams); !error.empty()) {
        m_listener.close();
        return error;
    }
    return {};
}

void RelayServer::dropConnections()
{
    m_listener.close();
    m_datagrams.close();
    while (!m_connections.empty())
        m_connections.begin()->first->close({});
}

void RelayServer::onEvents(Readiness)
{
    for (int round = 0; round < 64; ++round) {
        std::variant<Socket, TunnelError> accepted = m_listener.accept();
        if (!std::holds_alternative<Socket>(accepted))
            return;
        Socket socket = std::get<Socket>(std::move(accepted));
        const std::string peer = SocketAddress::peer(socket.fd()).text();
        if (m_connections.size() >= m_options.maxConnections) {
            if (!m_atCapReported)
                log("Refusing connections: " + std::to_string(m_connections.size()) + " are open");
            m_atCapReported = true;
            continue;
        }
        m_atCapReported = false;
        auto connection = std::make_unique<RelayConnection>(*this, std::move(socket), peer);
        RelayConnection *raw = connection.get();
        m_connections.emplace(raw, std::move(connection));
        raw->start();
    }
}

void RelayServer::release(RelayConnection *connection)
{
    const auto found = m_connections.find(connection);
    if (found == m_connections.end())
        return;
    m_loop.disposeLater(std::move(found->second));
    m_connections.erase(found);
}

RelayTunnel *RelayServer::tunnel(const TunnelId &id)
{
    const auto found = m_tunnels.find(id);
    return found == m_tunnels.end() ? nullptr : &found->second;
}

RelayTunnel &RelayServer::newTunnel(const ServiceKeys::Key &key, const Decision &decision)
{
    TunnelId id{};
    do {
        KeyDerivation::random(id);
    } while (m_tunnels.contains(id));
    RelayTunnel &tunnel = m_tunnels[id];
    tunnel.id = id;
    tunnel.key = key;
    tunnel.exitAddress = decision.exitAddress;
    tunnel.bindFrom = SocketAddress::parse(decision.exitAddress, 0);
    return tunnel;
}

void RelayServer::forget(const TunnelId &id)
{
    const auto found = m_tunnels.find(id);
    if (found == m_tunnels.end())
        return;
    m_loop.cancel(found->second.forget);
    // A tunnel's datagram connections end with it.
    std::vector<RelayConnection *> carrying;
    for (const auto &[connection, owned] : m_connections) {
        if (const TunnelId *of = connection->datagramsOf(); of && *of == id)
            carrying.push_back(connection);
    }
    for (RelayConnection *connection : carrying)
        connection->close({});
    m_tunnels.erase(found);
}

void RelayServer::controlGone(RelayTunnel &tunnel)
{
    tunnel.control = nullptr;
    const TunnelId id = tunnel.id;
    tunnel.forget = m_loop.after(m_options.forgetAfter, [this, id] {
        log("Forgot a tunnel whose control connection stayed away");
        forget(id);
    });
}

std::size_t RelayServer::datagramFlowCount() const
{
    std::size_t count = 0;
    for (const auto &[id, tunnel] : m_tunnels)
        count += tunnel.datagrams ? tunnel.datagrams->flowCount() : 0;
    return count;
}

void RelayServer::log(const std::string &line) const
{
    if (m_log)
        m_log(line);
}

} // namespace corvane::tunnel
