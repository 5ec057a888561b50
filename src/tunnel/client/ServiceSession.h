#pragma once

#include "tunnel/client/RelaySession.h"
#include "tunnel/client/ServiceDatagramLink.h"
#include "tunnel/crypto/X25519KeyPair.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/relay/ChunkCodec.h"
#include "tunnel/service/ServiceKeys.h"
#include "tunnel/service/ServiceMessage.h"

#include <optional>

namespace corvane::tunnel {

// The client side of the service relay's handshake (docs/tunnel-helper.md): one control
// connection that presents the authentication string once, keeps the tunnel alive and resumes
// it after a loss without the string; proxied connections attach to the accepted tunnel by
// number, under keys derived from the tunnel key; datagrams go over ServiceDatagramLink.
class ServiceSession final : public RelaySession, private Watched
{
public:
    ServiceSession(EventLoop &loop, SessionTimings timings, Events events, std::string password,
                   std::string auth);
    ~ServiceSession() override;

    void start(const SocketAddress &relay) override;
    void stop() override;
    void checkNow() override;
    std::optional<Dial> dial() override;
    // The control connection notices a lost relay by itself.
    void relayUnreachable(const std::string &) override {}
    // Channels over the tunnel's one datagram link, from the first accept until the stop.
    std::unique_ptr<DatagramChannel> openDatagrams(DatagramChannel::Receiver receiver) override;
    const ServiceDatagramLink *datagrams() const { return m_datagrams.get(); }
    // The path the link starts on, before the first accept (scripts/measure-datagrams.sh).
    void startDatagramsOn(ServiceDatagramLink::Path path) { m_datagramPath = path; }

private:
    enum class Phase
    {
        Idle,
        Connecting,
        AwaitReply,
        AwaitAccept,
        Up
    };

    void openControl();
    void onEvents(Readiness ready) override;
    void readControl();
    void takeReply();
    bool takeMessage(ByteView payload);
    void send(const ServiceMessage &message);
    void sendRaw(ByteView bytes);
    void keepAlive();
    // Pings now, expects the answer within answerWithin, and the next ping a keep-alive later.
    void ping();
    // The control connection failed; `nothingSent` when it failed before the string was sent,
    // so that trying again cannot present it twice.
    void failed(const std::string &reason, bool nothingSent);
    // The relay was reached but answered outside the handshake.
    void brokeProtocol(const std::string &reason);
    void refused(const std::string &words);
    void closeControl();
    void watchControl();

    SocketAddress m_relay;
    std::string m_password;
    std::string m_auth;
    Phase m_phase = Phase::Idle;
    Socket m_control;
    std::optional<X25519KeyPair> m_keyPair;
    std::optional<ChunkEncoder> m_sealer;
    std::optional<ChunkDecoder> m_opener;
    Bytes m_in;
    Bytes m_out;
    EventLoop::Timer m_attemptTimer;
    EventLoop::Timer m_keepAliveTimer;
    EventLoop::Timer m_answerTimer;
    bool m_accepted = false;
    TunnelId m_tunnel{};
    ServiceKeys::Key m_tunnelKey{};
    std::uint64_t m_connections = 0;
    std::string m_exitAddress;
    ServiceDatagramLink::Path m_datagramPath = ServiceDatagramLink::kDefaultPath;
    std::unique_ptr<ServiceDatagramLink> m_datagrams;
};

} // namespace corvane::tunnel
