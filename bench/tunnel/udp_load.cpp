// The load of scripts/measure-tunnel.sh --udp (scripts/udp-load.py compare runs it): a loopback
// UDP echo server and the clients that measure a path to it, native so that neither end is
// slower than the proxies between them.
//
//     udp_load echo                     prints its port, echoes until killed
//     udp_load rtt COUNT PATH...        median and p99 µs of COUNT sequential datagrams on
//                                       each path, a line each; the paths take turns datagram
//                                       by datagram, so the machine's load falls on all alike
//     udp_load flood PATH RATE SECONDS  sends RATE datagrams a second; prints sent, answered
//
// PATH is "direct:PORT" (the echo server on 127.0.0.1:PORT) or "socks:PORT:ECHO_PORT" (a SOCKS5
// proxy on 127.0.0.1:PORT, its datagrams to 127.0.0.1:ECHO_PORT).
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kPayload = 32;
constexpr unsigned kBatch = 64;
constexpr int kBufferBytes = 4 << 20;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "udp_load: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

std::int64_t nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int boundUdpSocket()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        fail("socket");
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
    const sockaddr_in address = loopback(0);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        fail("bind");
    return fd;
}

std::uint16_t localPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

// Datagrams received in batches, each slot with room for its sender's address.
struct Batch
{
    std::vector<mmsghdr> messages{kBatch};
    std::vector<iovec> iovecs{kBatch};
    std::vector<sockaddr_in> peers{kBatch};
    std::vector<char> buffers = std::vector<char>(kBatch * 2048);

    Batch()
    {
        for (unsigned i = 0; i < kBatch; ++i) {
            iovecs[i] = {buffers.data() + i * 2048, 2048};
            messages[i].msg_hdr.msg_iov = &iovecs[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &peers[i];
        }
    }

    int receive(int fd, int flags)
    {
        for (unsigned i = 0; i < kBatch; ++i) {
            iovecs[i].iov_len = 2048;
            messages[i].msg_hdr.msg_namelen = sizeof(sockaddr_in);
        }
        return recvmmsg(fd, messages.data(), kBatch, flags, nullptr);
    }
};

[[noreturn]] void echo()
{
    const int fd = boundUdpSocket();
    std::printf("%u\n", localPort(fd));
    std::fflush(stdout);
    Batch batch;
    for (;;) {
        const int received = batch.receive(fd, MSG_WAITFORONE);
        if (received < 0)
            continue;
        for (int i = 0; i < received; ++i)
            batch.iovecs[i].iov_len = batch.messages[i].msg_len;
        for (int done = 0; done < received;) {
            const int sent = sendmmsg(fd, batch.messages.data() + done, received - done, 0);
            // A datagram the kernel would not take is lost, as it would be on the wire.
            done += sent > 0 ? sent : 1;
        }
    }
}

// A UDP socket that sends to the echo server, through the proxy when there is one: the
// datagrams then carry RFC 1928's header, and the control connection stays open.
struct Path
{
    int fd = boundUdpSocket();
    int control = -1;
    sockaddr_in to{};
    std::vector<std::uint8_t> header;

    explicit Path(const std::string &path)
    {
        unsigned proxyPort = 0, echoPort = 0;
        if (std::sscanf(path.c_str(), "direct:%u", &echoPort) == 1) {
            to = loopback(echoPort);
            return;
        }
        if (std::sscanf(path.c_str(), "socks:%u:%u", &proxyPort, &echoPort) != 2) {
            std::fprintf(stderr, "udp_load: not a path: %s\n", path.c_str());
            std::exit(2);
        }
        control = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in proxy = loopback(proxyPort);
        if (connect(control, reinterpret_cast<const sockaddr *>(&proxy), sizeof proxy) != 0)
            fail("connect");
        // The greeting (no authentication) and the request in one write.
        const std::uint16_t ours = htons(localPort(fd));
        std::uint8_t request[13] = {5, 1, 0, 5, 3, 0, 1, 127, 0, 0, 1};
        std::memcpy(request + 11, &ours, 2);
        if (send(control, request, sizeof request, 0) != sizeof request)
            fail("send");
        std::uint8_t reply[12];
        for (std::size_t got = 0; got < sizeof reply;) {
            const ssize_t n = recv(control, reply + got, sizeof reply - got, 0);
            if (n <= 0)
                fail("the proxy's reply");
            got += n;
        }
        if (reply[0] != 5 || reply[1] != 0 || reply[2] != 5 || reply[3] != 0 || reply[5] != 1) {
            std::fprintf(stderr, "udp_load: UDP ASSOCIATE refused\n");
            std::exit(1);
        }
        to.sin_family = AF_INET;
        std::memcpy(&to.sin_addr, reply + 6, 4);
        std::memcpy(&to.sin_port, reply + 10, 2);
        if (to.sin_addr.s_addr == htonl(INADDR_ANY))
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::uint16_t echoed = htons(echoPort);
        header = {0, 0, 0, 1, 127, 0, 0, 1};
        header.insert(header.end(), reinterpret_cast<const std::uint8_t *>(&echoed),
                      reinterpret_cast<const std::uint8_t *>(&echoed) + 2);
    }

