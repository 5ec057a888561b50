#include "tunnel/client/LocalProxy.h"

#include "tunnel/client/DescriptorBudget.h"
#include "tunnel/proxy/HttpProxyRequest.h"
#include "tunnel/proxy/Socks5Request.h"

#include <fcntl.h>
#include <unistd.h>

namespace corvane::tunnel {

namespace {
const char *nameOf(ProxyConnection::Kind kind)
{
    return kind == ProxyConnection::Kind::Socks5 ? "SOCKS5" : "HTTP";
}

// Another user can open connections as fast as the kernel takes them: their refusals are
// counted, and told once a minute.
constexpr auto kRefusalLineEvery = std::chrono::minutes(1);

int openSpare()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
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
    if (!problem.empty()) {
        m_listeners.clear();
        return problem;
    }
    m_cap = DescriptorBudget::connectionsWithin(m_context.limits.maxConnections);
    if (m_cap < m_context.limits.maxConnections)
        m_context.log("Serving at most " + std::to_string(m_cap) +
                      " proxy connections at once: the descriptor limit is " +
                      DescriptorBudget::describeLimit());
    if (m_spare < 0)
        m_spare = openSpare();
    return {};
}

std::string LocalProxy::listenOn(ProxyConnection::Kind kind, std::uint16_t &port)
{
    for (const bool v6 : {false, true}) {
        const SocketAddress address = SocketAddress::loopback(v6, port);
        std::variant<Socket, TunnelError> listening = Socket::listen(address);
        if (const auto *error = std::get_if<TunnelError>(&listening)) {
            // A machine without IPv6 still has its IPv4 proxy.
            if (v6) {
                m_context.log("Not listening on " + address.text() + " for the " + nameOf(kind) +
                              " proxy: " + error->description);
                continue;
            }
            return "Cannot listen on " + address.text() + " for the " + nameOf(kind) +
                   " proxy: " + error->description;
        }
        Socket socket = std::get<Socket>(std::move(listening));
        // With port 0 the IPv6 listener takes the port the system gave the IPv4 one.
        port = SocketAddress::local(socket.fd()).port();
        auto listener = std::make_unique<Listener>();
        listener->owner = this;
        listener->socket = std::move(socket);
        listener->socket.watch(m_context.loop, *listener);
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
    watchListeners(true);
}

void LocalProxy::watchListeners(bool watch)
{
    for (const auto &listener : m_listeners) {
        if (const std::optional<TunnelError> error = listener->socket.want({watch, false}))
            m_context.log("Cannot take connections to the " + std::string(nameOf(listener->kind)) +
                          " proxy: " + error->description);
    }
}

void LocalProxy::closeAll()
{
    for (const auto &listener : m_listeners) {
        if (listener->refusedUnlogged > 0)
            m_context.log("Other users' connections to the " + std::string(nameOf(listener->kind)) +
                          " proxy refused since the last such line: " +
                          std::to_string(listener->refusedUnlogged));
    }
    m_listeners.clear();
    m_accepting = false;
    m_paused = false;
    while (!m_connections.empty())
        m_connections.begin()->first->close({});
    if (m_spare >= 0)
        ::close(std::exchange(m_spare, -1));
}

void LocalProxy::accept(Listener &listener)
{
    // A few at a time, so a flood of connections cannot starve the ones already open.
    for (int round = 0; round < 64; ++round) {
        SocketAddress peer;
        std::variant<Socket, TunnelError> accepted = listener.socket.accept(&peer);
        if (const auto *error = std::get_if<TunnelError>(&accepted)) {
            if (DescriptorBudget::isOwnShortage(error->code))
                shedWithoutDescriptors(listener);
            return;
        }
        Socket socket = std::get<Socket>(std::move(accepted));
        const std::optional<uid_t> uid = m_owners.uidOf(peer, SocketAddress::local(socket.fd()));
        if (!uid || *uid != m_uid) {
            refuseOtherUser(listener, peer, uid);
            continue;
        }
        if (m_connections.size() >= m_cap) {
            refuseAtCap(listener, socket, std::to_string(m_connections.size()) + " are open");
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

void LocalProxy::refuseOtherUser(Listener &listener, const SocketAddress &peer,
                                 std::optional<uid_t> uid)
{
    ++listener.refusedUnlogged;
    const auto now = m_context.loop.now();
    if (now < listener.nextRefusalLine)
        return;
    listener.nextRefusalLine = now + kRefusalLineEvery;
    std::string line = "Refused a connection to the " + std::string(nameOf(listener.kind)) +
                       " proxy from " + peer.text() + ": " +
                       (uid ? "it belongs to uid " + std::to_string(*uid) +
                                  ", and the tunnel serves its own user only"
                            : std::string("the kernel does not say whose it is"));
    if (const std::size_t before = std::exchange(listener.refusedUnlogged, 0) - 1; before > 0)
        line += " (and " + std::to_string(before) + " more since the last such line)";
    m_context.log(line);
}

void LocalProxy::refuseAtCap(const Listener &listener, const Socket &socket, const std::string &why)
{
    if (!m_atCapReported) {
        m_atCapReported = true;
        m_context.log("Refusing new proxy connections: " + why);
    }
    if (listener.kind == ProxyConnection::Kind::Socks5)
        socket.write(Socks5Request::methodReply(false));
    else
        socket.write(bytesOf(HttpProxyRequest::response(503, "Service Unavailable")));
}

void LocalProxy::shedWithoutDescriptors(Listener &listener)
{
    // A pending connection keeps the listener readable: left there, the loop would spin on it
    // and its client would wait for an answer that never comes.
    if (m_spare >= 0) {
        ::close(std::exchange(m_spare, -1));
        if (const auto accepted = listener.socket.accept();
            std::holds_alternative<Socket>(accepted))
            refuseAtCap(listener, std::get<Socket>(accepted), "no descriptor is left");
        m_spare = openSpare();
    }
    if (m_spare < 0 && !m_paused) {
        m_paused = true;
        watchListeners(false);
        m_context.log("Refusing new proxy connections: no descriptor is left");
    }
}

TrafficTotals LocalProxy::traffic() const
{
    TrafficTotals totals = m_closedTraffic;
    for (const auto &entry : m_connections)
        totals += entry.first->traffic();
    return totals;
}

std::vector<ConnectionTraffic> LocalProxy::connections() const
{
    std::vector<ConnectionTraffic> open;
    for (const auto &entry : m_connections) {
        if (std::optional<ConnectionTraffic> report = entry.first->report())
            open.push_back(std::move(*report));
    }
    return open;
}

void LocalProxy::release(ProxyConnection *connection)
{
    const auto found = m_connections.find(connection);
    if (found == m_connections.end())
        return;
    m_closedTraffic += connection->traffic();
    m_context.loop.disposeLater(std::move(found->second));
    m_connections.erase(found);
    if (m_paused) {
        m_spare = openSpare();
        if (m_spare >= 0) {
            m_paused = false;
            watchListeners(true);
        }
    }
}

} // namespace corvane::tunnel
