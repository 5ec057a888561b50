#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/engine/Descriptor.h"
#include "tunnel/engine/IoResult.h"

#include <string>
#include <variant>

namespace corvane::tunnel {

// A TUN device's descriptor (IFF_TUN | IFF_NO_PI): each read is one IP packet from the
// machine's stack, each write one packet handed to it. The root service opens the device and
// passes the descriptor on; the helper adopts it here. Where the device has a virtio-net header
// (IFF_VNET_HDR), the kernel leaves TCP and UDP checksums of its own packets to be completed:
// a packet the helper only rewrites goes back with that left as it was, so neither side spends
// a pass over every byte on a checksum that never leaves the machine.
class TunDevice final : public Descriptor
{
public:
    // A transport checksum left to be completed: the sum of the bytes from `start` on, stored
    // at `start + offset`, its field now holding the pseudo-header's sum.
    struct Offload
    {
        bool pending = false;
        std::uint16_t start = 0;
        std::uint16_t offset = 0;
    };

    TunDevice() = default;
    TunDevice(TunDevice &&) noexcept = default;
    TunDevice &operator=(TunDevice &&) noexcept = default;

    // Takes ownership of `fd` and makes it non-blocking and close-on-exec; the descriptor is
    // closed when that is refused.
    static std::variant<TunDevice, TunnelError> adopt(int fd);
    // Opens /dev/net/tun and attaches it to the device `name`, created when missing (with
    // CAP_NET_ADMIN).
    static std::variant<TunDevice, TunnelError> open(const std::string &name);

    // Done with the packet's length; a packet longer than `into` is cut to it.
    IoResult readPacket(std::span<std::uint8_t> into, Offload &offload) const;
    // A packet with a complete checksum unless `offload` says otherwise.
    IoResult writePacket(ByteView packet, const Offload &offload) const;
    IoResult writePacket(ByteView packet) const { return writePacket(packet, Offload{}); }

private:
    explicit TunDevice(int fd) : Descriptor(fd) {}
    // With a header, checksums are left to the device when the kernel lets it.
    void learnHeader();

    bool m_header = false;
};

} // namespace corvane::tunnel
