#pragma once

#include "tunnel/client/ProxyConnection.h"
#include "tunnel/packet/IpEndpoint.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvane::tunnel {

class PacketPath;

// The system-wide mode's listener on the TUN device's addresses: the kernel delivers it the
// machine's TCP connections that the packet path rewrote, and each goes on, by the rules, to
// the destination the packet path's flow says it was meant for, as a SOCKS5 CONNECT would.
class TransparentProxy final
{
public:
    TransparentProxy(ProxyContext &context, const PacketPath &path);
    ~TransparentProxy();
    TransparentProxy(const TransparentProxy &) = delete;
    TransparentProxy &operator=(const TransparentProxy &) = delete;

    // Binds each of `addresses`; the reason when one cannot be had.
    std::string listen(const std::vector<IpEndpoint> &addresses);
    // Connections to port 53 go to `server` through the relay, whoever the program asked.
    void sendDnsTo(TargetAddress server) { m_dnsServer = std::move(server); }
    // Connections wait in the kernel's queue until accepting starts.
    void startAccepting();
    // Closes the listeners and resets every connection, so that each program learns at once
    // that its connection ended, whatever was still on its way to it.
    void closeAll();
    std::size_t connectionCount() const { return m_connections.size(); }

private:
    struct Listener final : Watched
    {
        TransparentProxy *owner = nullptr;
        Socket socket;
        void onEvents(Readiness) override { owner->accept(*this); }
    };

    void accept(Listener &listener);
    void release(ProxyConnection *connection);

    ProxyContext &m_context;
    const PacketPath &m_path;
    std::optional<TargetAddress> m_dnsServer;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    struct Held
    {
        std::unique_ptr<ProxyConnection> connection;
        // The program's side, open until the connection is released.
        int fd = -1;
    };
    std::unordered_map<ProxyConnection *, Held> m_connections;
    std::size_t m_cap = 0;
    bool m_accepting = false;
    bool m_atCapReported = false;
};

} // namespace corvane::tunnel
