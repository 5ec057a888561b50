#pragma once

#include "tunnel/client/ConnectionTraffic.h"
#include "tunnel/client/ProxyContext.h"
#include "tunnel/client/UdpAssociation.h"
#include "tunnel/engine/EventLoop.h"
#include "tunnel/engine/Pipe.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/proxy/HttpRequestBody.h"
#include "tunnel/relay/RelayCodec.h"
#include "tunnel/relay/TargetAddress.h"
#include "tunnel/rules/RuleSet.h"

#include <functional>
#include <memory>
#include <optional>

namespace corvane::tunnel {

// One connection to a local proxy: reads the SOCKS5 or HTTP proxy request, connects to the
// destination (straight, or through the relay as the rules say) and then hands both sockets to
// a Pipe; a SOCKS5 UDP ASSOCIATE makes it the control connection of a UdpAssociation, which
// ends with it. A transparent one (the system-wide mode's) has no request: its destination is known
// when it is accepted, and it goes on as a SOCKS5 CONNECT to there would.
class ProxyConnection final : public Disposable
{
public:
    enum class Kind
    {
        Socks5,
        Http,
        Transparent
    };

    ProxyConnection(ProxyContext &context, Kind kind, Socket client, std::string peer,
                    std::function<void(ProxyConnection *)> closed);
    ~ProxyConnection() override;

    void start();
    // A transparent connection's start, to where the machine was connecting; `decided` stands
    // in for the rules where the tunnel itself picks the way (DNS always goes to the relay).
    void carry(const TargetAddress &destination,
               std::optional<RuleSet::Decision> decided = std::nullopt);
    // Ends the connection at once; `reason` goes to the log unless empty.
    void close(const std::string &reason);
    // What it carried so far, through the relay or straight.
    TrafficTotals traffic() const;
    // Once the destination is known: where to, by which rule, and what it carried.
    std::optional<ConnectionTraffic> report() const;

private:
    enum class State
    {
        Greeting,
        Request,
        Resolving,
        Connecting,
        Piping,
        Associated,
        Closed
    };
    struct End final : Watched
    {
        ProxyConnection *owner = nullptr;
        bool upstream = false;
        void onEvents(Readiness ready) override
        {
            if (upstream)
                owner->upstreamEvents();
            else
                owner->clientEvents(ready);
        }
    };

    void clientEvents(Readiness ready);
    void upstreamEvents();
    void readRequest();
    void readSocks();
    void readHttp();
    void route(const TargetAddress &target, Bytes firstBytes,
               std::optional<RuleSet::Decision> decided = std::nullopt);
    void associate(const TargetAddress &named);
    void readControl();
    void connectTo(const SocketAddress &address);
    void connected();
    void refuse(std::uint8_t socksCode, const std::string &reason);
    Bytes successReply() const;
    void updateInterest();
    std::string describe() const;

    ProxyContext &m_context;
    Kind m_kind;
    State m_state = State::Greeting;
    Socket m_client;
    Socket m_upstream;
    End m_clientEnd;
    End m_upstreamEnd;
    std::string m_peer;
    std::function<void(ProxyConnection *)> m_closed;
    // The request as far as it has arrived; emptied (and freed) once it is understood.
    Bytes m_request;
    TargetAddress m_target;
    bool m_relayed = false;
    bool m_httpTunnel = false;
    // The client was told it may send before the relay's connection was up.
    bool m_replied = false;
    std::unique_ptr<RelayCodec> m_encoder;
    std::unique_ptr<RelayCodec> m_decoder;
    // An absolute-URI request: its body, until the destination is connected and it goes
    // before the encoder.
    std::unique_ptr<HttpRequestBody> m_requestBody;
    // What goes to the destination first: the relay's preamble, the rewritten request.
    Bytes m_toUpstream;
    std::uint64_t m_lookup = 0;
    EventLoop::Timer m_timer;
    std::unique_ptr<Pipe> m_pipe;
    std::unique_ptr<UdpAssociation> m_association;
    // An ended association's figures.
    TrafficTotals m_datagramTraffic;
    EventLoop::Clock::time_point m_opened;
    std::string m_rule;
    // The client's payload that went ahead of the pipe, and the proxy's reply that the pipe
    // sends to the client before its payload.
    std::uint64_t m_upAhead = 0;
    std::uint64_t m_replyInPipe = 0;
};

} // namespace corvane::tunnel
