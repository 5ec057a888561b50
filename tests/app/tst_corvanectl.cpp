#include "ClosedPort.h"
#include "DemoService.h"
#include "core/home/OrderTexts.h"
#include "core/model/Mapper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDir>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <optional>
#include <sys/stat.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

QString binary(const QString &name)
{
    return qEnvironmentVariable("CORVANE_BINARY_DIR") + u"/bin/"_s + name;
}

// What a terminal would act on: C0 but the line break and tab, DEL, C1.
const QRegularExpression kControls(u"[\\x00-\\x08\\x0b-\\x1f\\x7f-\\x9f]"_s);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// corvane-netd's Down, answered with `refusal` as the error's words when it is set.
class StandInNetd final : public QDBusVirtualObject
{
public:
    QString refusal;
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &bus) override
    {
        return call.member() == u"Down"_s &&
               bus.send(refusal.isEmpty()
                            ? call.createReply()
                            : call.createErrorReply(QDBusError::AccessDenied, refusal));
    }
};

// A helper that ends at once with the reason system-wide when started for that mode (and with
// no desktop proxy), as the real one does where corvane-netd is missing.
const char kRefusedHelper[] = R"(#!/usr/bin/env python3
import fcntl, os, socket, sys
base = sys.argv[sys.argv.index("--channel") + 1]
lock = open(base + ".lock", "w")
fcntl.flock(lock, fcntl.LOCK_EX)
os.remove(base + ".conf")
server = socket.socket(socket.AF_UNIX)
server.bind(base + ".sock")
server.listen(1)
peer = server.accept()[0]
why = b"system-wide corvane-netd is not installed" if "--system-wide" in sys.argv and "--system-proxy" not in sys.argv else b"other"
peer.sendall(b"connecting\nreason " + why + b"\ndisconnected\n")
peer.recv(1)
)";

} // namespace

