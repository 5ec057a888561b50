#pragma once

#include "tunnel/client/ConnectionTraffic.h"
#include "tunnel/client/DatagramChannel.h"
#include "tunnel/client/DatagramFlow.h"
#include "tunnel/client/RateLimitedLine.h"

#include <array>
#include <memory>
#include <unordered_map>

namespace corvane::tunnel {

// A SOCKS5 UDP association (RFC 1928 section 7): a UDP port on the control connection's own
// loopback address that takes datagrams from the client alone (the address it named, or the
// first sender of its user where it named none), sends each on as the rules say for its
// destination, one flow per destination, and carries the answers back. Anything wrong with a
// datagram drops that datagram, with a log line at most once a minute per kind; the
// association lives as long as its owner, the control connection.
class UdpAssociation final : private Watched
{
public:
    UdpAssociation(ProxyContext &context, std::string client);
    ~UdpAssociation();
    UdpAssociation(const UdpAssociation &) = delete;
    UdpAssociation &operator=(const UdpAssociation &) = delete;

    // Binds the UDP port on `local`'s address for datagrams from `named`.
    std::optional<TunnelError> open(const SocketAddress &local, const TargetAddress &named);
    // The port the reply tells the client.
    TargetAddress address() const;
    std::size_t flowCount() const { return m_flows.size(); }
    // Datagrams' payloads, through the relay and straight.
    const TrafficTotals &traffic() const { return m_traffic; }

private:
    enum class Drop
    {
        TooLarge,
        Malformed,
        Fragmented,
        OtherSender,
        OtherUser,
        Rejected,
        NoRelay,
        AtLimit,
        NotSent,
        Unasked,
        Count
    };

    void onEvents(Readiness ready) override;
    bool admits(const SocketAddress &from);
    void fromClient(ByteView datagram);
    DatagramFlow *flowTo(const TargetAddress &destination);
    void fromRelay(Datagram &&answer);
    void toClient(const TargetAddress &source, ByteView payload);
    void ended(DatagramFlow &flow);
    void drop(Drop kind, const std::string &why);

    ProxyContext &m_context;
    std::string m_name;
    TargetAddress m_named;
    std::optional<SocketAddress> m_client;
    DatagramSocket m_socket;
    SocketAddress m_address;
    std::unordered_map<std::string, std::unique_ptr<DatagramFlow>> m_flows;
    // Answers through the relay come from an address, never a name: those from a port that a
    // flow to a name sent to are taken as that flow's.
    std::unordered_map<std::uint16_t, std::size_t> m_namePorts;
    std::unique_ptr<DatagramChannel> m_relay;
    std::array<RateLimitedLine, static_cast<std::size_t>(Drop::Count)> m_lines;
    Bytes m_out;
    TrafficTotals m_traffic;
};

} // namespace corvane::tunnel
