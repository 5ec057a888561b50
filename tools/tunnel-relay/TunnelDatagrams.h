#pragma once

#include "tunnel/engine/DatagramSocket.h"
#include "tunnel/engine/EventLoop.h"
#include "tunnel/service/ServiceDatagram.h"

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace corvane::tunnel {

class RelayConnection;
class RelayDatagrams;

// One accepted tunnel's datagrams at the relay: opens the client's packets with the tunnel's
// one codec, sends their payload from the tunnel's exit address, and seals each answer back
// to where the last authentic packet came from. A destination's answers are taken while its
// flow lives: from the first datagram to it until it has been idle for a minute (30 s for
// port 53).
class TunnelDatagrams final : private Watched
{
public:
    static constexpr std::chrono::seconds kFlowIdle{60};
    static constexpr std::chrono::seconds kNameFlowIdle{30};

    TunnelDatagrams(RelayDatagrams &owner, const ServiceKeys::Key &tunnelKey,
                    const TunnelId &tunnel, std::optional<SocketAddress> bindFrom);
    ~TunnelDatagrams();
    TunnelDatagrams(const TunnelDatagrams &) = delete;
    TunnelDatagrams &operator=(const TunnelDatagrams &) = delete;

    // A packet of this tunnel from the client, over UDP from `peer` or down `stream`; anything
    // it cannot take is dropped without a word.
    void take(ByteView packet, const SocketAddress *peer, RelayConnection *stream);
    // A datagram connection closed: answers no longer go down it.
    void streamGone(RelayConnection *stream);
    std::size_t flowCount() const { return m_flows.size(); }

private:
    struct Flow
    {
        SocketAddress address;
        EventLoop::Clock::time_point lastActive{};
        EventLoop::Timer idle;
    };

    void onEvents(Readiness ready) override;
    void sendOut(const SocketAddress &destination, ByteView payload);
    DatagramSocket *exitSocket(int family);
    void touch(Flow &flow);
    void expire(const std::string &key);
    void answer(const SocketAddress &from, ByteView payload);

    RelayDatagrams &m_owner;
    ServiceDatagram m_codec;
    std::optional<SocketAddress> m_bindFrom;
    // IPv4 and IPv6.
    std::array<DatagramSocket, 2> m_exits;
    std::map<std::string, Flow> m_flows;
    std::set<std::uint64_t> m_lookups;
    std::optional<SocketAddress> m_peer;
    RelayConnection *m_stream = nullptr;
    bool m_viaStream = false;
};

} // namespace corvane::tunnel
