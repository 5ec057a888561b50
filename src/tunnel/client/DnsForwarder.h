#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/client/ProxyContext.h"
#include "tunnel/engine/EventLoop.h"
#include "tunnel/packet/IpEndpoint.h"
#include "tunnel/relay/TargetAddress.h"

#include <functional>
#include <memory>
#include <unordered_map>

namespace corvane::tunnel {

// The system-wide mode's DNS: a query the machine sends to port 53 over UDP, to whatever server,
// is asked again over TCP (RFC 1035 4.2.2: a two-byte length before the message) of the rules
// document's DNS server through the relay, so that it is answered from the relay's side of the
// world and no query leaves by the real interface, whatever relay form carries the tunnel. The
// answer goes back as if from the server the program asked.
//
// The queries share one connection (RFC 7766: sent one after another, answered in any order),
// each under a message ID of the connection's own, so that a query costs no round trip to the
// relay and no connection at the server. A connection with nothing asked for kIdle is closed;
// one that ends takes its unanswered queries to the next, once.
class DnsForwarder final
{
public:
    static constexpr std::size_t kMostQueries = 256;
    static constexpr std::chrono::seconds kPatience{5};
    static constexpr std::chrono::seconds kIdle{10};

    using Answer =
        std::function<void(const IpEndpoint &from, const IpEndpoint &to, ByteView payload)>;

    DnsForwarder(ProxyContext &context, TargetAddress server, Answer answer);
    ~DnsForwarder();
    DnsForwarder(const DnsForwarder &) = delete;
    DnsForwarder &operator=(const DnsForwarder &) = delete;

    // `query` from `source` to `destination` (port 53); dropped beyond kMostQueries at once.
    void ask(const IpEndpoint &source, const IpEndpoint &destination, ByteView query);
    void closeAll();
    std::size_t pending() const { return m_queries.size(); }

private:
    struct Query
    {
        IpEndpoint source;
        IpEndpoint destination;
        // As the program sent it, its own message ID first.
        Bytes message;
        EventLoop::Timer timer;
        int sends = 0;
    };
    struct Link;

    void send(std::uint16_t id, Query &query);
    void queue(std::uint16_t id, Query &query);
    bool openLink();
    void linkEvents(Readiness ready);
    void flush();
    void readAnswers();
    void answer(ByteView message);
    void linkEnded();
    void dropLink();
    void idleIfQuiet();

    ProxyContext &m_context;
    TargetAddress m_server;
    Answer m_answer;
    // By the ID each carries on the connection.
    std::unordered_map<std::uint16_t, Query> m_queries;
    std::unique_ptr<Link> m_link;
    std::uint16_t m_nextId = 0;
};

} // namespace corvane::tunnel
