// The client end's own costs apart from the kernel's: the relay forms' codecs on the reads the
// engine hands them, a proxied connection's set-up, and the question of who owns a loopback
// peer. scripts/measure-tunnel.sh measures the whole path; these say which piece moved.
#include "tunnel/proxy/PeerOwner.h"
#include "tunnel/relay/RelayMethod.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace corvane::tunnel;

namespace {

// What one read of the engine's scratch buffer holds.
constexpr std::size_t kRead = 64 * 1024;
// Enough wire for many reads, so the salt and the first partial chunk do not count.
constexpr std::size_t kWire = 1024 * 1024;

RelayMethod method(std::int64_t form)
{
    return RelayMethod(form == 0 ? RelayMethod::Form::Aead : RelayMethod::Form::Stream,
                       "bench-password");
}

const char *formName(std::int64_t form)
{
    return form == 0 ? "chacha20-ietf-poly1305" : "chacha20";
}

void BM_Encode(benchmark::State &state)
{
    const RelayMethod relay = method(state.range(0));
    state.SetLabel(formName(state.range(0)));
    const Bytes plain(kRead, 0x5a);
    const std::unique_ptr<RelayCodec> encoder = relay.encoder();
    Bytes out;
    for (auto _ : state) {
        out.clear();
        encoder->transform(plain, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRead));
}
BENCHMARK(BM_Encode)->Arg(0)->Arg(1);

void BM_Decode(benchmark::State &state)
{
    const RelayMethod relay = method(state.range(0));
    state.SetLabel(formName(state.range(0)));
    const Bytes plain(kWire, 0x5a);
    Bytes wire;
    relay.encoder()->transform(plain, wire);
    std::unique_ptr<RelayCodec> decoder = relay.decoder();
    std::size_t at = 0;
    Bytes out;
    for (auto _ : state) {
        if (at + kRead > wire.size()) {
            state.PauseTiming();
            decoder = relay.decoder();
            at = 0;
            state.ResumeTiming();
        }
        out.clear();
        if (!decoder->transform(ByteView(wire).subspan(at, kRead), out))
            state.SkipWithError("the wire did not decode");
        at += kRead;
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRead));
}
BENCHMARK(BM_Decode)->Arg(0)->Arg(1);

// A proxied connection's codecs: the encoder made and its first bytes sealed, the decoder made
// and the relay's salt (or IV) taken.
void BM_ConnectionSetUp(benchmark::State &state)
{
    const RelayMethod relay = method(state.range(0));
    state.SetLabel(formName(state.range(0)));
    const Bytes request(64, 0x5a);
    Bytes answer;
    relay.encoder()->transform(request, answer);
    Bytes out;
    for (auto _ : state) {
        out.clear();
        relay.encoder()->transform(request, out);
        relay.decoder()->transform(answer, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ConnectionSetUp)->Arg(0)->Arg(1);

void BM_PeerOwner(benchmark::State &state)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address);
    const int accepted = ::accept(listener, nullptr, nullptr);
    const SocketAddress peer = SocketAddress::peer(accepted);
    const SocketAddress local = SocketAddress::local(accepted);
    PeerOwner owners;
    for (auto _ : state) {
        if (owners.uidOf(peer, local) != ::getuid())
            state.SkipWithError("the kernel did not name this user");
    }
    for (const int fd : {accepted, client, listener})
        ::close(fd);
}
BENCHMARK(BM_PeerOwner);

} // namespace

BENCHMARK_MAIN();
