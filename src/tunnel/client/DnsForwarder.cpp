#include "tunnel/client/DnsForwarder.h"

#include "tunnel/client/ProxyConnection.h"
#include "tunnel/engine/Socket.h"

#include <sys/socket.h>

namespace corvane::tunnel {

namespace {
// The largest DNS message over TCP.
constexpr std::size_t kMostAnswer = 65535 + 2;
} // namespace

// One question on its way: this end of a socket pair whose other end is a transparent
// connection to the server through the relay.
struct DnsForwarder::Query final : Watched, Disposable
{
    DnsForwarder *owner = nullptr;
    IpEndpoint source;
    IpEndpoint destination;
    Socket end;
    Bytes received;
    EventLoop::Timer timer;
    std::unique_ptr<ProxyConnection> connection;

    void onEvents(Readiness) override { owner->readAnswer(*this); }
};

DnsForwarder::DnsForwarder(ProxyContext &context, TargetAddress server, Answer answer)
    : m_context(context), m_server(std::move(server)), m_answer(std::move(answer))
{}

DnsForwarder::~DnsForwarder()
{
    closeAll();
}

void DnsForwarder::ask(const IpEndpoint &source, const IpEndpoint &destination, ByteView query)
{
    if (m_queries.size() >= kMostQueries || query.empty() || query.size() > 65535)
        return;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return;
    auto owned = std::make_unique<Query>();
    Query &asked = *owned;
    asked.owner = this;
    asked.source = source;
    asked.destination = destination;
    asked.end = Socket(pair[0]);
    Socket other(pair[1]);
    Bytes framed{static_cast<std::uint8_t>(query.size() >> 8),
                 static_cast<std::uint8_t>(query.size() & 0xff)};
    framed.insert(framed.end(), query.begin(), query.end());
    // A fresh pair's buffer holds a whole message: it is written at once or not at all.
    if (!asked.end.write(framed).done())
        return;
    m_queries.emplace(&asked, std::move(owned));
    asked.connection = std::make_unique<ProxyConnection>(
        m_context, ProxyConnection::Kind::Transparent, std::move(other), "DNS " + source.text(),
        [](ProxyConnection *) {});
    asked.end.watch(m_context.loop, asked);
    if (asked.end.want({true, false}))
        return end(asked);
    asked.timer = m_context.loop.after(kPatience, [this, &asked] {
        asked.timer = {};
        end(asked);
    });
    asked.connection->carry(m_server, RuleSet::Decision{RuleSet::Action::Proxy, "dns"});
}

void DnsForwarder::readAnswer(Query &query)
{
    const std::span<std::uint8_t> buffer = m_context.loop.input();
    const IoResult result = query.end.read(buffer);
    if (result.outcome == IoResult::Outcome::WouldBlock)
        return;
    if (!result.done() || result.count == 0)
        return end(query);
    query.received.insert(query.received.end(), buffer.begin(),
                          buffer.begin() + static_cast<std::ptrdiff_t>(result.count));
    if (query.received.size() < 2)
        return;
    const std::size_t length = std::size_t(query.received[0]) << 8 | query.received[1];
    if (query.received.size() > kMostAnswer || query.received.size() < 2 + length)
        return;
    m_answer(query.destination, query.source, ByteView(query.received).subspan(2, length));
    end(query);
}

void DnsForwarder::end(Query &query)
{
    const auto found = m_queries.find(&query);
    if (found == m_queries.end())
        return;
    m_context.loop.cancel(query.timer);
    query.end.close();
    query.connection->close({});
    m_context.loop.disposeLater(std::move(query.connection));
    m_context.loop.disposeLater(std::move(found->second));
    m_queries.erase(found);
}

void DnsForwarder::closeAll()
{
    while (!m_queries.empty())
        end(*m_queries.begin()->first);
}

} // namespace corvane::tunnel
