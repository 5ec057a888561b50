#include "platform/notification/NotificationCenter.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/scheduling/Scheduler.h"

#include <QVariantAnimation>
#include <QtTest>

using namespace std::chrono_literals;

using namespace corvane;

class TestScheduling final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manualClockRunsStepsInDueOrder()
    {
        ManualScheduler clock;
        QStringList order;
        delay(1s, [&] { order << QStringLiteral("b"); });
        delay(500ms, [&] {
            order << QStringLiteral("a");
            delay(500ms, [&] { order << QStringLiteral("c"); });
        });
        delay(1s, [&] { order << QStringLiteral("b2"); });
        clock.advance(999ms);
        QCOMPARE(order, QStringList({QStringLiteral("a")}));
        clock.advance(1ms);
        QCOMPARE(order, QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("b2"),
                                     QStringLiteral("c")}));
    }

    void manyShortStepsAddUpExactly()
    {
        ManualScheduler clock;
        bool ran = false;
        delay(1s, [&] { ran = true; });
        for (int i = 0; i < 9; ++i)
            clock.advance(100ms);
        QVERIFY(!ran);
        clock.advance(100ms);
        QVERIFY(ran);
    }

    void droppedContextDropsTheStep()
    {
        ManualScheduler clock;
        auto context = std::make_unique<QObject>();
        bool ran = false;
        delay(100ms, context.get(), [&] { ran = true; });
        context.reset();
        clock.advance(1s);
        QVERIFY(!ran);
    }

    void realTimerNeverRunsInsideTheCall()
    {
        bool ran = false;
        delay(0s, [&] { ran = true; });
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }

    void clockMovesAnimationsAndStepsTogether()
    {
        ManualClock clock;
        QVariantAnimation fade;
        fade.setStartValue(0.0);
        fade.setEndValue(1.0);
        fade.setDuration(200);
        double valueWhenStepRan = -1;
        fade.start();
        delay(200ms, [&] { valueWhenStepRan = fade.currentValue().toDouble(); });
        clock.advance(100ms);
        QCOMPARE(fade.state(), QAbstractAnimation::Running);
        clock.advance(100ms);
        QCOMPARE(fade.state(), QAbstractAnimation::Stopped);
        QCOMPARE(valueWhenStepRan, 1.0);
    }

    void notificationsReachLiveObserversOnly()
    {
        NotificationCenter center;
        int a = 0;
        int b = 0;
        QObject first;
        auto second = std::make_unique<QObject>();
        const auto token = center.addObserver(QStringLiteral("n"), &first, [&] { ++a; });
        center.addObserver(QStringLiteral("n"), second.get(), [&] { ++b; });
        center.addObserver(QStringLiteral("other"), &first, [&] { a += 100; });
        center.post(QStringLiteral("n"));
        second.reset();
        center.post(QStringLiteral("n"));
        center.removeObserver(token);
        center.post(QStringLiteral("n"));
        QCOMPARE(a, 2);
        QCOMPARE(b, 1);
        QCOMPARE(center.observerCount(QStringLiteral("n")), 0);
    }

    void observerRemovedDuringPostIsNotCalled()
    {
        NotificationCenter center;
        QObject context;
        int later = 0;
        NotificationCenter::Token second = 0;
        center.addObserver(QStringLiteral("n"), &context, [&] { center.removeObserver(second); });
        second = center.addObserver(QStringLiteral("n"), &context, [&] { ++later; });
        center.post(QStringLiteral("n"));
        QCOMPARE(later, 0);
    }
};

QTEST_GUILESS_MAIN(TestScheduling)
#include "tst_scheduling.moc"
