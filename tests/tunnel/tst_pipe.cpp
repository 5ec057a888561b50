#include "tunnel/engine/Pipe.h"

#include <QCryptographicHash>
#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

using namespace corvane::tunnel;
using namespace std::chrono_literals;

namespace {
// A pipe between two socket pairs driven on the test's thread: the test holds the outer end
// of each pair, the pipe the inner ones.
struct Bench
{
    ManualTime time;
    EventLoop loop{time};
    int outer[2] = {-1, -1};
    std::unique_ptr<Pipe> pipe;
    bool ended = false;
    std::string reason;

    Bench()
    {
        Socket inner[2];
        for (int i = 0; i < 2; ++i) {
            int fds[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
                qFatal("socketpair failed");
            outer[i] = fds[0];
            inner[i] = Socket(fds[1]);
        }
        pipe = std::make_unique<Pipe>(loop, Pipe::End{std::move(inner[0]), {}, "a", {}},
                                      Pipe::End{std::move(inner[1]), {}, "b", {}}, 60s,
                                      [this](const std::string &why) {
                                          ended = true;
                                          reason = why;
                                      });
        pipe->start();
    }
    ~Bench()
    {
        pipe.reset();
        ::close(outer[0]);
        ::close(outer[1]);
    }
    // Rounds of the loop until `done`, a bounded number of them so a fault fails, not hangs.
    template <typename Done> bool spin(Done done)
    {
        for (int round = 0; round < 100000; ++round) {
            if (done())
                return true;
            loop.runReady();
        }
        return done();
    }
};
} // namespace

class tst_Pipe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A reader slower than the writer: the pipe holds what the reader has not taken and stops
    // reading the writer meanwhile, so all 16 MB arrive in order.
    void slowReaderGetsEveryByte()
    {
        Bench bench;
        constexpr std::size_t kTotal = 16 << 20;
        QByteArray block(64 * 1024, Qt::Uninitialized);
        QCryptographicHash sent(QCryptographicHash::Sha256);
        QCryptographicHash received(QCryptographicHash::Sha256);
        std::size_t written = 0;
        std::size_t got = 0;
        std::size_t filledFor = 1;
        bool eof = false;
        char in[4096];
        QVERIFY(bench.spin([&] {
            if (written < kTotal) {
                // Bytes that name their place, so a lost or repeated stretch shows.
                for (qsizetype i = 0; filledFor != written && i < block.size(); ++i)
                    block[i] = static_cast<char>((written + i) % 251);
                filledFor = written;
                const ssize_t n =
                    ::send(bench.outer[0], block.constData(),
                           std::min<std::size_t>(block.size(), kTotal - written), MSG_NOSIGNAL);
                if (n > 0) {
                    sent.addData(QByteArrayView(block.constData(), n));
                    written += static_cast<std::size_t>(n);
                    if (written == kTotal)
                        ::shutdown(bench.outer[0], SHUT_WR);
                }
            }
            const ssize_t n = ::recv(bench.outer[1], in, sizeof in, 0);
            if (n > 0) {
                received.addData(QByteArrayView(in, n));
                got += static_cast<std::size_t>(n);
            }
            eof = eof || n == 0;
            return eof;
        }));
        QCOMPARE(got, kTotal);
        QCOMPARE(received.result(), sent.result());
    }

    void halfCloseIsPassedOn_data()
    {
        QTest::addColumn<int>("closing");
        QTest::newRow("a stops sending") << 0;
        QTest::newRow("b stops sending") << 1;
    }
    // One side's end of stream reaches the other while the other direction still carries
    // bytes; the pipe is over once both have ended.
    void halfCloseIsPassedOn()
    {
        QFETCH(int, closing);
        Bench bench;
        const int from = bench.outer[closing];
        const int to = bench.outer[1 - closing];
        char byte = 0;
        QCOMPARE(::shutdown(from, SHUT_WR), 0);
        QVERIFY(bench.spin([&] { return ::recv(to, &byte, 1, 0) == 0; }));
        QCOMPARE(::send(to, "x", 1, MSG_NOSIGNAL), 1);
        QVERIFY(bench.spin([&] { return ::recv(from, &byte, 1, 0) == 1; }));
        QCOMPARE(byte, 'x');
        QVERIFY(!bench.ended);
        QCOMPARE(::shutdown(to, SHUT_WR), 0);
        QVERIFY(bench.spin([&] { return bench.ended; }));
        QCOMPARE(bench.reason, std::string());
    }

    // Idle time counts from the last byte, and the pipe ends itself once it reaches the limit.
    void idlePipeEnds()
    {
        Bench bench;
        bench.time.advance(59s);
        bench.loop.runReady();
        QVERIFY(!bench.ended);
        QCOMPARE(::send(bench.outer[0], "x", 1, MSG_NOSIGNAL), 1);
        char byte = 0;
        QVERIFY(bench.spin([&] { return ::recv(bench.outer[1], &byte, 1, 0) == 1; }));
        bench.time.advance(59s);
        bench.loop.runReady();
        QVERIFY(!bench.ended);
        bench.time.advance(1s);
        bench.loop.runReady();
        QVERIFY(bench.ended);
        QCOMPARE(bench.reason, std::string("idle for 60 s"));
    }
};

QTEST_GUILESS_MAIN(tst_Pipe)
#include "tst_pipe.moc"
