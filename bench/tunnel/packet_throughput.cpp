// One TCP stream through the packet path on a real TUN device, against the same stream over
// loopback: the kernel's share of the NAT's cost, which callgrind does not see. Needs root; runs
// in a network namespace of its own, gone with the process.
//
//     packet_throughput loopback|tun MEGABYTES [MTU]
#include "tunnel/engine/EngineThread.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/packet/PacketPath.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <unistd.h>

using namespace corvane::tunnel;

namespace {
IpEndpoint endpoint(const char *host, std::uint16_t port)
{
    return *IpEndpoint::of(*SocketAddress::parse(host, port));
}

bool shell(const std::string &command)
{
    return std::system(command.c_str()) == 0;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &at) { return double(at.tv_sec) + at.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Takes every connection and reads it to its end.
class Sink final : Watched
{
public:
    Sink(EventLoop &loop, const SocketAddress &at)
        : m_loop(loop), m_socket(std::get<Socket>(Socket::listen(at)))
    {
        m_socket.watch(loop, *this);
        if (m_socket.want({true, false}))
            std::abort();
    }

private:
    struct Reader final : Watched
    {
        EventLoop *loop = nullptr;
        Socket socket;
        void onEvents(Readiness) override
        {
            IoResult result;
            while ((result = socket.read(loop->input())).done()) {
            }
            if (result.outcome != IoResult::Outcome::WouldBlock)
                socket.close();
        }
    };

    void onEvents(Readiness) override
    {
        auto accepted = m_socket.accept();
        if (!std::holds_alternative<Socket>(accepted))
            return;
        auto reader = std::make_unique<Reader>();
        reader->loop = &m_loop;
        reader->socket = std::get<Socket>(std::move(accepted));
        reader->socket.watch(m_loop, *reader);
        if (!reader->socket.want({true, false}))
            m_readers.push_back(std::move(reader));
    }

    EventLoop &m_loop;
    Socket m_socket;
    std::vector<std::unique_ptr<Reader>> m_readers;
};
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3 || unshare(CLONE_NEWNET) != 0) {
        std::fprintf(stderr, "usage (as root): packet_throughput loopback|tun MEGABYTES [MTU]\n");
        return 2;
    }
    const bool tun = std::string_view(argv[1]) == "tun";
    const long megabytes = std::atol(argv[2]);
    const std::string mtu = argc > 3 ? argv[3] : "1500";
    if (!shell("ip link set lo up"))
        return 1;

    EngineThread engine;
    std::unique_ptr<PacketPath> path;
    std::unique_ptr<Sink> sink;
    SocketAddress target = *SocketAddress::parse("127.0.0.1", 7070);
    if (tun) {
        auto device = TunDevice::open("corvane-b0");
        if (!std::holds_alternative<TunDevice>(device) ||
            !shell("ip addr add 198.18.0.1/30 dev corvane-b0 && ip link set corvane-b0 mtu " + mtu +
                   " up && ip route add 198.19.7.0/24 dev corvane-b0"))
            return 1;
        PacketPath::Settings settings;
        settings.listener4 = endpoint("198.18.0.1", 7070);
        settings.listener6 = endpoint("fd00:c0a7::1", 7070);
        settings.flows.peer4 = endpoint("198.18.0.2", 0);
        settings.flows.peer6 = endpoint("fd00:c0a7::2", 0);
        engine.call([&] {
            path =
                std::make_unique<PacketPath>(engine.loop(), std::get<TunDevice>(std::move(device)),
                                             settings, PacketPath::Handlers{});
            if (path->start())
                std::abort();
            sink = std::make_unique<Sink>(engine.loop(), settings.listener4.socketAddress());
        });
        target = *SocketAddress::parse("198.19.7.9", 80);
    } else {
        engine.call([&] { sink = std::make_unique<Sink>(engine.loop(), target); });
    }

    const int client = socket(target.family(), SOCK_STREAM, 0);
    if (::connect(client, target.raw(), target.length) != 0)
        return 1;
    const std::vector<char> chunk(256 * 1024, 'x');
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (long sent = 0; sent < megabytes * 4; ++sent)
        for (std::size_t at = 0; at < chunk.size();) {
            const ssize_t wrote = write(client, chunk.data() + at, chunk.size() - at);
            if (wrote <= 0)
                return 1;
            at += std::size_t(wrote);
        }
    shutdown(client, SHUT_WR);
    char end;
    if (read(client, &end, 1) != 0)
        return 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuBefore;
    close(client);
    engine.call([&] {
        sink.reset();
        path.reset();
    });
    std::printf("%s mtu %s: %.0f MB/s, %.2f CPU s per GB\n", argv[1], tun ? mtu.c_str() : "-",
                double(megabytes) / seconds, cpu * 1024 / double(megabytes));
    return 0;
}
