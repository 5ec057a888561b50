#include "tunnel/proxy/Socks5Request.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
constexpr std::uint8_t kVersion = 5;
constexpr std::uint8_t kNoAuthentication = 0;
constexpr std::uint8_t kNoAcceptableMethods = 0xff;
constexpr std::uint8_t kConnect = 1;
constexpr std::uint8_t kUdpAssociate = 3;
} // namespace

Socks5Request::Greeting Socks5Request::parseGreeting(ByteView bytes)
{
    Greeting greeting;
    if (bytes.empty())
        return greeting;
    if (bytes[0] != kVersion) {
        greeting.step = Step::Refused;
        return greeting;
    }
    if (bytes.size() < 2)
        return greeting;
    const std::size_t count = bytes[1];
    if (count == 0) {
        greeting.step = Step::Refused;
        return greeting;
    }
    if (bytes.size() < 2 + count)
        return greeting;
    const ByteView methods = bytes.subspan(2, count);
    greeting.step = Step::Done;
    greeting.consumed = 2 + count;
    greeting.acceptable =
        std::find(methods.begin(), methods.end(), kNoAuthentication) != methods.end();
    return greeting;
}

Socks5Request::Request Socks5Request::parseRequest(ByteView bytes)
{
    Request request;
    if (bytes.empty())
        return request;
    if (bytes[0] != kVersion) {
        request.step = Step::Refused;
        return request;
    }
    if (bytes.size() < 3)
        return request;
    const TargetAddress::Decoded decoded = TargetAddress::decode(bytes.subspan(3));
    if (bytes[1] != kConnect && bytes[1] != kUdpAssociate) {
        request.step = Step::Refused;
        request.refusal = kCommandNotSupported;
        return request;
    }
    if (!decoded.address) {
        if (decoded.problem == TargetAddress::Problem::Incomplete)
            return request;
        request.step = Step::Refused;
        request.refusal = decoded.problem == TargetAddress::Problem::UnknownType
                              ? kAddressTypeNotSupported
                              : kGeneralFailure;
        return request;
    }
    request.step = Step::Done;
    request.command = bytes[1] == kConnect ? Command::Connect : Command::UdpAssociate;
    request.consumed = 3 + decoded.consumed;
    request.target = *decoded.address;
    return request;
}

Bytes Socks5Request::methodReply(bool acceptable)
{
    return {kVersion, acceptable ? kNoAuthentication : kNoAcceptableMethods};
}

Bytes Socks5Request::reply(std::uint8_t code)
{
    return {kVersion, code, 0, static_cast<std::uint8_t>(TargetAddress::Kind::IPv4), 0, 0, 0,
            0,        0,    0};
}

Bytes Socks5Request::reply(std::uint8_t code, const TargetAddress &bound)
{
    Bytes reply{kVersion, code, 0};
    bound.encode(reply);
    return reply;
}

} // namespace corvane::tunnel
