#pragma once

#include "tunnel/relay/DatagramCodec.h"

#include <functional>
#include <memory>

namespace corvane::tunnel {

// One association's way to the relay's datagram side: what the local side sends to a
// destination goes out sealed, what comes back arrives opened with the address it came from.
// Destroying the channel ends it; no answer is delivered afterwards.
class DatagramChannel
{
public:
    using Receiver = std::function<void(Datagram &&answer)>;

    virtual ~DatagramChannel() = default;
    // False when the datagram was dropped (too large for the form, or the relay cannot take it
    // now); the caller logs it, never ends the association for it.
    virtual bool send(const TargetAddress &destination, ByteView payload) = 0;
};

// How datagrams reach the relay, as RelayDialer is for connections: the relay session provides
// it, one channel per association.
class DatagramDialer
{
public:
    // None while the relay cannot take datagrams (the tunnel is not accepted yet).
    virtual std::unique_ptr<DatagramChannel> openDatagrams(DatagramChannel::Receiver receiver) = 0;

protected:
    ~DatagramDialer() = default;
};

} // namespace corvane::tunnel
