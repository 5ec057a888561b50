#include "ProcessProbe.h"
#include "TunnelPeers.h"
#include "app/tray/TrayTunnelCommands.h"
#include "core/vpn/TunnelStoreProduct.h"
#include "core/vpn/VpnManager.h"
#include "platform/resources/Resources.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"
#include "screens/quick/MainViewController.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace std::chrono_literals;

using namespace corvane;
using namespace Qt::StringLiterals;

// A relay of the customer's own, set through corvanectl, carries quick connect's tunnel: Debian's
// ss-server as the relay and a static web server as the destination.
class TestCustomRelay final : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int code = -1;
        QString out;
    };

    Run ctl(const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess process;
        process.start(qEnvironmentVariable("CORVANE_BINARY_DIR") + u"/bin/corvanectl"_s, arguments);
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
    }

    // The page, fetched through the running tunnel's SOCKS5 port.
    QByteArray fetchThroughTunnel()
    {
        const std::optional<LocalProxyPorts> proxy = VpnManager::shared().localProxy();
        if (!proxy)
            return {};
        return runCurl({u"--socks5-hostname"_s, u"127.0.0.1:%1"_s.arg(proxy->socks),
                        m_origin.url(u"/page"_s)})
            .body;
    }

    void waitFor(VPNStatus status)
    {
        QTRY_COMPARE_WITH_TIMEOUT(VpnManager::shared().vpnStatus(), status, 20000);
    }

    QTemporaryDir m_home;
    WebOrigin m_origin;
    SsServer m_relay;
    QByteArray m_page;

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *folder : {"data", "config", "run"})
            QVERIFY(QDir().mkpath(m_home.filePath(QString::fromLatin1(folder))));
        QVERIFY(QFile::setPermissions(m_home.filePath(u"run"_s),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(u"data"_s)));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u"config"_s)));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home.filePath(u"run"_s)));
        // No keyring: the password goes where the sign-in password would, the settings file.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        QVERIFY(probe::useFreeProxyPorts(m_home.filePath(u"config"_s)));
        // Loopback destinations through the relay too, not direct as the built-in rules have it.
        QFile rules(m_home.filePath(u"rules.json"_s));
        QVERIFY(rules.open(QIODevice::WriteOnly));
        rules.write(R"({"rules": [{"type": "final", "action": "proxy"}]})");
        rules.close();
        Resources::setSearchRoots(QStringList{m_home.path()} + Resources::searchRoots());
        QVERIFY(VpnManager::installSharedStore(std::make_unique<LinuxTunnelProfileStore>(
            LinuxTunnelProfileStore::defaultLocations(
                qEnvironmentVariable("CORVANE_TUNNEL_HELPER")),
            TunnelStoreProduct::product())));
        QVERIFY(m_origin.start());
        m_page = m_origin.addFile(u"page"_s, 100000);
        // A password with spaces at its ends: the relay's, not to be trimmed as typed text is.
        QVERIFY(m_relay.start(u"chacha20-ietf-poly1305"_s, u" own relay "_s));
    }

    void cleanupTestCase()
    {
        VpnManager::shared().disconnectTunnel();
        waitFor(VPNStatus::off);
    }

    void setShowAndReset()
    {
        QCOMPARE(ctl({u"relay"_s, u"show"_s}).out, u"relay: built-in"_s);
        for (const QStringList &wrong :
             {QStringList{u"set"_s, u"127.0.0.1"_s, u"0"_s, u"--method"_s, u"chacha20"_s},
              QStringList{u"set"_s, u"127.0.0.1"_s, u"8388"_s, u"--method"_s, u"rc4-md5"_s},
              QStringList{u"set"_s, u"bad host"_s, u"8388"_s, u"--method"_s, u"chacha20"_s},
              QStringList{u"set"_s, u"127.0.0.1"_s}, QStringList{u"forget"_s}})
            QCOMPARE(
                ctl(QStringList{u"relay"_s} + wrong + QStringList{u"--password-stdin"_s}, "x\n")
                    .code,
                2);
        QCOMPARE(ctl({u"relay"_s, u"show"_s}).out, u"relay: built-in"_s);

        const Run set = ctl({u"relay"_s, u"set"_s, u"127.0.0.1"_s, QString::number(m_relay.port()),
                             u"--method"_s, u"chacha20-ietf-poly1305"_s, u"--password-stdin"_s},
                            " own relay \n");
        QCOMPARE(set.code, 0);
        const QString shown = u"relay: 127.0.0.1 %1 chacha20-ietf-poly1305"_s.arg(m_relay.port());
        QCOMPARE(set.out, shown);
        QCOMPARE(ctl({u"relay"_s, u"show"_s}).out, shown);
    }

    void trayConnectsThroughIt()
    {
        TrayTunnelCommands tray(nullptr);
        tray.toggle();
        waitFor(VPNStatus::on);
        QCOMPARE(fetchThroughTunnel(), m_page);
        tray.toggle();
        waitFor(VPNStatus::off);
    }

    void quickConnectThroughItThenTheBuiltInAgain()
    {
        ManualClock clock;
        MainViewController screen;
        screen.show();
        screen.pressConnect();
        clock.advance(1s);
        waitFor(VPNStatus::on);
        QCOMPARE(fetchThroughTunnel(), m_page);
        screen.pressConnect();
        clock.advance(1s);
        waitFor(VPNStatus::off);

        QCOMPARE(ctl({u"relay"_s, u"reset"_s}).out, u"relay: built-in"_s);
        QVERIFY(!probe::readAll(m_home.filePath(u"config/corvane/settings.json"_s))
                     .contains("own relay"));
    }
};

QTEST_MAIN(TestCustomRelay)
#include "tst_customrelay.moc"
