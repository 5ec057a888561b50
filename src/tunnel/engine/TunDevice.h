#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/engine/Descriptor.h"
#include "tunnel/engine/IoResult.h"

#include <string>
#include <variant>

namespace corvane::tunnel {

// A TUN device's descriptor (IFF_TUN | IFF_NO_PI): each read is one IP packet from the
// machine's stack, each write one packet handed to it. The root service opens the device and
// passes the descriptor on; the helper adopts it here.
class TunDevice final : public Descriptor
{
public:
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
    IoResult readPacket(std::span<std::uint8_t> into) const;
    IoResult writePacket(ByteView packet) const;

private:
    explicit TunDevice(int fd) : Descriptor(fd) {}
};

} // namespace corvane::tunnel
