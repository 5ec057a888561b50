#pragma once

#include "tunnel/engine/SocketAddress.h"
#include "tunnel/relay/RelayCodec.h"

#include <memory>
#include <optional>
#include <string>

namespace corvane::tunnel {

// How a proxied connection reaches the relay: where to connect, what to send before anything
// else, and the codecs of its two directions. The relay session provides it.
class RelayDialer
{
public:
    struct Dial
    {
        SocketAddress relay;
        Bytes preamble;
        std::unique_ptr<RelayCodec> encoder;
        std::unique_ptr<RelayCodec> decoder;
    };

    // None while the relay cannot take connections (the tunnel is not accepted yet).
    virtual std::optional<Dial> dial() = 0;
    // A connection to the relay could not be made: the session may have lost the relay.
    virtual void relayUnreachable(const std::string &error) = 0;

protected:
    ~RelayDialer() = default;
};

} // namespace corvane::tunnel
