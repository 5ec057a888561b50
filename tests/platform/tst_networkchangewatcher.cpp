#include "platform/network/NetworkChangeWatcher.h"
#include "platform/scheduling/ManualClock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <sched.h>
#include <unistd.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {
bool ip(const QStringList &arguments)
{
    return QProcess::execute(u"ip"_s, arguments) == 0;
}
} // namespace

// Route and address changes in a network namespace of the suite's own: the ones that move the
// tunnel's traffic are told, once a burst has settled, and the others are not.
class TestNetworkChangeWatcher final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0)
            QSKIP("needs root for a network namespace of its own");
        QVERIFY(ip({u"link"_s, u"add"_s, u"corvane-t0"_s, u"type"_s, u"veth"_s, u"peer"_s,
                    u"name"_s, u"corvane-t1"_s}));
        QVERIFY(ip({u"link"_s, u"set"_s, u"corvane-t0"_s, u"up"_s}));
        QVERIFY(ip({u"link"_s, u"set"_s, u"corvane-t1"_s, u"up"_s}));
    }

    void toldOncePerBurst_data()
    {
        QTest::addColumn<QList<QStringList>>("changes");
        QTest::addColumn<int>("told");
        QTest::newRow("a default route")
            << QList<QStringList>{{u"route"_s, u"add"_s, u"default"_s, u"dev"_s, u"corvane-t0"_s}}
            << 1;
        QTest::newRow("an address, and a default route gone")
            << QList<QStringList>{{u"addr"_s, u"add"_s, u"10.200.0.1/24"_s, u"dev"_s,
                                   u"corvane-t0"_s},
                                  {u"route"_s, u"del"_s, u"default"_s}}
            << 1;
        QTest::newRow("a route to one network")
            << QList<QStringList>{{u"route"_s, u"add"_s, u"10.201.0.0/24"_s, u"dev"_s,
                                   u"corvane-t0"_s}}
            << 0;
        QTest::newRow("a default route in another table")
            << QList<QStringList>{{u"route"_s, u"add"_s, u"default"_s, u"dev"_s, u"corvane-t0"_s,
                                   u"table"_s, u"51000"_s}}
            << 0;
    }

    void toldOncePerBurst()
    {
        QFETCH(QList<QStringList>, changes);
        QFETCH(int, told);
        ManualClock clock;
        NetworkChangeWatcher watcher;
        QVERIFY(watcher.watchesRoutes());
        QSignalSpy spy(&watcher, &NetworkChangeWatcher::changed);
        for (const QStringList &change : changes)
            QVERIFY(ip(change));
        // The kernel has queued the notifications by the time ip returns.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        clock.advance(NetworkChangeWatcher::kSettle - std::chrono::milliseconds(1));
        QCOMPARE(spy.count(), 0);
        clock.advance(std::chrono::milliseconds(1));
        QCOMPARE(spy.count(), told);
    }
};

QTEST_GUILESS_MAIN(TestNetworkChangeWatcher)
#include "tst_networkchangewatcher.moc"
