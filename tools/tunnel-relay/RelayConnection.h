#pragma once

#include "RelayTunnel.h"
#include "tunnel/crypto/X25519KeyPair.h"
#include "tunnel/engine/Pipe.h"
#include "tunnel/relay/ChunkCodec.h"
#include "tunnel/service/ServiceDatagramStream.h"
#include "tunnel/service/ServiceMessage.h"

#include <memory>
#include <optional>

namespace corvane::tunnel {

class RelayServer;

// One connection to the relay: a service relay's control connection (open, resume, keep-alive,
// close), a proxied connection (attached to a tunnel, or of a plain relay), which reads its
// destination, connects to it from the tunnel's exit address and becomes a Pipe, or a datagram
// connection, which carries a tunnel's packets to RelayDatagrams and its answers back.
class RelayConnection final : public Disposable, private Watched
{
public:
    RelayConnection(RelayServer &server, Socket socket, std::string peer);
    ~RelayConnection() override;

    void start();
    // Ends the connection at once; `reason` goes to the log unless empty.
    void close(const std::string &reason);
    // A datagram connection: sends one sealed packet to the client, or drops it while the
    // client does not take what was sent before.
    void sendDatagram(ByteView packet);
    // The tunnel whose datagrams this connection carries, if it is a datagram connection.
    const TunnelId *datagramsOf() const;

private:
    enum class State
    {
        Hello,
        Handshake,
        Control,
        Target,
        Connecting,
        Piping,
        Datagrams,
        Closed
    };

    void onEvents(Readiness ready) override;
    void readClient();
    void takeHello();
    void open(const ServiceHello &hello);
    void resume(const ServiceHello &hello);
    void attach(const ServiceHello &hello, ByteView rest);
    void carryDatagrams(const ServiceHello &hello, ByteView wire);
    void takeDatagramBytes(ByteView wire);
    void takeControlBytes(ByteView wire);
    bool takeMessage(const ServiceMessage &message);
    void takeTargetBytes(ByteView wire);
    void connectTo(const SocketAddress &address);
    void connected();
    void send(const ServiceMessage &message);
    void sendRaw(ByteView bytes);
    void updateInterest();

    RelayServer &m_server;
    Socket m_socket;
    Socket m_target;
    std::string m_peer;
    State m_state = State::Hello;
    Bytes m_in;
    Bytes m_out;
    bool m_closeWhenSent = false;
    std::optional<X25519KeyPair> m_keyPair;
    std::optional<ChunkEncoder> m_sealer;
    std::optional<ChunkDecoder> m_opener;
    std::optional<ServiceDatagramStream> m_datagrams;
    ServiceKeys::Key m_tunnelKey{};
    TunnelId m_tunnelId{};
    bool m_resuming = false;
    RelayTunnel *m_controlOf = nullptr;
    std::unique_ptr<RelayCodec> m_decoder;
    std::unique_ptr<RelayCodec> m_encoder;
    std::optional<SocketAddress> m_bindFrom;
    TargetAddress m_destination;
    std::uint64_t m_lookup = 0;
    EventLoop::Timer m_timer;
    EventLoop::Clock::time_point m_lastActive;
    std::unique_ptr<Pipe> m_pipe;

    struct TargetEnd final : Watched
    {
        RelayConnection *owner = nullptr;
        void onEvents(Readiness) override { owner->connected(); }
    };
    TargetEnd m_targetEnd;
};

} // namespace corvane::tunnel
