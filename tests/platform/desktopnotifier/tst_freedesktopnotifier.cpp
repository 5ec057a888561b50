#include "platform/desktopnotifier/FreedesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace corvane;
using namespace Qt::StringLiterals;

// Plays the notification server: answers Notify as the freedesktop notification protocol has it and
// keeps what it was sent.
class NotificationServer final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        QString appName;
        uint replacesId;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Call> calls;

public Q_SLOTS:
    uint Notify(const QString &appName, uint replacesId, const QString &icon,
                const QString &summary, const QString &body, const QStringList &,
                const QVariantMap &hints, int)
    {
        calls.append({appName, replacesId, icon, summary, body, hints});
        return replacesId ? replacesId : static_cast<uint>(calls.size()) + 40;
    }
};

class TestFreedesktopNotifier final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    }

    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished();
    }

    void noticeWithTheSameTagReplacesTheLastOne()
    {
        QDBusConnection serverBus = QDBusConnection::connectToBus(m_address, u"server"_s);
        NotificationServer server;
        QVERIFY(serverBus.registerObject(u"/org/freedesktop/Notifications"_s, &server,
                                         QDBusConnection::ExportAllSlots));
        QVERIFY(serverBus.registerService(u"org.freedesktop.Notifications"_s));

        FreedesktopNotifier notifier(u"Corvane"_s, u"com.corvane.Corvane"_s,
                                     u"com.corvane.Corvane"_s,
                                     QDBusConnection::connectToBus(m_address, u"client"_s));
        // The second comes before the service has numbered the first, and still replaces it;
        // of two that wait, the newer is shown.
        notifier.show({u"tunnel"_s, u"Corvane 已连接"_s, u"正在查询公网地址…"_s});
        notifier.show({u"tunnel"_s, u"Corvane 已连接"_s, u"当前IP：198.51.100.1 广东"_s});
        notifier.show({u"tunnel"_s, u"Corvane 已连接"_s, u"当前IP：198.18.18.7 广东"_s});
        QTRY_COMPARE(server.calls.size(), 2);
        notifier.show({u"tray"_s, u"Corvane 仍在运行"_s, u"…"_s});
        QTRY_COMPARE(server.calls.size(), 3);

        const NotificationServer::Call first = server.calls.at(0);
        QCOMPARE(first.appName, u"Corvane"_s);
        QCOMPARE(first.icon, u"com.corvane.Corvane"_s);
        QCOMPARE(first.replacesId, 0u);
        QCOMPARE(first.hints.value(u"desktop-entry"_s).toString(), u"com.corvane.Corvane"_s);
        QCOMPARE(server.calls.at(1).replacesId, 41u);
        QCOMPARE(server.calls.at(1).body, u"当前IP：198.18.18.7 广东"_s);
        QCOMPARE(server.calls.at(2).replacesId, 0u);
    }

private:
    QProcess m_bus;
    QString m_address;
};

QTEST_GUILESS_MAIN(TestFreedesktopNotifier)
#include "tst_freedesktopnotifier.moc"
