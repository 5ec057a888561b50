#include "platform/signals/TerminationSignals.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvane;

class TestTerminationSignals final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signalArrivesOnTheEventLoop_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    // Without the handler the raise would end this test process.
    void signalArrivesOnTheEventLoop()
    {
        QFETCH(int, signalNumber);
        TerminationSignals notifier;
        QSignalSpy spy(&notifier, &TerminationSignals::received);
        QCOMPARE(::raise(signalNumber), 0);
        QCOMPARE(spy.size(), 0);
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toInt(), signalNumber);
    }

    // While quitting, a second signal changes nothing until the quit's essential step is done
    // (the stop sent to the tunnel); after it, a further one ends the process as it would have
    // without the notifier.
    void aSecondSignalWaitsForTheEssentialStep()
    {
        TerminationSignals notifier;
        QSignalSpy spy(&notifier, &TerminationSignals::received);
        QCOMPARE(::raise(SIGTERM), 0);
        QCOMPARE(::raise(SIGTERM), 0);
        QTRY_COMPARE(spy.size(), 1);
        const pid_t child = ::fork();
        if (child == 0) {
            TerminationSignals::allowEarlyEnd();
            ::raise(SIGTERM);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    }

    void ignoredSignalStaysIgnored()
    {
        const auto previous = ::signal(SIGHUP, SIG_IGN);
        {
            TerminationSignals notifier;
            QSignalSpy spy(&notifier, &TerminationSignals::received);
            QCOMPARE(::raise(SIGHUP), 0);
            QCoreApplication::processEvents();
            QCOMPARE(spy.size(), 0);
        }
        QVERIFY(::signal(SIGHUP, previous) == SIG_IGN);
    }

    // The helper leaves SIGHUP alone: whatever it did before, it still does.
    void hangUpLeftKeepsItsOwnHandling()
    {
        static int hangUps = 0;
        const auto previous = ::signal(SIGHUP, [](int) { ++hangUps; });
        {
            TerminationSignals notifier(TerminationSignals::HangUp::left);
            QSignalSpy spy(&notifier, &TerminationSignals::received);
            QCOMPARE(::raise(SIGHUP), 0);
            QCOMPARE(hangUps, 1);
            QCOMPARE(::raise(SIGTERM), 0);
            QTRY_COMPARE(spy.size(), 1);
            QCOMPARE(spy.first().first().toInt(), SIGTERM);
        }
        ::signal(SIGHUP, previous);
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
