#pragma once

#include "tunnel/engine/EventLoop.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/relay/RelayCodec.h"

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace corvane::tunnel {

// Two connected sockets carrying bytes both ways, each direction through an optional codec.
// What one side sends is read into the loop's scratch buffer, transformed into the other
// scratch buffer and written at once; only what the receiving side could not take is kept,
// and the sending side is not read again until that is gone. A side is read until it has no
// more, up to a share of each round of the loop. An end of stream is passed on
// once everything before it is through; the pipe is over when both ends are, on an error, on
// bytes a codec refuses, or after idleTimeout without a byte.
class Pipe final
{
public:
    using Ended = std::function<void(const std::string &reason)>;

    struct End
    {
        Socket socket;
        // Turns what this side sends into what the other side receives; none passes it as is.
        std::unique_ptr<RelayCodec> codec;
        // For log lines: "the relay", "the destination"...
        std::string name;
        // Sent to this side before anything it is sent later.
        Bytes first;
    };

    Pipe(EventLoop &loop, End a, End b, std::chrono::seconds idleTimeout, Ended ended);
    ~Pipe();
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;

    void start();
    // Ends the pipe without telling its owner.
    void stop();
    // Bytes read from end `side` (0 is a, 1 is b) and written to it so far, for the tunnel's
    // counters: plain counts on the loop's thread, read there.
    std::uint64_t readFrom(int side) const { return m_sides[side].read; }
    std::uint64_t writtenTo(int side) const { return m_sides[side].written; }

private:
    struct Side final : Watched
    {
        Pipe *pipe = nullptr;
        int index = 0;
        End end;
        // Owed to this side.
        Bytes pending;
        bool readEnded = false;
        bool writeShut = false;
        std::uint64_t read = 0;
        std::uint64_t written = 0;
        void onEvents(Readiness ready) override { pipe->events(index, ready); }
    };

    void events(int index, Readiness ready);
    void pump(int from);
    // One read and its write; true when reading again may find more and the other side takes it.
    bool pumpOnce(int from);
    bool flush(int to);
    void update();
    void finish(const std::string &reason);
    void armIdle(EventLoop::Clock::duration delay);

    EventLoop &m_loop;
    std::array<Side, 2> m_sides;
    std::chrono::seconds m_idleTimeout;
    Ended m_ended;
    EventLoop::Timer m_idle;
    EventLoop::Clock::time_point m_lastActive;
    bool m_over = false;
};

} // namespace corvane::tunnel
