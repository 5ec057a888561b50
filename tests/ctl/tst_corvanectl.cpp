#include "DemoService.h"
#include "core/home/OrderTexts.h"
#include "core/model/Mapper.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

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
        process.waitForFinished(60000);
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

    void signIn()
    {
        // Free ports for the tunnel's proxies, so that tests running at once do not compete.
        QFile settings(m_home.filePath(u"config/corvane/settings.json"_s));
        QVERIFY(QDir().mkpath(m_home.filePath(u"config/corvane"_s)));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"socksPort": 0, "httpProxyPort": 0})");
        settings.close();
        const Run login =
            ctl({u"login"_s, u"--mobile"_s, u"13800000001"_s, u"--password-stdin"_s}, "corvane1\n");
        QCOMPARE(login.code, 0);
    }

    QTemporaryDir m_home;
    QProcess m_service;
    QString m_url;
    QString m_relayPort;

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFileInfo(binary(u"corvanectl"_s)).isExecutable())
            QSKIP("corvanectl is not built");
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
        QCOMPARE(ctl({u"teleport"_s}).code, 2);
        QCOMPARE(ctl({u"connect"_s, u"--order"_s, u"X"_s, u"--dedup"_s, u"12h"_s}).code, 2);
        QCOMPARE(ctl({u"connect"_s, u"--order"_s, u"X"_s, u"--province"_s, u"火星"_s}).code, 2);
        QCOMPARE(ctl({u"status"_s, u"--bogus"_s}).code, 2);
        const Run help = ctl({u"change-ip"_s, u"--help"_s});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith(u"Usage: corvanectl change-ip"_s));
        // Without a terminal to ask on, the password must come through --password-stdin.
        QCOMPARE(ctl({u"login"_s, u"--mobile"_s, u"13800000001"_s}).code, 2);

        QFile::remove(m_home.filePath(u"config/Corvane/settings.json"_s));
        QFile::remove(m_home.filePath(u"config/corvane/settings.json"_s));
        const Run orders = ctl({u"orders"_s});
        QCOMPARE(orders.code, 3);
        QVERIFY(orders.err.contains(u"corvanectl login"_s));
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

    void theWholeRoad()
    {
        signIn();
        // A script's watcher, from before the connect to after the disconnect.
        QProcess watch;
        watch.setProcessEnvironment(environment());
        watch.start(binary(u"corvanectl"_s), {u"status"_s, u"--watch"_s, u"--json"_s});
        QVERIFY(watch.waitForStarted());
        // Generous: a sanitizer build under a parallel test run starts slowly.
        QTRY_VERIFY_WITH_TIMEOUT(watch.canReadLine(), 30000);

        const Run connect = ctl({u"connect"_s, u"--order"_s, u"D1Q"_s, u"--province"_s, u"广东"_s,
                                 u"--dedup"_s, u"24h"_s, u"--wait"_s});
        QCOMPARE(connect.code, 0);
        // The lookup went through the tunnel: the service saw the exit address, of 广东.
        QVERIFY2(connect.out.startsWith(u"当前IP：127.118.0."_s), qPrintable(connect.out));

        const Run again = ctl({u"connect"_s, u"--order"_s, u"D1Q"_s});
        QCOMPARE(again.code, 5);

        QJsonObject status = ctl({u"status"_s, u"--json"_s}).json();
        QCOMPARE(status.value(u"status"_s).toString(), u"on"_s);
        QCOMPARE(status.value(u"orderId"_s).toString(), u"D1Q"_s);
        QCOMPARE(status.value(u"province"_s).toObject().value(u"index"_s).toInt(), 18);
        QCOMPARE(status.value(u"dedup"_s).toString(), u"24h"_s);
        const QString first = status.value(u"publicAddress"_s).toObject().value(u"ip"_s).toString();
        QCOMPARE(connect.out, u"当前IP："_s + first + u" 广东"_s);

        QStringList seen{first};
        for (int i = 0; i < 2; ++i) {
            const Run change = ctl({u"change-ip"_s, u"--wait"_s, u"--json"_s});
            QCOMPARE(change.code, 0);
            const QString next =
                change.json().value(u"publicAddress"_s).toObject().value(u"ip"_s).toString();
            QVERIFY2(next.startsWith(u"127.118.0."_s) && !seen.contains(next), qPrintable(next));
            seen << next;
        }

        // A change whose sign-in is refused stops nothing.
        QProcessEnvironment unreachable = environment();
        unreachable.insert(u"CORVANE_SERVICE_URL"_s, u"http://127.0.0.1:1"_s);
        const Run refused = ctl({u"change-ip"_s, u"--wait"_s}, {}, unreachable);
        QCOMPARE(refused.code, 4);
        QCOMPARE(refused.err, u"请求服务器失败"_s);
        status = ctl({u"status"_s, u"--json"_s}).json();
        QCOMPARE(status.value(u"status"_s).toString(), u"on"_s);
        QCOMPARE(status.value(u"publicAddress"_s).toObject().value(u"ip"_s).toString(),
                 seen.last());

        QCOMPARE(ctl({u"disconnect"_s}).code, 0);
        status = ctl({u"status"_s, u"--json"_s}).json();
        QCOMPARE(status.value(u"status"_s).toString(), u"off"_s);
        QVERIFY(status.value(u"publicAddress"_s).isNull());
        QCOMPARE(ctl({u"change-ip"_s}).code, 5);

        // Every status the watcher saw, in order, then a clean end on Ctrl-C.
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(watch.peek(1 << 20)).contains(u"\"off\""_s) &&
                                     QString::fromUtf8(watch.peek(1 << 20)).count(u'\n') > 3,
                                 30000);
        QCOMPARE(::kill(static_cast<pid_t>(watch.processId()), SIGINT), 0);
        QVERIFY(watch.waitForFinished(10000));
        QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
        QCOMPARE(watch.exitCode(), 0);
        QStringList statuses;
        for (const QByteArray &line : watch.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                statuses << QJsonDocument::fromJson(line).object().value(u"status"_s).toString();
        }
        statuses.removeDuplicates();
        QCOMPARE(statuses.first(), u"off"_s);
        QVERIFY2(statuses.contains(u"on"_s), qPrintable(statuses.join(u' ')));
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
