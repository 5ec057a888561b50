// A plain TCP forwarder on epoll, one of three engines compared by scripts/measure-tunnel.sh
// --engines: one thread, level-triggered readiness, one scratch buffer shared by every
// connection and a pending buffer only for what a peer could not take yet.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

struct Side
{
    int fd = -1;
    Side *peer = nullptr;
    std::vector<char> pending;
    bool readEnded = false;
};

int g_epoll = -1;
char g_scratch[1 << 16];
// Deleted after the round of events, some of which may still name them.
std::vector<Side *> g_closed;

void arm(Side *side)
{
    epoll_event event{};
    event.data.ptr = side;
    // Read only while the peer has taken everything; wait for writability while it has not.
    event.events = (side->peer->pending.empty() && !side->readEnded ? EPOLLIN : 0u) |
                   (side->pending.empty() ? 0u : EPOLLOUT);
    epoll_ctl(g_epoll, EPOLL_CTL_MOD, side->fd, &event);
}

void closePair(Side *side)
{
    if (side->fd < 0)
        return;
    for (Side *end : {side, side->peer}) {
        epoll_ctl(g_epoll, EPOLL_CTL_DEL, end->fd, nullptr);
        close(end->fd);
        end->fd = -1;
        g_closed.push_back(end);
    }
}

bool flush(Side *side)
{
    while (!side->pending.empty()) {
        const ssize_t n =
            ::send(side->fd, side->pending.data(), side->pending.size(), MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN;
        side->pending.erase(side->pending.begin(), side->pending.begin() + n);
    }
    std::vector<char>().swap(side->pending);
    return true;
}

void onEvent(Side *side, unsigned events)
{
    if (side->fd < 0)
        return;
    if (events & EPOLLOUT) {
        if (!flush(side))
            return closePair(side);
        if (side->pending.empty() && side->peer->readEnded)
            shutdown(side->fd, SHUT_WR);
    }
    if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
        const ssize_t n = ::recv(side->fd, g_scratch, sizeof g_scratch, 0);
        if (n < 0 && errno != EAGAIN)
            return closePair(side);
        if (n == 0) {
            side->readEnded = true;
            if (side->peer->readEnded)
                return closePair(side);
            if (side->peer->pending.empty())
                shutdown(side->peer->fd, SHUT_WR);
        } else if (n > 0) {
            const ssize_t sent = ::send(side->peer->fd, g_scratch, n, MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN)
                return closePair(side);
            const ssize_t taken = sent < 0 ? 0 : sent;
            side->peer->pending.assign(g_scratch + taken, g_scratch + n);
        }
    }
    arm(side);
    arm(side->peer);
}

int listenOn()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    listen(fd, 4096);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    return fd;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    sockaddr_in upstream{};
    upstream.sin_family = AF_INET;
    upstream.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    upstream.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    const int listener = listenOn();
    g_epoll = epoll_create1(0);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = nullptr;
    epoll_ctl(g_epoll, EPOLL_CTL_ADD, listener, &event);
    epoll_event events[256];
    for (;;) {
        const int count = epoll_wait(g_epoll, events, 256, -1);
        for (Side *closed : g_closed)
            delete closed;
        g_closed.clear();
        for (int i = 0; i < count; ++i) {
            if (events[i].data.ptr) {
                onEvent(static_cast<Side *>(events[i].data.ptr), events[i].events);
                continue;
            }
            const int client = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK);
            if (client < 0)
                continue;
            // A blocking connect on loopback keeps the comparison about relaying.
            const int server = socket(AF_INET, SOCK_STREAM, 0);
            if (connect(server, reinterpret_cast<sockaddr *>(&upstream), sizeof upstream) != 0) {
                close(client);
                close(server);
                continue;
            }
            const int one = 1;
            setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            fcntl(server, F_SETFL, O_NONBLOCK);
            auto *a = new Side;
            a->fd = client;
            auto *b = new Side;
            b->fd = server;
            a->peer = b;
            b->peer = a;
            for (Side *side : {a, b}) {
                epoll_event add{};
                add.events = EPOLLIN;
                add.data.ptr = side;
                epoll_ctl(g_epoll, EPOLL_CTL_ADD, side->fd, &add);
            }
        }
    }
}
