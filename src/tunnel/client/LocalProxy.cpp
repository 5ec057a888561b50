#include "tunnel/client/LocalProxy.h"

#include "tunnel/proxy/HttpProxyRequest.h"
#include "tunnel/proxy/Socks5Request.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace corvane::tunnel {

namespace {
const char *nameOf(ProxyConnection::Kind kind)
{
    return kind == ProxyConnection::Kind::Socks5 ? "SOCKS5" : "HTTP";
}
} // namespace

LocalProxy::LocalProxy(ProxyContext &context) : m_context(context) {}

LocalProxy::~LocalProxy()
{
    closeAll();
}

std::string LocalProxy::listen(std::uint16_t socksPort, std::uint16_t httpPort)
{
    m_socksPort = socksPort;
    m_httpPort = httpPort;
    std::string problem = listenOn(ProxyConnection::Kind::Socks5, m_socksPort);
    if (problem.empty())
        problem = listenOn(ProxyConnection::Kind::Http, m_httpPort);
    if (!problem.empty())
        m_listeners.clear();
    return problem;
}

std::string LocalProxy::listenOn(ProxyConnection::Kind kind, std::uint16_t &port)
{
    for (const bool v6 : {false, true}) {
        const SocketAddress address = SocketAddress::loopback(v6, port);
        auto [socket, error] = Socket::listen(address);
        if (!socket.isOpen()) {
            // A machine without IPv6 still has its IPv4 proxy.
            if (v6) {
                m_context.log("Not listening on " + address.text() + " for the " + nameOf(kind) +
                              " proxy: " + error);
                continue;
            }
            return "Cannot listen on " + address.text() + " for the " + nameOf(kind) +
                   " proxy: " + error;
        }
        // With port 0 the IPv6 listener takes the port the system gave the IPv4 one.
        port = SocketAddress::local(socket.fd()).port();
        auto listener = std::make_unique<Listener>();
        listener->owner = this;
        listener->socket = std::move(socket);
        listener->kind = kind;
        m_listeners.push_back(std::move(listener));
    }
    return {};
}

void LocalProxy::startAccepting()
{
    if (m_accepting)
        return;
    m_accepting = true;
    for (const auto &listener : m_listeners)
        m_context.loop.watch(listener->socket.fd(), EPOLLIN, listener.get());
}

void LocalProxy::closeAll()
{
    for (const auto &listener : m_listeners) {
        if (m_accepting)
            m_context.loop.unwatch(listener->socket.fd());
    }
    m_listeners.clear();
    m_accepting = false;
    while (!m_connections.empty())
        m_connections.begin()->first->close({});
}

void LocalProxy::accept(Listener &listener)
{
    // A few at a time, so a flood of connections cannot starve the ones already open.
    for (int round = 0; round < 64; ++round) {
        Socket socket = listener.socket.accept();
        if (!socket.isOpen())
            return;
        const SocketAddress peer = SocketAddress::peer(socket.fd());
        const std::optional<uid_t> uid = m_owners.uidOf(peer, SocketAddress::local(socket.fd()));
        if (!uid || *uid != ::getuid()) {
            m_context.log("Refused a connection to the " + std::string(nameOf(listener.kind)) +
                          " proxy from " + peer.text() + ": " +
                          (uid ? "it belongs to uid " + std::to_string(*uid) +
                                     ", and the tunnel serves its own user only"
                               : std::string("the kernel does not say whose it is")));
            continue;
        }
        if (m_connections.size() >= m_context.limits.maxConnections) {
            if (!m_atCapReported) {
                m_atCapReported = true;
                m_context.log("Refusing new proxy connections: " +
                              std::to_string(m_connections.size()) + " are open");
            }
            if (listener.kind == ProxyConnection::Kind::Socks5)
                socket.write(Socks5Request::methodReply(false));
            else
                socket.write(bytesOf(HttpProxyRequest::response(503, "Service Unavailable")));
            continue;
        }
        m_atCapReported = false;
        auto connection = std::make_unique<ProxyConnection>(
            m_context, listener.kind, std::move(socket), peer.text(),
            [this](ProxyConnection *closed) { release(closed); });
        ProxyConnection *raw = connection.get();
        m_connections.emplace(raw, std::move(connection));
        raw->start();
    }
}

void LocalProxy::release(ProxyConnection *connection)
{
    const auto found = m_connections.find(connection);
    if (found == m_connections.end())
        return;
    m_context.loop.disposeLater(std::move(found->second));
    m_connections.erase(found);
}

} // namespace corvane::tunnel
