#pragma once

#include "tunnel/client/ProxyConnection.h"
#include "tunnel/proxy/PeerOwner.h"

#include <memory>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace corvane::tunnel {

// The tunnel's local proxies: SOCKS5 and HTTP on 127.0.0.1 and ::1, their connections, the
// refusal of other users and the cap on connections, lowered to what the descriptor limit
// holds.
class LocalProxy final
{
public:
    explicit LocalProxy(ProxyContext &context);
    ~LocalProxy();
    LocalProxy(const LocalProxy &) = delete;
    LocalProxy &operator=(const LocalProxy &) = delete;

    // Binds both proxies (0 picks a free port); the reason when a port cannot be had.
    std::string listen(std::uint16_t socksPort, std::uint16_t httpPort);
    std::uint16_t socksPort() const { return m_socksPort; }
    std::uint16_t httpPort() const { return m_httpPort; }

    // Connections wait in the kernel's queue until accepting starts.
    void startAccepting();
    // Closes the listeners and every connection.
    void closeAll();
    std::size_t connectionCount() const { return m_connections.size(); }
    // Since the proxies began: the closed connections' figures kept, the open ones' added.
    TrafficTotals traffic() const;
    std::vector<ConnectionTraffic> connections() const;

private:
    struct Listener final : Watched
    {
        LocalProxy *owner = nullptr;
        Socket socket;
        ProxyConnection::Kind kind = ProxyConnection::Kind::Socks5;
        // Other users' connections refused since the last line about them, and when the
        // next line may come.
        std::size_t refusedUnlogged = 0;
        EventLoop::Clock::time_point nextRefusalLine{};
        void onEvents(Readiness) override { owner->accept(*this); }
    };

    std::string listenOn(ProxyConnection::Kind kind, std::uint16_t &port);
    void accept(Listener &listener);
    void refuseOtherUser(Listener &listener, const SocketAddress &peer, std::optional<uid_t> uid);
    void refuseAtCap(const Listener &listener, const Socket &socket, const std::string &why);
    void shedWithoutDescriptors(Listener &listener);
    void watchListeners(bool watch);
    void release(ProxyConnection *connection);

    ProxyContext &m_context;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::unordered_map<ProxyConnection *, std::unique_ptr<ProxyConnection>> m_connections;
    PeerOwner m_owners;
    // Ours does not change: asked once, not for every connection.
    const uid_t m_uid = ::getuid();
    TrafficTotals m_closedTraffic;
    std::size_t m_cap = 0;
    // Kept open so that, with every other descriptor taken, one can be freed to take a
    // pending connection and answer it.
    int m_spare = -1;
    std::uint16_t m_socksPort = 0;
    std::uint16_t m_httpPort = 0;
    bool m_accepting = false;
    // Listeners unwatched until a connection closes: no descriptor to take the next one with.
    bool m_paused = false;
    bool m_atCapReported = false;
};

} // namespace corvane::tunnel