    std::vector<std::uint8_t> datagram() const
    {
        std::vector<std::uint8_t> bytes = header;
        bytes.resize(header.size() + kPayload, 0x5a);
        return bytes;
    }
};

double roundTripUs(const Path &path, const std::vector<std::uint8_t> &datagram)
{
    std::uint8_t answer[2048];
    const std::int64_t start = nowNs();
    if (sendto(path.fd, datagram.data(), datagram.size(), 0,
               reinterpret_cast<const sockaddr *>(&path.to), sizeof path.to) < 0)
        fail("sendto");
    const ssize_t n = recv(path.fd, answer, sizeof answer, 0);
    if (n < 0)
        fail("no answer");
    if (std::size_t(n) != datagram.size() ||
        std::memcmp(answer, datagram.data(), datagram.size()) != 0) {
        std::fprintf(stderr, "udp_load: a wrong answer\n");
        std::exit(1);
    }
    return double(nowNs() - start) / 1000;
}

void rtt(int count, const std::vector<Path> &paths)
{
    const timeval timeout{5, 0};
    std::vector<std::vector<std::uint8_t>> datagrams;
    std::vector<std::vector<double>> times(paths.size());
    for (std::size_t p = 0; p < paths.size(); ++p) {
        setsockopt(paths[p].fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        datagrams.push_back(paths[p].datagram());
        times[p].reserve(count);
    }
    for (int i = 0; i < count; ++i)
        for (std::size_t p = 0; p < paths.size(); ++p)
            times[p].push_back(roundTripUs(paths[p], datagrams[p]));
    for (std::vector<double> &each : times) {
        std::sort(each.begin(), each.end());
        const double median =
            count % 2 ? each[count / 2] : (each[count / 2 - 1] + each[count / 2]) / 2;
        std::printf("%.1f %.1f\n", median, each[std::size_t(count * 0.99)]);
    }
}

void flood(const Path &path, long rate, long seconds)
{
    const std::vector<std::uint8_t> datagram = path.datagram();
    // Sent in batches of a millisecond's worth, paced against the clock; answers are counted
    // between batches, and for a second after the last.
    const long total = rate * seconds;
    const unsigned batchSize = unsigned(std::clamp(rate / 1000, 1L, long(kBatch)));
    std::vector<mmsghdr> outgoing(batchSize);
    iovec payload{const_cast<std::uint8_t *>(datagram.data()), datagram.size()};
    for (mmsghdr &message : outgoing) {
        message.msg_hdr.msg_iov = &payload;
        message.msg_hdr.msg_iovlen = 1;
        message.msg_hdr.msg_name = const_cast<sockaddr_in *>(&path.to);
        message.msg_hdr.msg_namelen = sizeof path.to;
    }
    Batch incoming;
    long sent = 0, answered = 0;
    const std::int64_t start = nowNs();
    std::int64_t end = 0;
    for (;;) {
        for (int n; (n = incoming.receive(path.fd, MSG_DONTWAIT)) > 0;)
            answered += n;
        const std::int64_t now = nowNs();
        std::int64_t due = end;
        if (sent < total) {
            due = start + sent * 1'000'000'000LL / rate;
            if (now >= due) {
                const int n = sendmmsg(path.fd, outgoing.data(),
                                       unsigned(std::min<long>(batchSize, total - sent)), 0);
                if (n < 0)
                    fail("sendmmsg");
                sent += n;
                if (sent == total)
                    end = nowNs() + 1'000'000'000LL;
                continue;
            }
        } else if (now >= end) {
            break;
        }
        pollfd readable{path.fd, POLLIN, 0};
        const std::int64_t wait = due - now;
        const timespec timeout{time_t(wait / 1'000'000'000LL), long(wait % 1'000'000'000LL)};
        ppoll(&readable, 1, &timeout, nullptr);
    }
    std::printf("%ld %ld\n", total, answered);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string role = argc > 1 ? argv[1] : "";
    if (role == "echo" && argc == 2)
        echo();
    if (role == "rtt" && argc >= 4) {
        std::vector<Path> paths(argv + 3, argv + argc);
        rtt(std::atoi(argv[2]), paths);
        return 0;
    }
    if (role == "flood" && argc == 5) {
        flood(Path(argv[2]), std::atol(argv[3]), std::atol(argv[4]));
        return 0;
    }
    std::fprintf(stderr,
                 "usage: %s echo | rtt COUNT PATH... | flood PATH RATE SECONDS\n"
                 "PATH: direct:PORT or socks:PORT:ECHO_PORT\n",
                 argv[0]);
    return 2;
}
