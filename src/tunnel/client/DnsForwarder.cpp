#include "tunnel/client/DnsForwarder.h"

#include "tunnel/client/ProxyConnection.h"
#include "tunnel/engine/Socket.h"

#include <sys/socket.h>
#include <vector>

namespace corvane::tunnel {

namespace {
// A DNS header is 12 bytes, its message ID the first two.
constexpr std::size_t kHeader = 12;
constexpr std::size_t kMostMessage = 65535;
// A query sent again on a new connection after its first one ended unanswered.
constexpr int kMostSends = 2;

std::uint16_t idOf(ByteView message)
{
    return static_cast<std::uint16_t>(message[0] << 8 | message[1]);
}
} // namespace

// This end of a socket pair whose other end is a transparent connection to the server through
// the relay.
struct DnsForwarder::Link final : Watched, Disposable
{
    DnsForwarder *owner = nullptr;
    Socket end;
    std::unique_ptr<ProxyConnection> connection;
    // Framed queries the pair has not taken yet, and answer bytes short of a whole message.
    Bytes out;
    Bytes in;
    EventLoop::Timer idle;

    void onEvents(Readiness ready) override { owner->linkEvents(ready); }
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
    if (m_queries.size() >= kMostQueries || query.size() < kHeader || query.size() > kMostMessage)
        return;
    // At most kMostQueries of the 65,536 are taken: a free one comes soon.
    while (m_queries.contains(m_nextId))
        ++m_nextId;
    const std::uint16_t id = m_nextId++;
    Query &asked = m_queries[id];
    asked.source = source;
    asked.destination = destination;
    asked.message.assign(query.begin(), query.end());
    asked.timer = m_context.loop.after(kPatience, [this, id] {
        m_queries.erase(id);
        idleIfQuiet();
    });
    if (m_link)
        m_context.loop.cancel(m_link->idle);
    send(id, asked);
}

void DnsForwarder::send(std::uint16_t id, Query &query)
{
    // Without a connection the query waits out its patience, as a lost datagram would.
    if (!m_link && !openLink())
        return;
    queue(id, query);
    flush();
}

void DnsForwarder::queue(std::uint16_t id, Query &query)
{
    ++query.sends;
    const std::size_t length = query.message.size();
    Bytes &out = m_link->out;
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(length & 0xff));
    out.push_back(static_cast<std::uint8_t>(id >> 8));
    out.push_back(static_cast<std::uint8_t>(id & 0xff));
    out.insert(out.end(), query.message.begin() + 2, query.message.end());
}

bool DnsForwarder::openLink()
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    auto link = std::make_unique<Link>();
    link->owner = this;
    link->end = Socket(pair[0]);
    link->connection =
        std::make_unique<ProxyConnection>(m_context, ProxyConnection::Kind::Transparent,
                                          Socket(pair[1]), "DNS", [](ProxyConnection *) {});
    link->end.watch(m_context.loop, *link);
    if (link->end.want({true, false})) {
        link->connection->close({});
        m_context.loop.disposeLater(std::move(link->connection));
        return false;
    }
    m_link = std::move(link);
    // A refusal closes the pair's other end: this end then reads its end.
    m_link->connection->carry(m_server, RuleSet::Decision{RuleSet::Action::Proxy, "dns"});
    return true;
}

void DnsForwarder::linkEvents(Readiness ready)
{
    if (ready.writable)
        flush();
    if (m_link && ready.readable)
        readAnswers();
}

void DnsForwarder::flush()
{
    Bytes &out = m_link->out;
    if (!out.empty()) {
        const IoResult written = m_link->end.write(out);
        if (written.failed())
            return linkEnded();
        if (written.done())
            out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(written.count));
    }
    if (m_link->end.want({true, !out.empty()}))
        linkEnded();
}

void DnsForwarder::readAnswers()
{
    const std::span<std::uint8_t> buffer = m_context.loop.input();
    const IoResult read = m_link->end.read(buffer);
    if (read.outcome == IoResult::Outcome::WouldBlock)
        return;
    if (!read.done())
        return linkEnded();
    Bytes &in = m_link->in;
    in.insert(in.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(read.count));
    std::size_t at = 0;
    while (in.size() - at >= 2) {
        const std::size_t length = std::size_t(in[at]) << 8 | in[at + 1];
        if (in.size() - at < 2 + length)
            break;
        answer(ByteView(in).subspan(at + 2, length));
        at += 2 + length;
    }
    in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(at));
    idleIfQuiet();
}

void DnsForwarder::answer(ByteView message)
{
    if (message.size() < kHeader)
        return;
    const auto found = m_queries.find(idOf(message));
    if (found == m_queries.end())
        return;
    Query &query = found->second;
    Bytes answered(message.begin(), message.end());
    answered[0] = query.message[0];
    answered[1] = query.message[1];
    m_answer(query.destination, query.source, answered);
    m_context.loop.cancel(query.timer);
    m_queries.erase(found);
}

void DnsForwarder::linkEnded()
{
    dropLink();
    std::vector<std::uint16_t> again;
    for (auto it = m_queries.begin(); it != m_queries.end();) {
        if (it->second.sends >= kMostSends) {
            m_context.loop.cancel(it->second.timer);
            it = m_queries.erase(it);
        } else {
            again.push_back(it->first);
            ++it;
        }
    }
    if (!again.empty() && openLink()) {
        for (const std::uint16_t id : again)
            queue(id, m_queries.at(id));
        flush();
    }
    idleIfQuiet();
}

void DnsForwarder::dropLink()
{
    if (!m_link)
        return;
    m_context.loop.cancel(m_link->idle);
    m_link->end.close();
    m_link->connection->close({});
    m_context.loop.disposeLater(std::move(m_link->connection));
    m_context.loop.disposeLater(std::move(m_link));
}

void DnsForwarder::idleIfQuiet()
{
    if (!m_link || !m_queries.empty() || m_link->idle)
        return;
    m_link->idle = m_context.loop.after(kIdle, [this] {
        m_link->idle = {};
        dropLink();
    });
}

void DnsForwarder::closeAll()
{
    for (auto &[id, query] : m_queries)
        m_context.loop.cancel(query.timer);
    m_queries.clear();
    dropLink();
}

} // namespace corvane::tunnel
