#include "platform/systemproxy/DesktopSystemProxy.h"

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

const SystemProxy::Ports kPorts{21080, 21081};
const QString kSchema = u"org.gnome.system.proxy"_s;
// Set in the copy of this suite that applies and is then killed.
const char *const kChildVariable = "CORVANE_TEST_SYSTEM_PROXY_CHILD";

QString ok(const std::optional<QString> &error)
{
    return error.value_or(u"ok"_s);
}

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput().trimmed();
}

QByteArray gsettings(const QStringList &arguments)
{
    return run(u"gsettings"_s, arguments);
}

QByteArray get(const QString &schema, const QString &key)
{
    return gsettings({u"get"_s, schema, key});
}

// Every key of the proxy schemas as another program reads them.
QByteArray everything()
{
    return gsettings({u"list-recursively"_s, kSchema});
}

QByteArray kread(const QString &file, const QString &group, const QString &key)
{
    return run(u"kreadconfig5"_s, {u"--file"_s, file, u"--group"_s, group, u"--key"_s, key});
}

QByteArray readRaw(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

int modeOf(const QString &path)
{
    struct stat info
    {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                    : -1;
}

bool present(const QString &path)
{
    return modeOf(path) >= 0;
}

} // namespace

// Against a real dconf-service on a session bus of the suite's own: what other programs read
// (gsettings, kreadconfig5) while on, and after restore or repair.
class TestDesktopSystemProxy final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QProcess m_bus;
    int m_reparsed = 0;

    static DesktopSystemProxy::Locations locations(bool plasma = false)
    {
        DesktopSystemProxy::Locations locations = DesktopSystemProxy::defaultLocations();
        locations.plasma = plasma;
        return locations;
    }
    static QString journal() { return locations().journalFile; }

    // The person's own proxy settings, as `gsettings set` arguments.
    static void setOwn(const QList<QStringList> &settings)
    {
        for (const QStringList &setting : settings)
            gsettings(QStringList{u"set"_s} + setting);
    }

public Q_SLOTS:
    void reparsed(const QString &) { ++m_reparsed; }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet(kChildVariable)) {
            DesktopSystemProxy proxy(locations());
            std::printf("applied: %s\n", qPrintable(ok(proxy.apply(kPorts))));
            std::fflush(stdout);
            std::getchar();
            std::_Exit(0);
        }
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty() || !QFile::exists(u"/usr/libexec/dconf-service"_s) ||
            QStandardPaths::findExecutable(u"gsettings"_s).isEmpty() ||
            !QFile::exists(u"/usr/share/glib-2.0/schemas/org.gnome.system.proxy.gschema.xml"_s))
            QSKIP("dbus-daemon, dconf-service, gsettings or gsettings-desktop-schemas is missing");
        QVERIFY(m_home.isValid());
        const QString runtime = m_home.filePath(u"run"_s);
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u"config"_s)));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("GSETTINGS_BACKEND", "dconf");
        m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        QVERIFY(m_bus.waitForReadyRead(10000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        QVERIFY(DesktopSystemProxy(locations()).available());
        QVERIFY(QDBusConnection::sessionBus().connect(
            QString(), u"/KIO/Scheduler"_s, u"org.kde.KIO.Scheduler"_s,
            u"reparseSlaveConfiguration"_s, this, SLOT(reparsed(QString))));
    }

    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished();
    }

    void init()
    {
        gsettings({u"reset-recursively"_s, kSchema});
        QFile::remove(journal());
        QFile::remove(locations().kioFile);
    }

    void givesBackExactly_data()
    {
        QTest::addColumn<QList<QStringList>>("own");
        QTest::newRow("defaults") << QList<QStringList>();
        QTest::newRow("own manual proxy") << QList<QStringList>{
            {kSchema, u"mode"_s, u"manual"_s},
            {kSchema, u"ignore-hosts"_s, u"['*.corp.example', '10.1.0.0/16']"_s},
            {kSchema + u".http"_s, u"host"_s, u"proxy.corp.example"_s},
            {kSchema + u".http"_s, u"port"_s, u"3128"_s},
            {kSchema + u".socks"_s, u"host"_s, u"socks.corp.example"_s}};
        QTest::newRow("own script") << QList<QStringList>{
            {kSchema, u"mode"_s, u"auto"_s},
            {kSchema, u"autoconfig-url"_s, u"http://wpad.corp.example/wpad.dat"_s}};
    }

    void givesBackExactly()
    {
        QFETCH(QList<QStringList>, own);
        setOwn(own);
        const QByteArray before = everything();
        DesktopSystemProxy proxy(locations());
        QCOMPARE(ok(proxy.apply(kPorts)), u"ok"_s);
        QVERIFY(proxy.applied());
        QCOMPARE(get(kSchema, u"mode"_s), "'manual'");
        QCOMPARE(get(kSchema, u"ignore-hosts"_s),
                 "['localhost', '127.0.0.0/8', '::1', '10.0.0.0/8', '172.16.0.0/12', "
                 "'192.168.0.0/16', '169.254.0.0/16', 'fe80::/10', 'fc00::/7']");
        for (const QString &child : {u".http"_s, u".https"_s, u".socks"_s})
            QCOMPARE(get(kSchema + child, u"host"_s), "'127.0.0.1'");
        QCOMPARE(get(kSchema + u".http"_s, u"port"_s), "21081");
        QCOMPARE(get(kSchema + u".https"_s, u"port"_s), "21081");
        QCOMPARE(get(kSchema + u".socks"_s, u"port"_s), "21080");
        QCOMPARE(modeOf(journal()), 0600);
        const QString login = locations().loginEntry;
        const QByteArray exec =
            "Exec=\"" + QFile::encodeName(locations().loginProgram) + "\" --version\n";
        QVERIFY(readRaw(login).contains(exec));
        QCOMPARE(ok(proxy.restore()), u"ok"_s);
        QCOMPARE(everything(), before);
        QVERIFY(!proxy.applied());
        QVERIFY(!present(login));
    }

    // A key the person changed while on is theirs; the others are given back.
    void personsChangeWins()
    {
        setOwn({{kSchema + u".socks"_s, u"host"_s, u"socks.corp.example"_s}});
        DesktopSystemProxy proxy(locations());
        QCOMPARE(ok(proxy.apply(kPorts)), u"ok"_s);
        setOwn({{kSchema, u"mode"_s, u"none"_s}, {kSchema + u".http"_s, u"host"_s, u"mine"_s}});
        QCOMPARE(ok(proxy.restore()), u"ok"_s);
        QCOMPARE(get(kSchema, u"mode"_s), "'none'");
        QCOMPARE(get(kSchema + u".http"_s, u"host"_s), "'mine'");
        QCOMPARE(get(kSchema + u".http"_s, u"port"_s), "8080");
        QCOMPARE(get(kSchema + u".socks"_s, u"host"_s), "'socks.corp.example'");
    }

    // The window and corvanectl both apply: the second keeps what the first replaced.
    void aSecondProgramKeepsTheFirstBefore()
    {
        setOwn({{kSchema, u"mode"_s, u"auto"_s}});
        const QByteArray before = everything();
        DesktopSystemProxy window(locations());
        DesktopSystemProxy ctl(locations());
        QCOMPARE(ok(window.apply(kPorts)), u"ok"_s);
        QCOMPARE(ok(ctl.apply({31080, 31081})), u"ok"_s);
        QCOMPARE(get(kSchema + u".http"_s, u"port"_s), "31081");
        QCOMPARE(ok(ctl.restore()), u"ok"_s);
        QCOMPARE(everything(), before);
    }

    void repair_data()
    {
        QTest::addColumn<QString>("leftBy");
        QTest::addColumn<bool>("restored");
        QTest::newRow("object dropped") << u"dropped"_s << true;
        QTest::newRow("program killed") << u"killed"_s << true;
        QTest::newRow("program still runs") << u"running"_s << false;
        QTest::newRow("live tunnel on its ports") << u"tunnel 21080 21081"_s << false;
        QTest::newRow("live tunnel on other ports") << u"tunnel 31080 31081"_s << true;
    }

    void repair()
    {
        QFETCH(QString, leftBy);
        QFETCH(bool, restored);
        setOwn({{kSchema, u"mode"_s, u"auto"_s}});
        const QByteArray before = everything();
        std::unique_ptr<DesktopSystemProxy> running;
        QProcess other;
        if (leftBy == u"killed"_s) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QString::fromLatin1(kChildVariable), u"1"_s);
            other.setProcessEnvironment(environment);
            other.start(QCoreApplication::applicationFilePath(), {u"tst_desktopsystemproxy"_s});
            QByteArray line;
            while (!line.startsWith("applied: ") && other.waitForReadyRead(60000)) {
                while (other.canReadLine() && !line.startsWith("applied: "))
                    line = other.readLine().trimmed();
            }
            QCOMPARE(line, "applied: ok");
            ::kill(static_cast<pid_t>(other.processId()), SIGKILL);
            other.waitForFinished();
        } else if (leftBy == u"running"_s) {
            running = std::make_unique<DesktopSystemProxy>(locations());
            QCOMPARE(ok(running->apply(kPorts)), u"ok"_s);
        } else {
            QCOMPARE(ok(DesktopSystemProxy(locations()).apply(kPorts)), u"ok"_s);
        }
        if (leftBy.startsWith(u"tunnel"_s)) {
            // What the profile store knows a helper by: its command line and its .proxy file.
            const QString base = locations().runtimeDir + u"/0123456789abcdef"_s;
            QVERIFY(QDir().mkpath(locations().runtimeDir));
            writeRaw(base + u".proxy"_s, "proxy " + leftBy.mid(7).toUtf8() + '\n');
            other.start(u"sh"_s, {u"-c"_s, u"read line"_s, u"sh"_s, u"--channel"_s, base});
            QVERIFY(other.waitForStarted());
        }
        const QByteArray applied = everything();
        QCOMPARE(ok(DesktopSystemProxy(locations()).repair()), u"ok"_s);
        QCOMPARE(everything(), restored ? before : applied);
        QCOMPARE(present(journal()), !restored);
        other.kill();
        other.waitForFinished();
        if (running)
            QCOMPARE(ok(running->restore()), u"ok"_s);
    }

    void badJournalLeavesSettingsAlone_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("corrupt") << u"corrupt"_s;
        QTest::newRow("symbolic link") << u"link"_s;
        QTest::newRow("another user's") << u"owner"_s;
        QTest::newRow("a key never written") << u"key"_s;
        QTest::newRow("a value of another type") << u"type"_s;
    }

    void badJournalLeavesSettingsAlone()
    {
        QFETCH(QString, fault);
        QCOMPARE(ok(DesktopSystemProxy(locations()).apply(kPorts)), u"ok"_s);
        const QByteArray applied = everything();
        QByteArray good = readRaw(journal());
        const QByteArray original = good;
        const QString elsewhere = m_home.filePath(u"elsewhere.journal"_s);
        writeRaw(elsewhere, good);
        if (fault == u"corrupt"_s) {
            writeRaw(journal(), good.left(good.size() / 2));
        } else if (fault == u"link"_s) {
            QVERIFY(QFile::remove(journal()));
            QVERIFY(QFile::link(elsewhere, journal()));
        } else if (fault == u"owner"_s) {
            QCOMPARE(::chown(QFile::encodeName(journal()).constData(), 65534, 65534), 0);
        } else {
            const bool key = fault == u"key"_s;
            const QByteArray from = key ? "\"org.gnome.system.proxy.socks\"" : "\"21080\"";
            QVERIFY(good.contains(from));
            writeRaw(journal(),
                     good.replace(from, key ? "\"org.gnome.desktop.interface\"" : "\"'21080'\""));
        }
        DesktopSystemProxy proxy(locations());
        QCOMPARE(ok(proxy.repair()), u"ok"_s);
        QCOMPARE(everything(), applied);
        QVERIFY(!present(journal()));
        QCOMPARE(readRaw(elsewhere), original);
        QVERIFY(!proxy.applied());
    }

    void kioFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("no kioslaverc") << QByteArray();
        QTest::newRow("no proxy group") << QByteArray("[General]\nfoo=bar\n");
        QTest::newRow("own proxy")
            << QByteArray("[General]\nfoo=bar\n\n[Proxy Settings]\n"
                          "ProxyType=1\nhttpProxy=http://corp.example "
                          "8080\nNoProxyFor=.corp.example\n\n[Other]\nx=1\n");
    }

    void kioFile()
    {
        QFETCH(QByteArray, before);
        const QString file = locations().kioFile;
        if (!before.isNull())
            writeRaw(file, before);
        const int reparsedBefore = m_reparsed;
        DesktopSystemProxy proxy(locations(true));
        QCOMPARE(ok(proxy.apply(kPorts)), u"ok"_s);
        const QString group = u"Proxy Settings"_s;
        QCOMPARE(kread(file, group, u"ProxyType"_s), "1");
        QCOMPARE(kread(file, group, u"httpProxy"_s), "http://127.0.0.1 21081");
        QCOMPARE(kread(file, group, u"httpsProxy"_s), "http://127.0.0.1 21081");
        QCOMPARE(kread(file, group, u"socksProxy"_s), "socks://127.0.0.1 21080");
        QCOMPARE(kread(file, group, u"NoProxyFor"_s),
                 "localhost,127.0.0.0/8,::1,10.0.0.0/8,172.16.0.0/12,192.168.0.0/16,"
                 "169.254.0.0/16,fe80::/10,fc00::/7");
        QCOMPARE(kread(file, group, u"ReversedException"_s), "false");
        if (!before.isNull())
            QCOMPARE(kread(file, u"General"_s, u"foo"_s), "bar");
        QTRY_COMPARE(m_reparsed, reparsedBefore + 1);
        QCOMPARE(ok(proxy.restore()), u"ok"_s);
        QCOMPARE(present(file), !before.isNull());
        QCOMPARE(readRaw(file), before);
        QTRY_COMPARE(m_reparsed, reparsedBefore + 2);
    }
};

QTEST_GUILESS_MAIN(TestDesktopSystemProxy)
#include "tst_desktopsystemproxy.moc"