// corvanectl as a script runs it: real processes, the demo service and its relay, the helper.
class TestCorvanectl final : public QObject
{
    Q_OBJECT

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"data"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_home.filePath(u"run"_s));
        env.insert(u"CORVANE_SERVICE_URL"_s, m_url);
        env.insert(u"CORVANE_LOOKUP_URL"_s, m_url);
        env.insert(u"CORVANE_TUNNEL_HOST"_s, u"127.0.0.1"_s);
        env.insert(u"CORVANE_TUNNEL_PORT"_s, m_relayPort);
        // The demo's rules: its lookup on loopback goes through the tunnel too.
        env.insert(u"CORVANE_RULES_DIR"_s, m_home.filePath(u"rules"_s));
        // The product's own language; speaksTheLocale() tries the others.
        env.insert(u"LC_ALL"_s, u"zh_CN.UTF-8"_s);
        // No keyring unless a test starts its own: the credentials stay in this home.
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent"_s);
        return env;
    }

    // The user's folders in `dir`.
    QProcessEnvironment homeIn(const QTemporaryDir &dir)
    {
        QProcessEnvironment env = environment();
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
            QDir().mkpath(dir.filePath(QString::fromLatin1(name)));
            env.insert(QString::fromLatin1(name), dir.filePath(QString::fromLatin1(name)));
        }
        QFile::setPermissions(dir.filePath(u"XDG_RUNTIME_DIR"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return env;
    }

    Run ctl(const QStringList &arguments, const QByteArray &input = {},
            std::optional<QProcessEnvironment> env = std::nullopt)
    {
        QProcess process;
        process.setProcessEnvironment(env.value_or(environment()));
        process.start(binary(u"corvanectl"_s), arguments);
        if (!process.waitForStarted())
            return {};
        process.write(input);
        process.closeWriteChannel();
        // The event loop runs meanwhile, for the servers a test starts in this process.
        const QDeadlineTimer deadline(60000);
        // (waitForFinished() says false for a process the event loop has seen end already.)
        while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            process.waitForFinished(5);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        Run run{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
                QString::fromUtf8(process.readAllStandardError()).trimmed()};
        // A crash (a sanitizer's abort among them) must not pass for one of the exit codes.
        if (process.exitStatus() == QProcess::CrashExit ||
            process.state() != QProcess::NotRunning) {
            qWarning().noquote() << "corvanectl" << arguments.join(u' ')
                                 << "crashed or hung:" << run.err;
            run.code = -1;
        }
        return run;
    }

    Run login(const std::optional<QProcessEnvironment> &env = std::nullopt)
    {
        return ctl({u"login"_s, u"--mobile"_s, u"13800000001"_s, u"--password-stdin"_s,
                    u"--timeout"_s, u"3600"_s},
                   "corvane1\n", env);
    }

    void signIn()
    {
        // Free ports for the tunnel's proxies, so that tests running at once do not compete.
        const QString config = m_home.filePath(u"config/corvane"_s);
        QVERIFY(QDir().mkpath(config));
        QJsonObject settings =
            QJsonDocument::fromJson(readAll(config + u"/settings.json"_s)).object();
        settings.insert(u"socksPort"_s, 0);
        settings.insert(u"httpProxyPort"_s, 0);
        QVERIFY(writeFile(config + u"/settings.json"_s, QJsonDocument(settings).toJson()));
        QCOMPARE(login().code, 0);
    }

    QTemporaryDir m_home;
    QProcess m_service;
    QString m_url;
    QString m_relayPort;

private Q_SLOTS:
    void initTestCase()
    {
        // A missing program is a broken build, not a reason to pass.
        QVERIFY2(QFileInfo(binary(u"corvanectl"_s)).isExecutable(), "corvanectl is not built");
        for (const char *folder : {"data", "config", "run", "rules"})
            QVERIFY(QDir().mkpath(m_home.filePath(QString::fromLatin1(folder))));
        QFile::setPermissions(m_home.filePath(u"run"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_service.start(qEnvironmentVariable("CORVANE_DEMO_SERVICE"), {u"--port"_s, u"0"_s});
        QVERIFY(m_service.waitForStarted());
        QTRY_VERIFY(m_service.canReadLine());
        m_url = QString::fromUtf8(m_service.readLine().trimmed()).mid(13);
        QVERIFY(m_url.startsWith(u"http://127.0.0.1:"_s));
        QTRY_VERIFY(m_service.canReadLine());
        m_relayPort = QString::fromUtf8(m_service.readLine().trimmed()).section(u':', -1);
        QFile rules(m_home.filePath(u"rules/rules.json"_s));
        QVERIFY(rules.open(QIODevice::WriteOnly));
        rules.write(R"({"rules": [{"type": "final", "action": "proxy"}]})");
    }

    void cleanupTestCase()
    {
        ctl({u"disconnect"_s});
        m_service.kill();
        m_service.waitForFinished();
    }

    void signingIn_data()
    {
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown mobile")
            << u"13900000000"_s << QByteArray("corvane1\n") << 4 << u"该手机号不存在"_s;
        QTest::newRow("wrong password")
            << u"13800000001"_s << QByteArray("corvane2\n") << 4 << u"密码错误，请重新输入"_s;
        QTest::newRow("ten digits") << u"1380000000"_s << QByteArray("corvane1\n") << 2
                                    << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("no password")
            << u"13800000001"_s << QByteArray("\n") << 2 << u"请输入密码"_s;
        QTest::newRow("right password, full-width space typed")
            << u"13800000001\u3000"_s << QByteArray("corvane1\n") << 0
            << u"已登录 13800000001：5 个订单"_s;
    }

    void signingIn()
    {
        QFETCH(QString, mobile);
        QFETCH(QByteArray, password);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Run run = ctl({u"login"_s, u"--mobile"_s, mobile, u"--password-stdin"_s}, password);
        QCOMPARE(run.code, code);
        QCOMPARE(code == 0 ? run.out : run.err.split(u'\n').last(), message);
    }

    void usageAndNotSignedIn()
    {
        QCOMPARE(ctl({}).code, 2);
        const Run unknown = ctl({u"teleport"_s});
        QCOMPARE(unknown.code, 2);
        QVERIFY2(unknown.err.startsWith(u"未知命令“teleport”"_s) &&
                     unknown.err.contains(u"change-ip"_s),
                 qPrintable(unknown.err));
        const Run version = ctl({u"--version"_s});
        QCOMPARE(version.code, 0);
        QVERIFY2(QRegularExpression(u"^corvanectl \\d+\\.\\d+"_s).match(version.out).hasMatch(),
                 qPrintable(version.out));
        // Without a runtime folder: one line that says what it means, not Qt's warning.
        QProcessEnvironment noRuntime = environment();
        noRuntime.remove(u"XDG_RUNTIME_DIR"_s);
        const Run status = ctl({u"status"_s}, {}, noRuntime);
        QCOMPARE(status.code, 0);
        QVERIFY2(status.err.startsWith(u"corvanectl：未设置 XDG_RUNTIME_DIR；"_s) &&
                     !status.err.contains(u'\n'),
                 qPrintable(status.err));
        QCOMPARE(ctl({u"connect"_s, u"--order"_s, u"X"_s, u"--dedup"_s, u"12h"_s}).code, 2);
        QCOMPARE(ctl({u"connect"_s, u"--order"_s, u"X"_s, u"--province"_s, u"火星"_s}).code, 2);
        QCOMPARE(ctl({u"status"_s, u"--bogus"_s}).code, 2);
        const Run help = ctl({u"change-ip"_s, u"--help"_s});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith(u"用法：corvanectl change-ip"_s));
        // A command's words follow its options in the usage line.
        QVERIFY(ctl({u"exec"_s, u"--help"_s}).out.startsWith(u"用法：corvanectl exec [选项] --"_s));
        // Without a terminal to ask on, the password must come through --password-stdin.
        QCOMPARE(ctl({u"login"_s, u"--mobile"_s, u"13800000001"_s}).code, 2);
        // A day at most: more would overflow the timer and give up at once.
        for (const QString &seconds : {u"0"_s, u"-1"_s, u"ten"_s, u"86401"_s, u"4294968"_s})
            QCOMPARE(ctl({u"disconnect"_s, u"--timeout"_s, seconds}).code, 2);
        QCOMPARE(ctl({u"disconnect"_s, u"--timeout"_s, u"86400"_s}).code, 0);

        QFile::remove(m_home.filePath(u"config/Corvane/settings.json"_s));
        QFile::remove(m_home.filePath(u"config/corvane/settings.json"_s));
        const Run orders = ctl({u"orders"_s});
        QCOMPARE(orders.code, 3);
        QVERIFY(orders.err.contains(u"corvanectl login"_s));
    }

    void speaksTheLocale_data()
    {
        QTest::addColumn<QStringList>("locale"); // LC_ALL, LC_MESSAGES, LANG
        QTest::addColumn<QStringList>("expected");
        const QStringList english{u"Usage: corvanectl login"_s, u"unknown command 'teleport'"_s,
                                  u"wrong password, try again"_s,
                                  u"signed in as 13800000001: 5 orders"_s};
        const QStringList chinese{u"用法：corvanectl login"_s, u"未知命令“teleport”"_s,
                                  u"密码错误，请重新输入"_s, u"已登录 13800000001：5 个订单"_s};
        QTest::newRow("C") << QStringList{u"C.UTF-8"_s, {}, {}} << english;
        QTest::newRow("zh_TW") << QStringList{u"zh_TW.UTF-8"_s, {}, {}} << chinese;
        QTest::newRow("LC_MESSAGES before LANG")
            << QStringList{{}, u"zh_CN.UTF-8"_s, u"en_GB.UTF-8"_s} << chinese;
        QTest::newRow("LC_ALL before LC_MESSAGES")
            << QStringList{u"en_US.UTF-8"_s, u"zh_CN.UTF-8"_s, {}} << english;
    }

    // Usage, help and results in one language, the locale's.
    void speaksTheLocale()
    {
        QFETCH(QStringList, locale);
        QFETCH(QStringList, expected);
        QProcessEnvironment env = environment();
        const QStringList names{u"LC_ALL"_s, u"LC_MESSAGES"_s, u"LANG"_s};
        for (qsizetype i = 0; i < names.size(); ++i) {
            env.remove(names.at(i));
            if (!locale.at(i).isEmpty())
                env.insert(names.at(i), locale.at(i));
        }
        const QStringList login{u"login"_s, u"--mobile"_s, u"13800000001"_s, u"--password-stdin"_s};
        QVERIFY(ctl({u"login"_s, u"--help"_s}, {}, env).out.startsWith(expected.at(0)));
        QVERIFY(ctl({u"teleport"_s}, {}, env).err.startsWith(expected.at(1)));
        QCOMPARE(ctl(login, "corvane2\n", env).err, expected.at(2));
        QCOMPARE(ctl(login, "corvane1\n", env).out, expected.at(3));
        // Not a word of the other language in the overview.
        const bool han =
            ctl({u"--help"_s}, {}, env).out.contains(QRegularExpression(u"\\p{Han}"_s));
        QCOMPARE(han, expected.at(3).contains(u"已登录"_s));
        // The window's program follows the same rule.
        QProcess corvane;
        corvane.setProcessEnvironment(env);
        corvane.start(binary(u"corvane"_s), {u"--help"_s});
        QVERIFY(corvane.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(corvane.readAllStandardOutput())
                     .contains(QRegularExpression(u"\\p{Han}"_s)),
                 han);
    }

    void ordersAreTheAccountsOrders()
    {
        signIn();
        const Run run = ctl({u"orders"_s, u"--json"_s});
        QCOMPARE(run.code, 0);
        const QJsonArray listed = run.json().value(u"orders"_s).toArray();
        const DemoService service;
        const auto content = Mapper<SCOrderContent>().map(service.accounts().first().orders);
        const QList<OrderChoice> expected = orderChoices(*content);
        QCOMPARE(listed.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QJsonObject order = listed.at(i).toObject();
            QCOMPARE(order.value(u"orderId"_s).toString(), expected.at(i).order->orderId);
            QCOMPARE(order.value(u"title"_s).toString(), expected.at(i).title);
            const std::optional<QString> residue = residueText(*expected.at(i).order);
            QCOMPARE(order.value(u"residue"_s).isNull(), !residue.has_value());
        }
        QCOMPARE(listed.at(0).toObject().value(u"kind"_s).toString(), u"traffic"_s);
        QCOMPARE(listed.at(0).toObject().value(u"residue"_s).toString(), u"剩余:37.5G"_s);
    }

    // The figures behind the titles and residues, as numbers a script can compare.
    void ordersCarryTheirFigures()
    {
        const QJsonObject result = DemoService().accounts().first().orders;
        QHttpServer service;
        service.route(u"/vpnApp/personal/queryOrder"_s, [&result] {
            return QJsonObject{{u"code"_s, 0}, {u"result"_s, result}};
        });
        QTemporaryDir dir;
        QProcessEnvironment env = homeIn(dir);
        env.insert(u"CORVANE_SERVICE_URL"_s,
                   u"http://127.0.0.1:%1"_s.arg(service.listen(QHostAddress::LocalHost, 0)));
        env.insert(u"TZ"_s, u"Asia/Shanghai"_s);
        QCOMPARE(login(env).code, 0);
        const Run run = ctl({u"orders"_s, u"--json"_s}, {}, env);
        QCOMPARE(run.code, 0);
        const QJsonArray sent = result.value(u"orderInfoList"_s).toArray();
        const QJsonArray listed = run.json().value(u"orders"_s).toArray();
        QCOMPARE(listed.size(), sent.size());
        // The demo account's orders: traffic, then bandwidth by the month, quarter and year, then
        // a trial.
        const QStringList periods{{}, u"month"_s, u"quarter"_s, u"year"_s, {}};
        for (qsizetype i = 0; i < listed.size(); ++i) {
            const QJsonObject order = listed.at(i).toObject();
            const QJsonObject raw = sent.at(i).toObject();
            const QString kind = order.value(u"kind"_s).toString();
            QCOMPARE(order.value(u"trafficGB"_s).toInteger(-1),
                     kind == u"traffic"_s ? raw.value(u"buyCount"_s).toInteger() : -1);
            QCOMPARE(order.value(u"remainingGB"_s).toDouble(-1),
                     kind == u"traffic"_s ? raw.value(u"remainFlow"_s).toDouble() : -1);
            QCOMPARE(order.value(u"bandwidthMbps"_s).toInteger(-1),
                     kind == u"bandwidth"_s ? raw.value(u"buyCount"_s).toInteger() : -1);
            QCOMPARE(order.value(u"period"_s).toString(), periods.at(i));
            const QString expires = order.value(u"expires"_s).toString();
            QVERIFY2(expires.endsWith(u"+08:00"_s), qPrintable(expires));
            QCOMPARE(QDateTime::fromString(expires, Qt::ISODate).toSecsSinceEpoch(),
                     raw.value(u"orderExpiryDate"_s).toInteger());
        }
    }

    void theWholeRoad()
    {
        signIn();
        // A script's watcher, from before the connect to after the disconnect.
        QProcess watch;
        QProcess textWatch;
        const auto startWatching = [this](QProcess &watcher, const QStringList &options) {
            watcher.setProcessEnvironment(environment());
            watcher.start(binary(u"corvanectl"_s),
                          QStringList{u"status"_s, u"--watch"_s} + options);
            // Generous: a sanitizer build under a parallel test run starts slowly.
            return watcher.waitForStarted() &&
                   QTest::qWaitFor([&watcher] { return watcher.canReadLine(); }, 30000);
        };
        QVERIFY(startWatching(watch, {u"--json"_s}));

        const Run connect = ctl({u"connect"_s, u"--order"_s, u"D1Q"_s, u"--province"_s, u"广东"_s,
                                 u"--dedup"_s, u"24h"_s, u"--wait"_s});
        QCOMPARE(connect.code, 0);
        // The lookup went through the tunnel: the service saw the exit address, of 广东.
        QVERIFY2(connect.out.startsWith(u"当前IP：127.118.0."_s), qPrintable(connect.out));
        // The log lines went to the journal.
        QCOMPARE(connect.err, QString());

        // Another, from a tunnel that is up.
        QVERIFY(startWatching(textWatch, {}));
        const Run again = ctl({u"connect"_s, u"--order"_s, u"D1Q"_s});
        QCOMPARE(again.code, 5);

        QJsonObject status = ctl({u"status"_s, u"--json"_s}).json();
        QCOMPARE(status.value(u"status"_s).toString(), u"on"_s);
        QCOMPARE(status.value(u"orderId"_s).toString(), u"D1Q"_s);
        QCOMPARE(status.value(u"province"_s).toObject().value(u"index"_s).toInt(), 18);
        QCOMPARE(status.value(u"dedup"_s).toString(), u"24h"_s);
        const QString first = status.value(u"publicAddress"_s).toObject().value(u"ip"_s).toString();
        QCOMPARE(connect.out, u"当前IP："_s + first + u" 广东"_s);

        // The proxies, for a script: what curl run through them reaches the service from.
        const QJsonObject proxy = status.value(u"proxy"_s).toObject();
        QVERIFY(proxy.value(u"socks5"_s).toString().startsWith(u"127.0.0.1:"_s));
        const Run env = ctl({u"env"_s});
        QCOMPARE(env.code, 0);
        QVERIFY2(env.out.contains(u"export ALL_PROXY=socks5h://"_s +
                                  proxy.value(u"socks5"_s).toString()) &&
                     env.out.contains(u"http://"_s + proxy.value(u"http"_s).toString()),
                 qPrintable(env.out));
        // curl takes the HTTP proxy for http URLs, and the SOCKS one without it.
        QCOMPARE(ctl({u"exec"_s, u"curl"_s, u"-sS"_s, m_url + u"/ip"_s}).out, first);
        const Run socks = ctl({u"exec"_s, u"--"_s, u"env"_s, u"-u"_s, u"http_proxy"_s, u"curl"_s,
                               u"-sS"_s, m_url + u"/ip"_s});
        QCOMPARE(socks.code, 0);
        QCOMPARE(socks.out, first);
        // What the tunnel carried (the lookups above), and an open connection's way.
        QProcess trafficWatch;
        QVERIFY(startWatching(trafficWatch, {u"--traffic"_s}));
        const QJsonObject traffic = ctl({u"status"_s, u"--json"_s}).json()[u"traffic"_s].toObject();
        QVERIFY(traffic[u"up"_s].toInteger() > 0 && traffic[u"down"_s].toInteger() > 0);
        QVERIFY(traffic.contains(u"upRate"_s) && traffic.contains(u"downRate"_s));
        QTcpSocket held;
        held.connectToHost(QHostAddress::LocalHost,
                           QUrl(u"socks5://"_s + proxy[u"socks5"_s].toString()).port());
        QVERIFY(held.waitForConnected());
        const quint16 servicePort = quint16(QUrl(m_url).port());
        held.write(QByteArray::fromHex("050100050100017f000001") + char(servicePort >> 8) +
                   char(servicePort & 0xff));
        QTRY_COMPARE(held.bytesAvailable(), 12);
        const QJsonArray listed =
            QJsonDocument::fromJson(ctl({u"connections"_s, u"--json"_s}).out.toUtf8())
                .object()[u"connections"_s]
                .toArray();
        QJsonArray open;
        for (const QJsonValue &seen : listed) {
            QJsonObject connection = seen.toObject();
            QVERIFY(connection.take(u"age"_s).toInteger(-1) >= 0);
            open.append(connection);
        }
        const QJsonObject heldSeen{{u"destination"_s, u"127.0.0.1:%1"_s.arg(servicePort)},
                                   {u"rule"_s, u"final"_s},
                                   {u"via"_s, u"relay"_s},
                                   {u"up"_s, 0},
                                   {u"down"_s, 0}};
        QVERIFY2(open.contains(heldSeen), QJsonDocument(open).toJson().constData());
        QTRY_VERIFY_WITH_TIMEOUT(
            QString::fromUtf8(trafficWatch.peek(1 << 20)).contains(u" · 本次 "_s), 30000);
        trafficWatch.kill();
        trafficWatch.waitForFinished();
        QCOMPARE(ctl({u"exec"_s, u"--"_s, u"sh"_s, u"-c"_s, u"exit 9"_s}).code, 9);
        QCOMPARE(ctl({u"exec"_s, u"--"_s, u"corvane-no-such-program"_s}).code, 127);
        QCOMPARE(ctl({u"exec"_s}).code, 2);

        QStringList seen{first};
        for (const bool verbose : {true, false}) {
            const QStringList asked{u"change-ip"_s, u"--wait"_s, u"--json"_s};
            const Run change = ctl(verbose ? asked + QStringList{u"--verbose"_s} : asked);
            QCOMPARE(change.code, 0);
            QCOMPARE(change.err.isEmpty(), !verbose);
            const QString next =
                change.json().value(u"publicAddress"_s).toObject().value(u"ip"_s).toString();
            QVERIFY2(next.startsWith(u"127.118.0."_s) && !seen.contains(next), qPrintable(next));
            seen << next;
        }

        // A change whose sign-in fails stops nothing.
        QProcessEnvironment unreachable = environment();
        const ClosedPort closed;
        unreachable.insert(u"CORVANE_SERVICE_URL"_s, u"http://127.0.0.1:%1"_s.arg(closed.port()));
        const Run refused = ctl({u"change-ip"_s, u"--wait"_s}, {}, unreachable);
        QCOMPARE(refused.code, 7);
        QCOMPARE(refused.err, u"请求服务器失败"_s);
        status = ctl({u"status"_s, u"--json"_s}).json();
        QCOMPARE(status.value(u"status"_s).toString(), u"on"_s);
        QCOMPARE(status.value(u"publicAddress"_s).toObject().value(u"ip"_s).toString(),
                 seen.last());

        QCOMPARE(ctl({u"disconnect"_s}).code, 0);
        status = ctl({u"status"_s, u"--json"_s}).json();
        QCOMPARE(status.value(u"status"_s).toString(), u"off"_s);
        QVERIFY(status.value(u"publicAddress"_s).isNull());
        QVERIFY(status.value(u"proxy"_s).isNull());
        QVERIFY(status.value(u"traffic"_s).isNull());
        QCOMPARE(ctl({u"connections"_s}).code, 5);
        QCOMPARE(ctl({u"change-ip"_s}).code, 5);
        QCOMPARE(ctl({u"env"_s}).code, 5);
        QCOMPARE(ctl({u"exec"_s, u"--"_s, u"true"_s}).code, 5);

        // Every status the watcher saw, in order, then a clean end on Ctrl-C.
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(watch.peek(1 << 20)).contains(u"\"off\""_s) &&
                                     QString::fromUtf8(watch.peek(1 << 20)).count(u'\n') > 3,
                                 30000);
        QTRY_VERIFY_WITH_TIMEOUT(textWatch.peek(1 << 20).count('\n') > 3, 30000);
        QStringList texts;
        for (QProcess *watcher : {&watch, &textWatch}) {
            QCOMPARE(::kill(static_cast<pid_t>(watcher->processId()), SIGINT), 0);
            QVERIFY(watcher->waitForFinished(10000));
            QCOMPARE(watcher->exitStatus(), QProcess::NormalExit);
            QCOMPARE(watcher->exitCode(), 0);
            // A line per change: never the same state twice in a row (text lines after their
            // time stamp).
            QString previous;
            for (const QString &line : QString::fromUtf8(watcher->readAllStandardOutput())
                                           .split(u'\n', Qt::SkipEmptyParts)) {
                const QString state = watcher == &watch ? line : line.section(u' ', 1);
                QVERIFY2(state != previous, qPrintable(line));
                previous = state;
                texts << state;
            }
        }
        QStringList statuses;
        for (const QString &line : texts) {
            if (line.startsWith(u'{'))
                statuses << QJsonDocument::fromJson(line.toUtf8())[u"status"_s].toString();
        }
        QCOMPARE(statuses.first(), u"off"_s);
        QVERIFY2(statuses.contains(u"on"_s), qPrintable(statuses.join(u' ')));
    }

    // Signing out deletes the password, keeps the number and stops the service's tunnel;
    // signed out already, it says so and succeeds.
    void loggingOut()
    {
        signIn();
        QCOMPARE(ctl({u"connect"_s, u"--order"_s, u"D1Q"_s, u"--wait"_s}).code, 0);
        const Run out = ctl({u"logout"_s});
        QCOMPARE(out.code, 0);
        QCOMPARE(out.out, u"已退出登录；隧道已断开"_s);
        const QJsonObject settings =
            QJsonDocument::fromJson(readAll(m_home.filePath(u"config/corvane/settings.json"_s)))
                .object();
        QVERIFY(!settings.contains(u"pwdNum"_s));
        QCOMPARE(settings.value(u"phoneNum"_s).toString(), u"13800000001"_s);
        QCOMPARE(ctl({u"status"_s, u"--json"_s}).json().value(u"status"_s).toString(), u"off"_s);
        QCOMPARE(ctl({u"orders"_s}).code, 3);
        const Run again = ctl({u"logout"_s});
        QCOMPARE(again.code, 0);
        QCOMPARE(again.out, u"未登录，无需退出"_s);
    }

    void credentialsThatCannotBeStored_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("symbolic link") << u"link"_s;
        QTest::newRow("FIFO") << u"fifo"_s;
        QTest::newRow("folder") << u"folder"_s;
        QTest::newRow("full disk") << u"full"_s;
    }

    // A sign-in whose credentials cannot be kept says so with its own code, and leaves what
    // was there as it was.
    void credentialsThatCannotBeStored()
    {
        QFETCH(QString, settings);
        QTemporaryDir dir;
        const QProcessEnvironment env = homeIn(dir);
        const QString folder = dir.filePath(u"XDG_CONFIG_HOME/corvane"_s);
        const QString file = folder + u"/settings.json"_s;
        const QByteArray good = R"({"phoneNum":"13800000002","other":"kept"})";
        const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {folder}); });
        QVERIFY(QDir().mkpath(folder));
        if (settings == u"link"_s)
            QVERIFY(QFile::link(dir.filePath(u"elsewhere.json"_s), file));
        else if (settings == u"fifo"_s)
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        else if (settings == u"folder"_s)
            QVERIFY(QDir().mkpath(file));
        else if (QProcess::execute(u"mount"_s, {u"-ttmpfs"_s, u"-osize=64k"_s, u"tmpfs"_s, folder}))
            QSKIP("mounting a small tmpfs is not allowed here (it needs root)");
        // The good file fits; the filler must not.
        else if (!writeFile(file, good) || writeFile(folder + u"/filler"_s, QByteArray(1 << 16, 0)))
            QFAIL("the tmpfs did not fill up");
        const Run run = login(env);
        QCOMPARE(run.code, 8);
        QVERIFY2(run.err.contains(u"凭据无法保存"_s), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(dir.filePath(u"elsewhere.json"_s)));
        QVERIFY(settings != u"full"_s ||
                (readAll(file) == good && QDir(folder).entryList(QDir::Files).size() == 2));
    }

    void serviceFailures_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("service");
        QTest::addColumn<int>("code");
        const QList<QStringList> commands{
            {u"login"_s, u"--mobile"_s, u"13800000001"_s, u"--password-stdin"_s},
            {u"orders"_s},
            {u"connect"_s, u"--order"_s, u"D1Q"_s, u"--wait"_s},
        };
        for (const QStringList &command : commands) {
            QTest::addRow("%s, stopped", qPrintable(command.first()))
                << command << u"stopped"_s << 7;
            QTest::addRow("%s, refusing", qPrintable(command.first()))
                << command << u"refusing"_s << 4;
            QTest::addRow("%s, slow", qPrintable(command.first())) << command << u"slow"_s << 7;
        }
    }

    // A script must tell "try again later" (7) from "stop" (4).
    void serviceFailures()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, service);
        QFETCH(int, code);
        QTemporaryDir dir;
        QProcessEnvironment env = homeIn(dir);
        QCOMPARE(login(env).code, 0);
        QHttpServer refusing;
        refusing.route(u"/vpnApp/personal/queryOrder"_s, [] {
            return QHttpServerResponse("application/json",
                                       R"({"code":1,"message":"password is error"})");
        });
        // Listens, and never takes the connection.
        QTcpServer slow;
        const ClosedPort closed;
        quint16 port = closed.port();
        if (service == u"refusing"_s)
            port = refusing.listen(QHostAddress::LocalHost, 0);
        else if (service == u"slow"_s && slow.listen(QHostAddress::LocalHost, 0))
            port = slow.serverPort();
        env.insert(u"CORVANE_SERVICE_URL"_s, u"http://127.0.0.1:%1"_s.arg(port));
        const Run run = ctl(command + QStringList{u"--timeout"_s, u"1"_s}, "corvane1\n", env);
        QCOMPARE(run.code, code);
        QCOMPARE(ctl({u"status"_s, u"--json"_s}, {}, env).json()[u"status"_s], u"off"_s);
    }

    void connectFailsAtOnceWhereTheTunnelCannotBeKept_data()
    {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<QString>("reason");
        QTest::newRow("store is a FIFO")
            << u"XDG_DATA_HOME/corvane/profiles.json"_s << u"it is a FIFO"_s;
        QTest::newRow("channel folder is a FIFO")
            << u"XDG_RUNTIME_DIR/corvane"_s << u"Cannot create the folder"_s;
    }

    // The reason is known the moment the store or the channel refuses: connect --wait says it
    // then, not after its time-out.
    void connectFailsAtOnceWhereTheTunnelCannotBeKept()
    {
        QFETCH(QString, broken);
        QFETCH(QString, reason);
        signIn();
        QTemporaryDir dir;
        QProcessEnvironment env = homeIn(dir);
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
        QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(broken)).path()));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(broken)).constData(), 0600), 0);
        const Run connect =
            ctl({u"connect"_s, u"--order"_s, u"D1Q"_s, u"--wait"_s, u"--timeout"_s, u"3600"_s}, {},
                env);
        QCOMPARE(connect.code, 5);
        QVERIFY2(connect.err.contains(reason), qPrintable(connect.err));
    }

    // What the service sends is shown, never obeyed: no escape sequence reaches the terminal,
    // and an answer it cannot use is a failure at once.
    void hostileService()
    {
        QHttpServer hostile;
        QByteArray signIn = R"({"code":0,"result":null})";
        hostile.route(u"/vpnApp/personal/queryOrder"_s,
                      [&signIn] { return QHttpServerResponse("application/json", signIn); });
        QTemporaryDir dir;
        QProcessEnvironment env = homeIn(dir);
        env.insert(u"CORVANE_SERVICE_URL"_s,
                   u"http://127.0.0.1:%1"_s.arg(hostile.listen(QHostAddress::LocalHost, 0)));
        Run run = login(env);
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.contains(u"没有发来订单列表"_s), qPrintable(run.err));
        signIn = "<html>bad gateway</html>";
        QCOMPARE(login(env).code, 7);

        signIn = "{\"code\":1,\"message\":\"\\u001b]0;owned\\u0007\\u001b[2J\\u009b31m\\u007fno\"}";
        run = login(env);
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.endsWith(u"no"_s) && !run.err.contains(kControls), qPrintable(run.err));

        signIn = "{\"code\":0,\"result\":{\"orderInfoList\":[{\"orderId\":\"\\u001b[2J\\u009bX1\","
                 "\"productId\":3}]}}";
        QCOMPARE(login(env).code, 0);
        run = ctl({u"orders"_s}, {}, env);
        QVERIFY2(run.out.contains(u"X1"_s) && !run.out.contains(kControls), qPrintable(run.out));
        run = ctl({u"orders"_s, u"--json"_s}, {}, env);
        QVERIFY(!run.out.contains(kControls));
        QCOMPARE(run.json()[u"orders"_s][0][u"orderId"_s], u"\x1b[2J\u009bX1"_s);
    }

    // A start in the system-wide mode that cannot have the device ends with 9, even without --wait.
    void theSystemWideMode()
    {
        signIn();
        const auto local = qScopeGuard([this] { ctl({u"mode"_s, u"local"_s}); });
        QCOMPARE(ctl({u"mode"_s, u"system-wide"_s}).out, u"system-wide"_s);
        QCOMPARE(ctl({u"status"_s, u"--json"_s}).json()[u"mode"_s], u"system-wide"_s);
        QVERIFY(ctl({u"status"_s}).out.split(u'\n').contains(u"模式: system-wide"_s));
        QTemporaryDir dir;
        const QString helper = dir.filePath(u"refused-helper"_s);
        QVERIFY(writeFile(helper, kRefusedHelper));
        QVERIFY(QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner));
        QProcessEnvironment env = environment();
        env.insert(u"CORVANE_TUNNEL_HELPER"_s, helper);
        const Run connect = ctl({u"connect"_s, u"--order"_s, u"D1Q"_s}, {}, env);
        QCOMPARE(connect.code, 5);
        QVERIFY(connect.err.endsWith(u"无法开启全局模式：corvane-netd is not installed"_s));
    }

    // Down on a private system bus: no service, a stand-in that agrees then refuses; no bus.
    void systemWideRepair()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(
            dir.filePath(u"bus.conf"_s),
            u"<busconfig><listen>unix:path=%1</listen><policy context=\"default\">"
            "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
            "<allow receive_sender=\"*\"/></policy></busconfig>"_s.arg(dir.filePath(u"bus"_s))
                .toUtf8()));
        QProcess daemon;
        daemon.start(u"dbus-daemon"_s, {u"--config-file"_s, dir.filePath(u"bus.conf"_s),
                                        u"--nofork"_s, u"--print-address"_s});
        const auto stop = qScopeGuard([&daemon] { daemon.kill(), daemon.waitForFinished(); });
        QVERIFY(daemon.waitForReadyRead(30000));
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        QProcessEnvironment env = environment();
        const QStringList repair{u"system-wide"_s, u"repair"_s};
        StandInNetd service;
        const auto close = qScopeGuard([] { QDBusConnection::disconnectFromBus(u"netd"_s); });
        QDBusConnection bus = QDBusConnection::connectToBus(address, u"netd"_s);
        QVERIFY(bus.registerVirtualObject(u"/com/corvane/Corvane/Network"_s, &service));
        for (const QString &at : {address, u"unix:path=/nonexistent"_s}) {
            env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, at);
            const Run absent = ctl(repair, {}, env);
            QCOMPARE(absent.code, 5);
            QVERIFY(absent.err.contains(u"corvane-netd 未安装或未运行"_s));
        }
        env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, address);
        QVERIFY(bus.registerService(u"com.corvane.Corvane.Network"_s));
        QCOMPARE(ctl(repair, {}, env).out, u"corvane-netd 已撤下全局模式留下的一切"_s);
        service.refusal = u"brought up by another user"_s;
        const Run refused = ctl(repair, {}, env);
        QCOMPARE(refused.code, 5);
        QVERIFY(refused.err.endsWith(u"：brought up by another user"_s));
    }

    void thePasswordStaysOutOfProcessListings()
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(binary(u"corvanectl"_s),
                      {u"login"_s, u"--mobile"_s, u"13800000001"_s, u"--password-stdin"_s});
        QVERIFY(process.waitForStarted());
        process.write("corvane1\n");
        const QString proc = u"/proc/%1/"_s.arg(process.processId());
        QFile cmdline(proc + u"cmdline"_s);
        QFile environFile(proc + u"environ"_s);
        const bool opened =
            cmdline.open(QIODevice::ReadOnly) && environFile.open(QIODevice::ReadOnly);
        const QByteArray listed = cmdline.readAll() + environFile.readAll();
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        if (!opened)
            QSKIP("the process ended before /proc could be read");
        QVERIFY(!listed.contains("corvane1"));
    }
};

QTEST_GUILESS_MAIN(TestCorvanectl)
#include "tst_corvanectl.moc"
