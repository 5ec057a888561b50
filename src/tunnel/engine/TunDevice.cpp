#include "tunnel/engine/TunDevice.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace corvane::tunnel {

std::variant<TunDevice, TunnelError> TunDevice::adopt(int fd)
{
    TunDevice device(fd);
    const int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status | O_NONBLOCK) < 0 ||
        fcntl(fd, F_SETFD, FD_CLOEXEC) < 0)
        return TunnelError{"the TUN descriptor cannot be made non-blocking: " +
                               TunnelError::fromErrno(errno).description,
                           errno};
    return device;
}

std::variant<TunDevice, TunnelError> TunDevice::open(const std::string &name)
{
    ifreq request{};
    if (name.empty() || name.size() >= sizeof request.ifr_name)
        return TunnelError{"a TUN device's name has 1 to 15 characters", EINVAL};
    TunDevice device(::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!device.isOpen())
        return TunnelError{
            "/dev/net/tun cannot be opened: " + TunnelError::fromErrno(errno).description, errno};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::memcpy(request.ifr_name, name.data(), name.size());
    if (ioctl(device.fd(), TUNSETIFF, &request) < 0)
        return TunnelError{"the TUN device " + name +
                               " cannot be attached: " + TunnelError::fromErrno(errno).description,
                           errno};
    return device;
}

IoResult TunDevice::readPacket(std::span<std::uint8_t> into) const
{
    return IoResult::of(::read(fd(), into.data(), into.size()));
}

IoResult TunDevice::writePacket(ByteView packet) const
{
    return IoResult::of(::write(fd(), packet.data(), packet.size()));
}

} // namespace corvane::tunnel
