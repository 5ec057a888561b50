#include "app/notify/TunnelNotices.h"
#include "core/config/ServiceEndpoints.h"
#include "platform/desktopnotifier/memory/RecordingNotifier.h"
#include "platform/scheduling/ManualClock.h"

#include <QHttpServer>
#include <QtTest>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {
const QString kUp = u"Corvane 已连接"_s;
const QString kChanged = u"IP 已切换"_s;
const QString kDropped = u"Corvane 已断开"_s;
const QString kRefused = u"Corvane 未能连接"_s;

VPNStatus parse(QStringView name)
{
    if (name == u"connecting")
        return VPNStatus::connecting;
    if (name == u"on")
        return VPNStatus::on;
    if (name == u"disconnecting")
        return VPNStatus::disconnecting;
    return VPNStatus::off;
}
} // namespace

class TestTunnelNotices final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void whichChangesNotify_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<QStringList>("titles");

        // A "*" marks a step taken while the home screen changes the IP, a "+" one while the
        // sequencer reconnects.
        QTest::newRow("connect, window in the background")
            << u"connecting on"_s << false << QStringList{kUp};
        QTest::newRow("connect, user at the focused window")
            << u"connecting on"_s << true << QStringList{};
        QTest::newRow("repeated announcements count once")
            << u"connecting connecting on on"_s << false << QStringList{kUp};
        QTest::newRow("disconnect the user asked for")
            << u"connecting on disconnecting off"_s << false << QStringList{kUp};
        QTest::newRow("helper died, even at the focused window")
            << u"connecting on off"_s << true << QStringList{kDropped};
        QTest::newRow("service refused the tunnel")
            << u"connecting off"_s << true << QStringList{kRefused};
        QTest::newRow("tunnel found up at launch, then stopped")
            << u"on disconnecting off"_s << false << QStringList{};
        QTest::newRow("change of IP in the background")
            << u"connecting on *disconnecting *off *connecting on"_s << false
            << QStringList{kUp, kChanged};
        QTest::newRow("change of IP at the focused window")
            << u"connecting on *disconnecting *off *connecting on"_s << true << QStringList{};
        QTest::newRow("change of IP whose reconnect is refused")
            << u"connecting on *disconnecting *off *connecting off"_s << true
            << QStringList{kRefused};
        QTest::newRow("connect again after a disconnect")
            << u"connecting on disconnecting off connecting on"_s << false << QStringList{kUp, kUp};
        QTest::newRow("lost, its failed tries are one drop")
            << u"connecting on +off +connecting +off +connecting on"_s << false
            << QStringList{kUp, kUp};
    }

    void whichChangesNotify()
    {
        QFETCH(QString, steps);
        QFETCH(bool, focused);
        QFETCH(QStringList, titles);
        const ManualClock clock;
        RecordingNotifier notifier;
        bool changing = false;
        bool reconnecting = false;
        TunnelNotices notices(notifier,
                              {[focused] { return focused; }, [&changing] { return changing; },
                               [&reconnecting] { return reconnecting; }});
        for (const QString &step : steps.split(u' ')) {
            changing = step.startsWith(u'*');
            reconnecting = step.startsWith(u'+');
            notices.statusChanged(parse(QStringView(step).mid(changing || reconnecting ? 1 : 0)));
        }
        QStringList shown;
        for (const DesktopNotifier::Notice &notice : notifier.notices)
            shown << notice.title;
        QCOMPARE(shown, titles);
    }

    // In the system-wide mode the notice of a drop says that traffic is blocked meanwhile.
    void reconnectNoticeTellsTheBlock()
    {
        RecordingNotifier notifier;
        TunnelNotices notices(notifier,
                              {{}, {}, [] { return true; }, [] { return u"断线保护"_s; }});
        notices.statusChanged(VPNStatus::on);
        notices.statusChanged(VPNStatus::off);
        notices.reconnectStarted();
        QCOMPARE(notifier.notices.size(), 1);
        QCOMPARE(notifier.notices.constFirst().body, u"隧道已断开，正在重连…\n断线保护"_s);
    }

    void publicAddressReplacesThePlaceholder_data()
    {
        QTest::addColumn<bool>("dropBeforeLookup");
        QTest::addColumn<QStringList>("bodies");
        QTest::newRow("address arrives")
            << false << QStringList{u"正在查询公网地址…"_s, u"当前IP：198.18.18.7 广东"_s};
        QTest::newRow("tunnel dropped first")
            << true << QStringList{u"正在查询公网地址…"_s, u"隧道意外断开，并非由您操作。"_s};
    }

    void publicAddressReplacesThePlaceholder()
    {
        QFETCH(bool, dropBeforeLookup);
        QFETCH(QStringList, bodies);
        QHttpServer server;
        int lookups = 0;
        server.route(u"/cityjson"_s, [&lookups] {
            ++lookups;
            return QHttpServerResponse(
                QByteArrayLiteral("application/javascript; charset=utf-8"),
                u"var returnCitySN = {\"cip\": \"198.18.18.7\", \"cname\": \"广东\"};"_s.toUtf8());
        });
        const quint16 port = server.listen(QHostAddress::LocalHost, 0);
        QVERIFY(port);
        ServiceEndpoints endpoints;
        endpoints.lookupBaseAddress = u"http://127.0.0.1:%1"_s.arg(port);
        ServiceEndpoints::install(endpoints);

        ManualClock clock;
        RecordingNotifier notifier;
        TunnelNotices notices(notifier,
                              {[] { return false; }, [] { return false; }, [] { return false; }});
        notices.statusChanged(VPNStatus::connecting);
        notices.statusChanged(VPNStatus::on);
        if (dropBeforeLookup)
            notices.statusChanged(VPNStatus::off);
        clock.advance(TunnelNotices::kLookupDelay);
        QTRY_COMPARE(notifier.notices.size(), bodies.size());
        QStringList shown;
        for (const DesktopNotifier::Notice &notice : notifier.notices) {
            shown << notice.body;
            QCOMPARE(notice.tag, TunnelNotices::kTag);
        }
        QCOMPARE(shown, bodies);
        QCOMPARE(lookups, dropBeforeLookup ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestTunnelNotices)
#include "tst_tunnelnotices.moc"
