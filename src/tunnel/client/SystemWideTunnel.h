#pragma once

#include "tunnel/client/DeviceDatagrams.h"
#include "tunnel/client/DnsForwarder.h"
#include "tunnel/client/TransparentProxy.h"
#include "tunnel/packet/PacketPath.h"

#include <memory>
#include <string>

namespace corvane::tunnel {

// The system-wide mode's half in the helper, for one TUN device: the packet path that reads it
// and the transparent listener on the device's addresses that the rewritten flows reach, on the
// tunnel's loop and under its rules and relay session.
class SystemWideTunnel final
{
public:
    // Every DNS query, UDP or TCP, goes to `dnsServer` through the relay; without one, DNS is
    // carried as any other datagram or connection, under the rules.
    SystemWideTunnel(ProxyContext &context, TunDevice device, PacketPath::Settings settings,
                     std::optional<TargetAddress> dnsServer);
    ~SystemWideTunnel();
    SystemWideTunnel(const SystemWideTunnel &) = delete;
    SystemWideTunnel &operator=(const SystemWideTunnel &) = delete;

    // Reads the device and binds the listeners; the reason when either cannot be had.
    std::string start();
    void startAccepting() { m_proxy.startAccepting(); }
    // Closes every flow's connection and the listeners; the device is read no more.
    void stop();
    std::size_t connectionCount() const { return m_proxy.connectionCount(); }

private:
    ProxyContext &m_context;
    PacketPath::Settings m_settings;
    std::unique_ptr<PacketPath> m_path;
    TransparentProxy m_proxy;
    DeviceDatagrams m_datagrams;
    std::unique_ptr<DnsForwarder> m_dns;
};

} // namespace corvane::tunnel
