#include "tunnel/engine/TunDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace corvane::tunnel {

namespace {
// struct virtio_net_hdr, which <linux/virtio_net.h> cannot declare to C++ (a member `class`).
struct VnetHeader
{
    std::uint8_t flags;
    std::uint8_t gsoType;
    std::uint16_t headerLength;
    std::uint16_t gsoSize;
    std::uint16_t checksumStart;
    std::uint16_t checksumOffset;
};
static_assert(sizeof(VnetHeader) == 10);
constexpr std::uint8_t kNeedsChecksum = 1; // VIRTIO_NET_HDR_F_NEEDS_CSUM
} // namespace

std::variant<TunDevice, TunnelError> TunDevice::adopt(int fd)
{
    TunDevice device(fd);
    const int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status | O_NONBLOCK) < 0 ||
        fcntl(fd, F_SETFD, FD_CLOEXEC) < 0)
        return TunnelError{"the TUN descriptor cannot be made non-blocking: " +
                               TunnelError::fromErrno(errno).description,
                           errno};
    device.learnHeader();
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
    request.ifr_flags = IFF_TUN | IFF_NO_PI | IFF_VNET_HDR;
    std::memcpy(request.ifr_name, name.data(), name.size());
    if (ioctl(device.fd(), TUNSETIFF, &request) < 0)
        return TunnelError{"the TUN device " + name +
                               " cannot be attached: " + TunnelError::fromErrno(errno).description,
                           errno};
    device.learnHeader();
    return device;
}

void TunDevice::learnHeader()
{
    ifreq request{};
    m_header = ioctl(fd(), TUNGETIFF, &request) == 0 && (request.ifr_flags & IFF_VNET_HDR) != 0;
    // Refused by an old kernel: its packets then come with complete checksums.
    if (m_header)
        static_cast<void>(ioctl(fd(), TUNSETOFFLOAD, TUN_F_CSUM));
}

IoResult TunDevice::readPacket(std::span<std::uint8_t> into, Offload &offload) const
{
    offload = {};
    if (!m_header)
        return IoResult::of(::read(fd(), into.data(), into.size()));
    VnetHeader header{};
    iovec parts[] = {{&header, sizeof header}, {into.data(), into.size()}};
    const ssize_t count = ::readv(fd(), parts, 2);
    if (count < 0)
        return IoResult::of(count);
    if ((header.flags & kNeedsChecksum) != 0)
        offload = {true, header.checksumStart, header.checksumOffset};
    return IoResult::of(std::max<ssize_t>(count - static_cast<ssize_t>(sizeof header), 0));
}

IoResult TunDevice::writePacket(ByteView packet, const Offload &offload) const
{
    if (!m_header)
        return IoResult::of(::write(fd(), packet.data(), packet.size()));
    VnetHeader header{};
    if (offload.pending) {
        header.flags = kNeedsChecksum;
        header.checksumStart = offload.start;
        header.checksumOffset = offload.offset;
    }
    iovec parts[] = {{&header, sizeof header},
                     {const_cast<std::uint8_t *>(packet.data()), packet.size()}};
    const ssize_t count = ::writev(fd(), parts, 2);
    if (count < 0)
        return IoResult::of(count);
    return IoResult::of(std::max<ssize_t>(count - static_cast<ssize_t>(sizeof header), 0));
}

} // namespace corvane::tunnel
