#include "MemoryTunnel.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "core/vpn/VpnManager.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <sys/stat.h>

using namespace corvane;
using namespace Qt::StringLiterals;
using namespace corvane::test;

namespace {
int modeOf(const QString &path)
{
    struct stat info
    {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}
} // namespace

// Launch and termination on the process-wide instances, with the settings in a temporary home
// and the tunnel in memory.
class TestAppDelegate final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    MemoryTunnel m_tunnel{MemoryTunnel::Profile::none};

    QString config(const QString &name) const
    {
        return m_home.filePath(QStringLiteral("config/") + name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        QVERIFY(m_tunnel.installShared());
    }

    // An older build kept the settings in "Corvane/", open to other users.
    void launchMovesAndClosesUpTheSettings()
    {
        QVERIFY(QDir().mkpath(config(QStringLiteral("Corvane"))));
        QFile legacy(config(QStringLiteral("Corvane/settings.json")));
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write("{\"phoneNum\":\"13800138000\"}");
        legacy.close();
        QVERIFY(legacy.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                      QFile::ReadOther));

        AppDelegate delegate(*qApp);
        QVERIFY(delegate.didFinishLaunching());
        const QString moved = config(QStringLiteral("corvane/settings.json"));
        QVERIFY(!QFileInfo::exists(legacy.fileName()));
        QCOMPARE(modeOf(moved), 0600);
        QCOMPARE(modeOf(config(QStringLiteral("corvane"))), 0700);
        QFile file(moved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("{\"phoneNum\":\"13800138000\"}"));
    }

    // Quitting a moment after a connect: the stop must come after the start, or the tunnel
    // would come up once the application is gone.
    void quitRightAfterAConnectStopsTheTunnel()
    {
        AppDelegate delegate(*qApp);
        VpnManager &manager = VpnManager::shared();
        m_tunnel.store().addStoredProfile(QStringLiteral("Corvane"));
        m_tunnel.drain();
        manager.address = QStringLiteral("relay.example");
        manager.port = 14223;
        manager.connectTunnel();
        delegate.willTerminate();
        MemoryTunnelConnection *connection = m_tunnel.connection();
        QCOMPARE(connection->startCount(), 1);
        QCOMPARE(connection->stopCount(), 1);
        m_tunnel.drain();
        QCOMPARE(connection->status(), TunnelStatus::Disconnecting);
    }

    // The window and the window switcher show Corvane's icon, from the desktop's theme or, in a
    // build tree without one, the copy built in; the desktop matches windows to the entry. The
    // copy is read by Qt's own PNG reader: loading every image plugin to ask costs a launch more
    // than its first frame.
    void windowsCarryTheIcon()
    {
        Application::nameProcess();
        QCOMPARE(QGuiApplication::desktopFileName(), u"com.corvane.Corvane"_s);
        QWidget window;
        QVERIFY(!window.windowIcon().pixmap(QSize(48, 48)).isNull());
        QFile maps(u"/proc/self/maps"_s);
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("/imageformats/"));
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
