#include "tunnel/engine/Pipe.h"

namespace corvane::tunnel {

Pipe::Pipe(EventLoop &loop, End a, End b, std::chrono::seconds idleTimeout, Ended ended)
    : m_loop(loop), m_idleTimeout(idleTimeout), m_ended(std::move(ended))
{
    m_sides[0].end = std::move(a);
    m_sides[1].end = std::move(b);
    for (int i = 0; i < 2; ++i) {
        m_sides[i].pipe = this;
        m_sides[i].index = i;
        m_sides[i].pending = std::move(m_sides[i].end.first);
        // A socket its former owner registered keeps that registration, now telling this side.
        m_sides[i].end.socket.watch(loop, m_sides[i]);
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

void Pipe::events(int index, Readiness ready)
{
    if (m_over)
        return;
    if (ready.writable && !flush(index))
        return;
    if (ready.readable)
        pump(index);
    update();
}

void Pipe::pump(int from)
{
    // A read that fills the scratch buffer leaves more behind, most likely: reading on saves a
    // round of the loop, up to a share per wake, so one busy connection cannot hold up the rest.
    constexpr std::size_t kBytesPerWake = 1024 * 1024;
    for (std::size_t moved = 0; moved < kBytesPerWake; moved += EventLoop::kScratchSize) {
        if (!pumpOnce(from))
            return;
    }
}

bool Pipe::pumpOnce(int from)
{
    Side &source = m_sides[from];
    Side &target = m_sides[1 - from];
    const std::span<std::uint8_t> input = m_loop.input();
    const IoResult read = source.end.socket.read(input);
    if (read.outcome == IoResult::Outcome::WouldBlock)
        return false;
    if (read.failed()) {
        finish({});
        return false;
    }
    if (read.outcome == IoResult::Outcome::Closed) {
        source.readEnded = true;
        flush(1 - from);
        return false;
    }
    m_lastActive = m_loop.now();
    source.read += read.count;
    const bool full = read.count == input.size();
    ByteView data = input.first(read.count);
    if (source.end.codec) {
        if (const auto inPlace = source.end.codec->transformInPlace(input.first(read.count))) {
            data = *inPlace;
        } else {
            Bytes &out = m_loop.output();
            if (!source.end.codec->transform(data, out)) {
                finish(source.end.name + " sent bytes that do not decode");
                return false;
            }
            data = out;
        }
    }
    if (data.empty())
        return full;
    const IoResult written = target.end.socket.write(data);
    if (written.failed()) {
        finish({});
        return false;
    }
    target.written += written.count;
    target.pending.assign(data.begin() + static_cast<long>(written.count), data.end());
    return full && target.pending.empty();
}

bool Pipe::flush(int to)
{
    Side &side = m_sides[to];
    while (!side.pending.empty()) {
        const IoResult written = side.end.socket.write(side.pending);
        if (written.outcome == IoResult::Outcome::WouldBlock)
            return true;
        if (written.failed()) {
            finish({});
            return false;
        }
        m_lastActive = m_loop.now();
        side.written += written.count;
        side.pending.erase(side.pending.begin(),
                           side.pending.begin() + static_cast<long>(written.count));
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
        const Interest wanted{other.pending.empty() && !side.readEnded, !side.pending.empty()};
        if (const std::optional<TunnelError> error = side.end.socket.want(wanted))
            return finish(side.end.name + ": " + error->description);
    }
}

void Pipe::finish(const std::string &reason)
{
    if (m_over)
        return;
    m_over = true;
    m_loop.cancel(m_idle);
    for (Side &side : m_sides) {
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
