// A plain TCP forwarder on standalone Asio, one of three engines compared by
// scripts/measure-tunnel.sh --engines: the same shape as the epoll one (wait for readability
// without a buffer, read into one shared scratch buffer, keep only what could not be written).
#include <asio.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using asio::ip::tcp;
char g_scratch[1 << 16];

class Pipe : public std::enable_shared_from_this<Pipe>
{
public:
    Pipe(tcp::socket client, tcp::socket server) : m_sockets{std::move(client), std::move(server)}
    {}

    void start()
    {
        for (auto &socket : m_sockets) {
            socket.non_blocking(true);
            socket.set_option(tcp::no_delay(true));
        }
        wait(0);
        wait(1);
    }

private:
    void wait(int from)
    {
        m_sockets[from].async_wait(tcp::socket::wait_read,
                                   [self = shared_from_this(), from](asio::error_code error) {
                                       if (!error)
                                           self->relay(from);
                                   });
    }

    void relay(int from)
    {
        const int to = 1 - from;
        asio::error_code error;
        const std::size_t n = m_sockets[from].read_some(asio::buffer(g_scratch), error);
        if (error == asio::error::would_block)
            return wait(from);
        if (error) {
            if (error == asio::error::eof && !m_ended[to]) {
                m_ended[from] = true;
                m_sockets[to].shutdown(tcp::socket::shutdown_send, error);
                return;
            }
            return closeBoth();
        }
        const std::size_t sent = m_sockets[to].write_some(asio::buffer(g_scratch, n), error);
        if (error && error != asio::error::would_block)
            return closeBoth();
        const std::size_t taken = error ? 0 : sent;
        if (taken == n)
            return wait(from);
        auto pending = std::make_shared<std::vector<char>>(g_scratch + taken, g_scratch + n);
        asio::async_write(
            m_sockets[to], asio::buffer(*pending),
            [self = shared_from_this(), from, pending](asio::error_code e, std::size_t) {
                if (e)
                    return self->closeBoth();
                self->wait(from);
            });
    }

    void closeBoth()
    {
        asio::error_code ignored;
        m_sockets[0].close(ignored);
        m_sockets[1].close(ignored);
    }

    tcp::socket m_sockets[2];
    bool m_ended[2] = {false, false};
};

void acceptNext(tcp::acceptor &acceptor, const tcp::endpoint &upstream)
{
    acceptor.async_accept([&acceptor, upstream](asio::error_code error, tcp::socket client) {
        if (!error) {
            tcp::socket server(acceptor.get_executor());
            server.connect(upstream, error);
            if (!error)
                std::make_shared<Pipe>(std::move(client), std::move(server))->start();
        }
        acceptNext(acceptor, upstream);
    });
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    asio::io_context context(1);
    const tcp::endpoint upstream(asio::ip::address_v4::loopback(),
                                 static_cast<unsigned short>(std::atoi(argv[1])));
    tcp::acceptor acceptor(context, tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    std::printf("%d\n", acceptor.local_endpoint().port());
    std::fflush(stdout);
    acceptNext(acceptor, upstream);
    context.run();
}
