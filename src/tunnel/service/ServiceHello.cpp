#include "tunnel/service/ServiceHello.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
std::size_t bodySize(ServiceHello::Kind kind)
{
    switch (kind) {
    case ServiceHello::Kind::Open:
        return X25519KeyPair::kKeySize;
    case ServiceHello::Kind::Resume:
        return sizeof(TunnelId) + X25519KeyPair::kKeySize;
    case ServiceHello::Kind::Attach:
        return sizeof(TunnelId) + 8;
    case ServiceHello::Kind::Datagrams:
        return sizeof(TunnelId);
    }
    return 0;
}
} // namespace

void ServiceHello::encode(Bytes &out) const
{
    out.push_back(kVersion);
    out.push_back(static_cast<std::uint8_t>(kind));
    if (kind != Kind::Open)
        append(out, tunnel);
    if (kind == Kind::Open || kind == Kind::Resume)
        append(out, publicKey);
    if (kind == Kind::Attach) {
        for (int shift = 56; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(number >> shift));
    }
}

ServiceHello::Decoded ServiceHello::decode(ByteView bytes)
{
    Decoded decoded;
    if (bytes.size() >= 1 && bytes[0] != kVersion) {
        decoded.malformed = true;
        return decoded;
    }
    if (bytes.size() < 2)
        return decoded;
    if (bytes[1] < static_cast<std::uint8_t>(Kind::Open) ||
        bytes[1] > static_cast<std::uint8_t>(Kind::Datagrams)) {
        decoded.malformed = true;
        return decoded;
    }
    ServiceHello hello;
    hello.kind = static_cast<Kind>(bytes[1]);
    const std::size_t size = 2 + bodySize(hello.kind);
    if (bytes.size() < size)
        return decoded;
    ByteView body = bytes.subspan(2, size - 2);
    if (hello.kind != Kind::Open) {
        std::copy_n(body.begin(), hello.tunnel.size(), hello.tunnel.begin());
        body = body.subspan(hello.tunnel.size());
    }
    if (hello.kind == Kind::Open || hello.kind == Kind::Resume) {
        std::copy_n(body.begin(), hello.publicKey.size(), hello.publicKey.begin());
    } else {
        for (std::uint8_t byte : body)
            hello.number = hello.number << 8 | byte;
    }
    decoded.hello = hello;
    decoded.consumed = size;
    return decoded;
}

void ServiceHelloReply::encode(Bytes &out) const
{
    out.push_back(known ? 0 : 1);
    append(out, publicKey);
}

std::optional<ServiceHelloReply> ServiceHelloReply::decode(ByteView bytes, bool &malformed)
{
    malformed = !bytes.empty() && bytes[0] > 1;
    if (malformed || bytes.size() < kSize)
        return std::nullopt;
    ServiceHelloReply reply;
    reply.known = bytes[0] == 0;
    std::copy_n(bytes.begin() + 1, reply.publicKey.size(), reply.publicKey.begin());
    return reply;
}

} // namespace corvane::tunnel
