#include "platform/process/ProcessStart.h"

#include <QTest>

#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvane;
using namespace std::chrono;

namespace {

nanoseconds bootClock()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return seconds(now.tv_sec) + nanoseconds(now.tv_nsec);
}

} // namespace

class TestProcessStart final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A child forked at a known moment: its age may fall short of the truth by at most the
    // kernel's tick, never exceed it, or a step counted from it would end early.
    void ageNeverOverstatesAndMissesAtMostATick()
    {
        const nanoseconds tick = duration_cast<nanoseconds>(
            duration<double>(1.0 / static_cast<double>(::sysconf(_SC_CLK_TCK))));
        for (int round = 0; round < 20; ++round) {
            int pipeEnds[2];
            QCOMPARE(::pipe(pipeEnds), 0);
            const nanoseconds beforeFork = bootClock();
            const pid_t child = ::fork();
            if (child == 0) {
                // Spread the asks over the tick, so both ends of the rounding are met.
                ::usleep(static_cast<useconds_t>(round * 700));
                const nanoseconds answer[2] = {ProcessStart::age(), bootClock()};
                const bool written = ::write(pipeEnds[1], answer, sizeof answer) == sizeof answer;
                ::_exit(written ? 0 : 1);
            }
            QVERIFY(child > 0);
            ::close(pipeEnds[1]);
            nanoseconds answer[2]{};
            QCOMPARE(::read(pipeEnds[0], answer, sizeof answer), ssize_t(sizeof answer));
            ::close(pipeEnds[0]);
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            const nanoseconds atMost = answer[1] - beforeFork;
            QVERIFY2(
                answer[0] <= atMost,
                qPrintable(
                    QStringLiteral("%1 ns > %2 ns").arg(answer[0].count()).arg(atMost.count())));
            // The fork itself takes some time before the child starts counting as started.
            QVERIFY(answer[0] >= atMost - 2 * tick - milliseconds(20));
        }
    }
};

QTEST_GUILESS_MAIN(TestProcessStart)
#include "tst_processstart.moc"
