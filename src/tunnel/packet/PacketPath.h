#pragma once

#include "tunnel/engine/EventLoop.h"
#include "tunnel/engine/TunDevice.h"
#include "tunnel/packet/FlowTable.h"
#include "tunnel/packet/IpPacket.h"

#include <functional>

namespace corvane::tunnel {

// The packets of the TUN device on an event loop, with no TCP stack of its own: each TCP
// segment is rewritten through the FlowTable and written straight back, so the kernel's TCP
// delivers the machine's connections to the helper's listener on the device's address and
// sends the listener's replies back out through the device; each UDP datagram is handed on
// whole, and answers are written as packets of their own. What the decoder refuses (ICMP,
// fragments, options, extension headers) is dropped and counted.
class PacketPath final : private Watched
{
public:
    using Clock = EventLoop::Clock;

    struct Settings
    {
        // The device's addresses, with the port the helper's listener has on each.
        IpEndpoint listener4;
        IpEndpoint listener6;
        FlowTable::Settings flows;
        Clock::duration sweep = std::chrono::seconds(30);
    };

    struct Handlers
    {
        // A datagram the machine sent from `source` to `destination`.
        std::function<void(const IpEndpoint &source, const IpEndpoint &destination,
                           ByteView payload)>
            datagram;
        // The device stopped answering; nothing more is read from it.
        std::function<void(const TunnelError &)> failure;
    };

    struct Counters
    {
        std::uint64_t packets = 0;
        std::uint64_t segments = 0;
        std::uint64_t datagrams = 0;
        std::uint64_t dropped = 0;
    };

    // Burst of packets read per wake, so one busy device does not starve the loop's others.
    static constexpr int kBurst = 64;

    PacketPath(EventLoop &loop, TunDevice device, Settings settings, Handlers handlers);
    ~PacketPath();
    PacketPath(const PacketPath &) = delete;
    PacketPath &operator=(const PacketPath &) = delete;

    [[nodiscard]] std::optional<TunnelError> start();
    // Writes the answer to a datagram: `from` is where the machine sent it, `to` its source.
    // False when it does not fit a packet or the device does not take it now (an answer is a
    // datagram, so it may be lost).
    bool sendDatagram(const IpEndpoint &from, const IpEndpoint &to, ByteView payload);
    // For the listener, on a connection it accepted from `peer`: the flow it stands for.
    std::optional<FlowTable::Flow> originalDestination(const SocketAddress &peer) const;

    const Counters &counters() const { return m_counters; }
    std::size_t flowCount() const { return m_flows.size(); }

    // Reads and carries what the device holds now, as a wake would.
    void carryQueued() { onEvents({}); }
    // One packet read from the device, rewritten in place when it is carried back.
    void carry(std::span<std::uint8_t> packet, const TunDevice::Offload &offload = {});

private:
    void onEvents(Readiness ready) override;
    void carrySegment(std::span<std::uint8_t> packet, const IpPacket &decoded,
                      const TunDevice::Offload &offload);
    void write(ByteView packet, const TunDevice::Offload &offload);
    void scheduleSweep();
    void fail(const TunnelError &error);

    EventLoop &m_loop;
    TunDevice m_device;
    Settings m_settings;
    Handlers m_handlers;
    FlowTable m_flows;
    EventLoop::Timer m_sweep;
    Counters m_counters;
};

} // namespace corvane::tunnel
