#include "tunnel/engine/EventLoop.h"

#include <QTest>

#include <sys/epoll.h>
#include <unistd.h>

using namespace corvane::tunnel;

namespace {
// A pipe's read end that notes events arriving after it was closed from posted work.
struct ReadEnd final : Watched
{
    int fds[2] = {-1, -1};
    bool closed = false;
    int lateEvents = 0;

    ReadEnd() { QVERIFY(::pipe(fds) == 0); }
    ~ReadEnd()
    {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void onEvents(std::uint32_t) override
    {
        if (closed)
            ++lateEvents;
    }
};
} // namespace

class tst_EventLoop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Work posted from another thread may delete an object whose event is in the same round;
    // the round's events must be delivered before that work runs.
    void postedWorkWaitsForTheRoundsEvents()
    {
        EventLoop loop;
        ReadEnd end;
        loop.watch(end.fds[0], EPOLLIN, &end);
        loop.post([&] {
            loop.unwatch(end.fds[0]);
            end.closed = true;
        });
        // Readable after the wake-up, so epoll reports it second.
        QCOMPARE(::write(end.fds[1], "x", 1), 1);
        loop.runReady();
        QVERIFY(end.closed);
        QCOMPARE(end.lateEvents, 0);
    }
};

QTEST_GUILESS_MAIN(tst_EventLoop)
#include "tst_eventloop.moc"
