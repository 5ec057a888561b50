#include "tunnel/engine/Pipe.h"

#include <sys/epoll.h>

namespace corvane::tunnel {

namespace {
constexpr std::uint32_t kIn = EPOLLIN;
constexpr std::uint32_t kOut = EPOLLOUT;
} // namespace

Pipe::Pipe(EventLoop &loop, End a, End b, std::chrono::seconds idleTimeout, Ended ended)
    : m_loop(loop), m_idleTimeout(idleTimeout), m_ended(std::move(ended))
{
    m_sides[0].end = std::move(a);
    m_sides[1].end = std::move(b);
    for (int i = 0; i < 2; ++i) {
        m_sides[i].pipe = this;
        m_sides[i].index = i;
        m_sides[i].pending = std::move(m_sides[i].end.first);
        m_sides[i].watching = m_sides[i].end.registered;
        m_sides[i].adopted = m_sides[i].watching != 0;
    }
}

Pipe::~Pipe()
{
    m_ended = {};
    finish({});
}

void Pipe::start()
{
    m_lastActive = m_loop.now();
    armIdle(m_idleTimeout);
    for (int i = 0; i < 2 && !m_over; ++i)
        flush(i);
    update();
}

void Pipe::stop()
{
    m_ended = {};
    finish({});
}

void Pipe::events(int index, std::uint32_t events)
{
    if (m_over)
        return;
    if ((events & EPOLLOUT) && !flush(index))
        return;
    if (events & (EPOLLIN | EPOLLHUP | EPOLLERR))
        pump(index);
    update();
}

void Pipe::pump(int from)
{
    Side &source = m_sides[from];
    Side &target = m_sides[1 - from];
    const std::span<std::uint8_t> input = m_loop.input();
    const long n = source.end.socket.read(input);
    if (n == -1)
        return;
    if (n == -2)
        return finish({});
    if (n == 0) {
        source.readEnded = true;
        flush(1 - from);
        return;
    }
    m_lastActive = m_loop.now();
    ByteView data = input.first(static_cast<std::size_t>(n));
    if (source.end.codec) {
        Bytes &out = m_loop.output();
        if (!source.end.codec->transform(data, out))
            return finish(source.end.name + " sent bytes that do not decode");
        data = out;
    }
    if (data.empty())
        return;
    const long written = target.end.socket.write(data);
    if (written == -2)
        return finish({});
    target.pending.assign(data.begin() + std::max(written, 0L), data.end());
}

bool Pipe::flush(int to)
{
    Side &side = m_sides[to];
    while (!side.pending.empty()) {
        const long written = side.end.socket.write(side.pending);
        if (written == -1)
            return true;
        if (written == -2) {
            finish({});
            return false;
        }
        m_lastActive = m_loop.now();
        side.pending.erase(side.pending.begin(), side.pending.begin() + written);
    }
    Bytes().swap(side.pending);
    if (m_sides[1 - to].readEnded && !side.writeShut) {
        side.writeShut = true;
        side.end.socket.shutdownWrite();
    }
    if (m_sides[0].writeShut && m_sides[1].writeShut) {
        finish({});
        return false;
    }
    return true;
}

void Pipe::update()
{
    if (m_over)
        return;
    for (int i = 0; i < 2; ++i) {
        Side &side = m_sides[i];
        const Side &other = m_sides[1 - i];
        std::uint32_t wanted = side.pending.empty() ? 0 : kOut;
        if (other.pending.empty() && !side.readEnded)
            wanted |= kIn;
        if (wanted == side.watching && !side.adopted)
            continue;
        // A side with nothing to wait for is not watched at all: a peer that has hung up would
        // otherwise be reported again and again.
        const int fd = side.end.socket.fd();
        if (wanted == 0)
            m_loop.unwatch(fd);
        else if (side.watching == 0)
            m_loop.watch(fd, wanted, &side);
        else
            m_loop.change(fd, wanted, &side);
        side.watching = wanted;
        side.adopted = false;
    }
}

void Pipe::finish(const std::string &reason)
{
    if (m_over)
        return;
    m_over = true;
    m_loop.cancel(m_idle);
    // Unwatched before closing: a process forked meanwhile still holds the socket, and the loop
    // would go on reporting it.
    for (Side &side : m_sides) {
        if (side.watching)
            m_loop.unwatch(side.end.socket.fd());
        side.watching = 0;
        side.end.socket.close();
        Bytes().swap(side.pending);
    }
    if (m_ended)
        std::exchange(m_ended, {})(reason);
}

void Pipe::armIdle(EventLoop::Clock::duration delay)
{
    m_idle = m_loop.after(delay, [this] {
        m_idle = {};
        const auto idle = m_loop.now() - m_lastActive;
        if (idle >= m_idleTimeout)
            return finish("idle for " + std::to_string(m_idleTimeout.count()) + " s");
        armIdle(m_idleTimeout - idle);
    });
}

} // namespace corvane::tunnel
