#pragma once

#include "tunnel/client/DatagramChannel.h"
#include "tunnel/client/RateLimitedLine.h"
#include "tunnel/engine/DatagramSocket.h"
#include "tunnel/engine/EventLoop.h"

namespace corvane::tunnel {

// One association's datagrams to a plain relay, on a UDP socket of its own to the relay's
// host and port number: the relay tells its clients apart by their source address, so an
// answer returns to the socket, and so to the association, that sent what it answers.
class PlainDatagramChannel final : public DatagramChannel, private Watched
{
public:
    // None when no socket can be had (the reason goes to `log`).
    static std::unique_ptr<PlainDatagramChannel> open(EventLoop &loop, const SocketAddress &relay,
                                                      std::unique_ptr<DatagramCodec> codec,
                                                      Receiver receiver, RateLimitedLine::Log log);
    ~PlainDatagramChannel() override;

    bool send(const TargetAddress &destination, ByteView payload) override;
    // Packets from the relay that did not open, or came from elsewhere.
    std::size_t dropped() const { return m_dropped; }

private:
    PlainDatagramChannel(EventLoop &loop, const SocketAddress &relay,
                         std::unique_ptr<DatagramCodec> codec, Receiver receiver,
                         RateLimitedLine::Log log);
    void onEvents(Readiness ready) override;
    void take(ByteView packet);

    EventLoop &m_loop;
    SocketAddress m_relay;
    std::unique_ptr<DatagramCodec> m_codec;
    Receiver m_receiver;
    RateLimitedLine::Log m_log;
    DatagramSocket m_socket;
    Bytes m_packet;
    RateLimitedLine m_badLine;
    std::size_t m_dropped = 0;
};

} // namespace corvane::tunnel
