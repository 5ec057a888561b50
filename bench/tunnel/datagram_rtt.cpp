// The round-trip time of sequential small datagrams through the service relay's datagram form
// on loopback, over UDP or over a datagram connection: the client's ServiceSession on this
// thread, the demo relay and a UDP echo server on an engine thread of their own.
// Usage: datagram_rtt udp|connection COUNT; prints "median_us p99_us".
#include "RelayServer.h"
#include "tunnel/client/ServiceSession.h"
#include "tunnel/engine/EngineThread.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace corvane::tunnel;

namespace {
struct Echo final : Watched
{
    DatagramSocket socket;
    void onEvents(Readiness) override
    {
        std::uint8_t buffer[2048];
        const DatagramSocket::Received received = socket.receiveFrom(buffer);
        if (received.result.done())
            static_cast<void>(
                socket.sendTo(ByteView(buffer, received.result.count), received.from));
    }
};
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return std::fprintf(stderr, "usage: %s udp|connection COUNT\n", argv[0]), 2;
    const bool udp = std::strcmp(argv[1], "udp") == 0;
    const int count = std::atoi(argv[2]);
    EngineThread relayThread;
    std::unique_ptr<RelayServer> relay;
    Echo echo;
    SocketAddress relayAddress;
    SocketAddress echoAddress;
    relayThread.call([&] {
        relay = std::make_unique<RelayServer>(
            relayThread.loop(), RelayServer::Options{},
            [](const std::string &) {
                return RelayServer::Decision{true, {}, "127.0.0.1"};
            },
            nullptr);
        relay->listen(SocketAddress::loopback(false, 0));
        relayAddress = SocketAddress::loopback(false, relay->port());
        echo.socket =
            std::get<DatagramSocket>(DatagramSocket::bind(SocketAddress::loopback(false, 0)));
        echo.socket.watch(relayThread.loop(), echo);
        static_cast<void>(echo.socket.want({true, false}));
        echoAddress = SocketAddress::local(echo.socket.fd());
    });

    EventLoop loop;
    RelaySession::Events events;
    events.state = [&](RelaySession::State state, const std::string &) {
        if (state == RelaySession::State::Connected)
            loop.quit();
    };
    ServiceSession session(loop, {}, events, "", "bench");
    session.startDatagramsOn(udp ? ServiceDatagramLink::Path::Udp
                                 : ServiceDatagramLink::Path::Connection);
    session.start(relayAddress);
    loop.run();
    std::unique_ptr<DatagramChannel> channel =
        session.openDatagrams([&](Datagram &&) { loop.quit(); });
    const TargetAddress destination =
        *TargetAddress::fromHost(echoAddress.host(), echoAddress.port());
    const Bytes payload(32, 0x5a);
    std::vector<double> rtts;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        channel->send(destination, payload);
        loop.run();
        rtts.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(rtts.begin(), rtts.end());
    std::printf("%.1f %.1f\n", rtts[rtts.size() / 2], rtts[rtts.size() * 99 / 100]);
    channel.reset();
    session.stop();
    relayThread.call([&] {
        relay.reset();
        echo.socket.close();
    });
    return 0;
}
