#pragma once

#include "tunnel/relay/TargetAddress.h"

namespace corvane::tunnel {

// The client's side of a SOCKS5 exchange (RFC 1928) as far as a proxy of CONNECT and UDP
// ASSOCIATE needs it: the method greeting, then the request. Both decoders look at the bytes
// received so far.
class Socks5Request final
{
public:
    enum class Step
    {
        Incomplete,
        Done,
        Refused
    };
    static constexpr std::uint8_t kSucceeded = 0x00;
    static constexpr std::uint8_t kGeneralFailure = 0x01;
    static constexpr std::uint8_t kNotAllowed = 0x02;
    static constexpr std::uint8_t kHostUnreachable = 0x04;
    static constexpr std::uint8_t kConnectionRefused = 0x05;
    static constexpr std::uint8_t kCommandNotSupported = 0x07;
    static constexpr std::uint8_t kAddressTypeNotSupported = 0x08;

    struct Greeting
    {
        Step step = Step::Incomplete;
        std::size_t consumed = 0;
        // The client offers "no authentication", the only method served; without it the
        // greeting is refused with "no acceptable methods".
        bool acceptable = false;
    };
    enum class Command
    {
        Connect,
        // The target is where the client will send its datagrams from (0.0.0.0:0 or a zero
        // port where it does not know yet).
        UdpAssociate
    };
    struct Request
    {
        Step step = Step::Incomplete;
        std::size_t consumed = 0;
        Command command = Command::Connect;
        TargetAddress target;
        // The reply code a refused request is answered with; 0 when it gets no answer.
        std::uint8_t refusal = 0;
    };

    Socks5Request() = delete;

    static Greeting parseGreeting(ByteView bytes);
    static Request parseRequest(ByteView bytes);
    // The method selection: "no authentication", or "no acceptable methods".
    static Bytes methodReply(bool acceptable);
    // A reply to the request with `code`, bound to 0.0.0.0:0 (clients of CONNECT ignore it).
    static Bytes reply(std::uint8_t code);
    // A reply that tells the client an address: the UDP relay port of an association.
    static Bytes reply(std::uint8_t code, const TargetAddress &bound);
};

} // namespace corvane::tunnel
