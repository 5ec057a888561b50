#pragma once

#include "tunnel/client/LocalProxy.h"
#include "tunnel/client/RelaySession.h"
#include "tunnel/client/SystemWideTunnel.h"
#include "tunnel/client/TunnelConfiguration.h"
#include "tunnel/engine/Resolver.h"

#include <memory>

namespace corvane::tunnel {

// One tunnel: the local proxies and the relay session behind them, on one event loop. Made,
// used and destroyed on the loop's thread.
class TunnelClient final
{
public:
    static constexpr std::uint16_t kDefaultSocksPort = 21080;
    static constexpr std::uint16_t kDefaultHttpPort = 21081;

    enum class Status
    {
        Connecting,
        Connected,
        Reasserting,
        Disconnected
    };
    struct Events
    {
        // Disconnected comes once, with the reason (empty after stop()).
        std::function<void(Status status, const std::string &reason)> status;
        std::function<void(std::uint16_t socksPort, std::uint16_t httpPort)> listening;
        std::function<void(const std::string &line)> log;
    };
    struct Options
    {
        std::uint16_t socksPort = kDefaultSocksPort;
        std::uint16_t httpPort = kDefaultHttpPort;
        ProxyLimits limits;
        SessionTimings timings;
        // The system-wide mode: a TUN device's descriptor, taken over at start(), and the
        // addresses the device was given.
        int tunFd = -1;
        PacketPath::Settings packets;
    };

    TunnelClient(EventLoop &loop, TunnelConfiguration configuration, Options options,
                 Events events);
    ~TunnelClient();
    TunnelClient(const TunnelClient &) = delete;
    TunnelClient &operator=(const TunnelClient &) = delete;

    void start();
    // Closes every proxied connection and the listeners, leaves the relay, and reports
    // Disconnected.
    void stop();
    // The network changed under the tunnel: ask the relay now whether it is still there.
    void checkRelay();

    // True when the tunnel went down because a local port could not be had.
    bool couldNotListen() const { return m_couldNotListen; }
    // Why the tunnel went down by itself: a local port taken, the relay not reached, the
    // relay refusing it (with the service's words), the relay answering outside its protocol
    // before it accepted the tunnel, or the relay lost after it was up.
    enum class DownCause
    {
        stopped,
        port,
        unreachable,
        refused,
        protocol,
        lost
    };
    DownCause downCause() const;
    std::string refusal() const;
    std::uint16_t socksPort() const { return m_proxy.socksPort(); }
    std::uint16_t httpPort() const { return m_proxy.httpPort(); }
    std::size_t connectionCount() const { return m_proxy.connectionCount(); }
    // SOCKS5 UDP associations open, and their flows.
    std::size_t associationCount() const { return m_context.associations; }
    std::size_t datagramFlowCount() const { return m_context.datagramFlows; }
    std::size_t systemWideConnectionCount() const
    {
        return m_systemWide ? m_systemWide->connectionCount() : 0;
    }
    TrafficTotals traffic() const { return m_proxy.traffic(); }
    std::vector<ConnectionTraffic> connections() const { return m_proxy.connections(); }

private:
    void relayFound(const SocketAddress &relay);
    void sessionState(RelaySession::State state, const std::string &reason);
    void down(const std::string &reason);
    std::string startSystemWide();
    void closeAll();

    EventLoop &m_loop;
    TunnelConfiguration m_configuration;
    Options m_options;
    Events m_events;
    Resolver m_resolver;
    std::unique_ptr<RelaySession> m_session;
    ProxyContext m_context;
    LocalProxy m_proxy;
    std::unique_ptr<SystemWideTunnel> m_systemWide;
    std::uint64_t m_lookup = 0;
    EventLoop::Timer m_lookupTimer;
    bool m_down = false;
    bool m_couldNotListen = false;
    // Down because stop() asked for it.
    bool m_stopped = false;
};

} // namespace corvane::tunnel
