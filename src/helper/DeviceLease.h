#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <variant>

namespace corvane {

// Where the system-wide mode's TUN device comes from: the system service in the product, a
// stand-in in tests. Calls and answers are on the main thread.
class DeviceLease
{
public:
    // Descriptors the receiver owns: the device, and the socket that marks the tunnel's own
    // sockets so that they leave by the real route.
    struct Device
    {
        int tun = -1;
        int protector = -1;
    };
    // The device, or why it cannot be had, in words for the person.
    using Answer = std::variant<Device, QString>;

    virtual ~DeviceLease() = default;
    // `relays` are numeric addresses: the routes keep them out of the device.
    virtual void bringUp(const QStringList &relays, bool ipv6,
                         std::function<void(Answer)> done) = 0;
    // Gives the machine's networking back; waits for the answer, briefly.
    virtual void bringDown() = 0;
};

} // namespace corvane
