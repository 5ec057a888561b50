#pragma once

#include "tunnel/client/DatagramChannel.h"
#include "tunnel/client/RateLimitedLine.h"
#include "tunnel/engine/DatagramSocket.h"
#include "tunnel/engine/EventLoop.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/service/ServiceDatagram.h"
#include "tunnel/service/ServiceDatagramStream.h"

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvane::tunnel {

// An accepted tunnel's datagrams at the client (docs/tunnel-helper.md): one codec for the
// tunnel's life, so numbers never start again, over UDP to the relay's port or over a datagram
// connection where UDP gets no answer. Its channels, one per association, share it; an answer
// goes to every channel that sent to the address it came from (to a name: to its port).
class ServiceDatagramLink final
{
public:
    enum class Path
    {
        Udp,
        Connection
    };
    // See docs/tunnel-helper.md for the measurement behind it.
    static constexpr Path kDefaultPath = Path::Udp;
    // While no authentic packet has come over UDP, one sent over UDP without an answer this
    // long moves the link to the datagram connection for the rest of the tunnel.
    static constexpr std::chrono::seconds kUdpAnswerWithin{3};

    ServiceDatagramLink(EventLoop &loop, const SocketAddress &relay,
                        const ServiceKeys::Key &tunnelKey, const TunnelId &tunnel, Path path,
                        RateLimitedLine::Log log = {});
    ~ServiceDatagramLink();
    ServiceDatagramLink(const ServiceDatagramLink &) = delete;
    ServiceDatagramLink &operator=(const ServiceDatagramLink &) = delete;

    std::unique_ptr<DatagramChannel> open(DatagramChannel::Receiver receiver);
    Path path() const { return m_path; }
    // Packets from the relay that were not taken: of another tunnel, not opening, replayed.
    std::size_t dropped() const { return m_dropped; }

private:
    class Channel;
    struct UdpEnd final : Watched
    {
        ServiceDatagramLink *owner = nullptr;
        void onEvents(Readiness) override { owner->readUdp(); }
    };
    struct StreamEnd final : Watched
    {
        ServiceDatagramLink *owner = nullptr;
        void onEvents(Readiness ready) override { owner->streamEvents(ready); }
    };

    bool send(Channel &channel, const TargetAddress &destination, ByteView payload);
    void forget(Channel &channel);
    bool sendUdp(ByteView packet);
    bool sendStream(ByteView packet);
    bool openStream();
    void closeStream();
    void flushStream();
    void readUdp();
    void streamEvents(Readiness ready);
    void take(ByteView packet, Path via);
    void deliver(Datagram &&datagram);
    void fallBack();

    EventLoop &m_loop;
    SocketAddress m_relay;
    ServiceDatagram m_codec;
    TunnelId m_tunnel{};
    Path m_path;
    Bytes m_packet;
    bool m_udpAnswered = false;
    EventLoop::Timer m_udpWait;
    DatagramSocket m_udp;
    UdpEnd m_udpEnd;
    Socket m_stream;
    StreamEnd m_streamEnd;
    bool m_streamConnecting = false;
    std::optional<ServiceDatagramStream> m_streamReader;
    Bytes m_streamOut;
    std::set<Channel *> m_channels;
    std::size_t m_dropped = 0;
    RateLimitedLine::Log m_log;
    RateLimitedLine m_droppedLine;
};

} // namespace corvane::tunnel
