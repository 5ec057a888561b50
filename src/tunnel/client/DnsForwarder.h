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

class ProxyConnection;

// The system-wide mode's DNS: a query the machine sends to port 53 over UDP, to whatever server,
// is asked again over TCP (RFC 1035 4.2.2: a two-byte length before the message) of the rules
// document's DNS server through the relay, so that it is answered from the relay's side of the
// world and no query leaves by the real interface, whatever relay form carries the tunnel. The
// answer goes back as if from the server the program asked.
class DnsForwarder final
{
public:
    static constexpr std::size_t kMostQueries = 256;
    static constexpr std::chrono::seconds kPatience{5};

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
    struct Query;

    void readAnswer(Query &query);
    void end(Query &query);

    ProxyContext &m_context;
    TargetAddress m_server;
    Answer m_answer;
    std::unordered_map<Query *, std::unique_ptr<Query>> m_queries;
};

} // namespace corvane::tunnel
