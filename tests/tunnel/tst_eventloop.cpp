#include "tunnel/engine/EventLoop.h"

#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace corvane::tunnel;

namespace {
// A pipe's read end, registered for reading, that counts what it is told.
struct ReadEnd final : Watched
{
    int fds[2] = {-1, -1};
    Registration registration;
    int events = 0;
    std::function<void()> onEvent;

    explicit ReadEnd(EventLoop &loop)
    {
        QVERIFY(::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0);
        registration = Registration(loop, fds[0], *this);
        QVERIFY(!registration.want({true, false}));
        QCOMPARE(::write(fds[1], "x", 1), 1);
    }
    ~ReadEnd()
    {
        registration.reset();
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void onEvents(Readiness) override
    {
        ++events;
        if (onEvent)
            onEvent();
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
        bool posted = false;
        loop.post([&] { posted = true; });
        ReadEnd end(loop);
        bool postedFirst = false;
        end.onEvent = [&] { postedFirst = posted; };
        loop.runReady();
        QCOMPARE(end.events, 1);
        QVERIFY(posted);
        QVERIFY(!postedFirst);
    }

    // Whichever of two ready descriptors is told first unregisters the other, as a connection
    // closing both its sockets does: the other's event of the same round is not delivered.
    void registrationResetInTheRoundGetsNoEvent()
    {
        EventLoop loop;
        ReadEnd a(loop);
        ReadEnd b(loop);
        a.onEvent = [&] { b.registration.reset(); };
        b.onEvent = [&] { a.registration.reset(); };
        loop.runReady();
        QCOMPARE(a.events + b.events, 1);
    }

    // A moved registration keeps its place in the set; a descriptor epoll refuses (a regular
    // file) is reported, not ignored.
    void registrationMovesAndReportsRefusals()
    {
        EventLoop loop;
        ReadEnd end(loop);
        Registration moved = std::move(end.registration);
        QCOMPARE(moved.interest(), (Interest{true, false}));
        loop.runReady();
        QCOMPARE(end.events, 1);
        QVERIFY(!end.registration.want({true, false}));

        const int file = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        Registration refused(loop, file, end);
        const std::optional<TunnelError> error = refused.want({true, false});
        QVERIFY(error);
        QCOMPARE(error->code, EPERM);
        QCOMPARE(refused.interest(), Interest{});
        refused.reset();
        ::close(file);
    }

    // A loop whose epoll stops answering records why and goes on with posted work, so what
    // lives on it can still be ended from outside.
    void failedWaitKeepsPostedWork()
    {
        EventLoop loop;
        const int notEpoll = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        QVERIFY(::dup2(notEpoll, loop.descriptor()) == loop.descriptor());
        ::close(notEpoll);
        bool ran = false;
        loop.post([&] { ran = true; });
        loop.runReady();
        QVERIFY(loop.failure());
        QCOMPARE(loop.failure()->code, EINVAL);
        QVERIFY(ran);
    }
};

QTEST_GUILESS_MAIN(tst_EventLoop)
#include "tst_eventloop.moc"
