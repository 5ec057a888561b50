#include "tunnel/client/TransparentProxy.h"

#include "tunnel/client/DescriptorBudget.h"
#include "tunnel/packet/PacketPath.h"

#include <sys/socket.h>

namespace corvane::tunnel {

TransparentProxy::TransparentProxy(ProxyContext &context, const PacketPath &path)
    : m_context(context), m_path(path)
{}

TransparentProxy::~TransparentProxy()
{
    closeAll();
}

std::string TransparentProxy::listen(const std::vector<IpEndpoint> &addresses)
{
    for (const IpEndpoint &address : addresses) {
        std::variant<Socket, TunnelError> listening = Socket::listen(address.socketAddress());
        if (const auto *error = std::get_if<TunnelError>(&listening)) {
            m_listeners.clear();
            return "Cannot listen on " + address.text() +
                   " for the system-wide mode: " + error->description;
        }
        auto listener = std::make_unique<Listener>();
        listener->owner = this;
        listener->socket = std::get<Socket>(std::move(listening));
        listener->socket.watch(m_context.loop, *listener);
        m_listeners.push_back(std::move(listener));
    }
    m_cap = DescriptorBudget::connectionsWithin(m_context.limits.maxConnections);
    return {};
}

void TransparentProxy::startAccepting()
{
    if (m_accepting)
        return;
    m_accepting = true;
    for (const auto &listener : m_listeners) {
        if (const std::optional<TunnelError> error = listener->socket.want({true, false}))
            m_context.log("Cannot take the system-wide mode's connections: " + error->description);
    }
}

void TransparentProxy::closeAll()
{
    m_listeners.clear();
    m_accepting = false;
    while (!m_connections.empty()) {
        const auto &[connection, held] = *m_connections.begin();
        // A FIN would wait behind the bytes the program has not taken yet, and the packet path
        // that would carry them goes away with the tunnel: a reset goes out at once instead.
        const linger reset{1, 0};
        ::setsockopt(held.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        connection->close({});
    }
}

void TransparentProxy::accept(Listener &listener)
{
    // A few at a time, so a flood of connections cannot starve the ones already open. No
    // owner is asked, unlike on the local proxies: only what the routes send into the device
    // reaches these addresses, and the root service routes only its caller's machine there.
    for (int round = 0; round < 64; ++round) {
        SocketAddress peer;
        std::variant<Socket, TunnelError> accepted = listener.socket.accept(&peer);
        if (std::holds_alternative<TunnelError>(accepted))
            return;
        Socket socket = std::get<Socket>(std::move(accepted));
        // A connection made to the listener itself, not through the device, has no flow.
        const std::optional<FlowTable::Flow> flow = m_path.originalDestination(peer);
        if (!flow)
            continue;
        if (m_connections.size() >= m_cap) {
            if (!std::exchange(m_atCapReported, true))
                m_context.log("Refusing new system-wide connections: " +
                              std::to_string(m_connections.size()) + " are open");
            continue;
        }
        m_atCapReported = false;
        const int fd = socket.fd();
        auto connection = std::make_unique<ProxyConnection>(
            m_context, ProxyConnection::Kind::Transparent, std::move(socket), flow->source.text(),
            [this](ProxyConnection *closed) { release(closed); });
        ProxyConnection *raw = connection.get();
        m_connections.emplace(raw, Held{std::move(connection), fd});
        if (m_dnsServer && flow->destination.port == m_dnsServer->port)
            raw->carry(*m_dnsServer, RuleSet::Decision{RuleSet::Action::Proxy, "dns"});
        else
            raw->carry(flow->destination.target());
    }
}

void TransparentProxy::release(ProxyConnection *connection)
{
    const auto found = m_connections.find(connection);
    if (found == m_connections.end())
        return;
    m_context.loop.disposeLater(std::move(found->second.connection));
    m_connections.erase(found);
}

} // namespace corvane::tunnel
