#include "RawHttpServer.h"
#include "core/config/ServiceEndpoints.h"
#include "core/network/SCBaseClient.h"
#include "core/network/SCNetServer.h"
#include "platform/http/HttpClient.h"
#include "platform/http/TextReplyReader.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

#ifdef __SANITIZE_ADDRESS__
#include <atomic>
#include <thread>

// The sanitizer runtime's count of live heap bytes (GCC ships the runtime but not its header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace corvane;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QByteArray kLoginPath = "/vpnApp/personal/queryOrder";

void useService(const QString &baseAddress)
{
    ServiceEndpoints endpoints;
    endpoints.serviceBaseAddress = baseAddress;
    ServiceEndpoints::install(endpoints);
}

// Everything one request handed back, so each test can check there was exactly one outcome.
struct Outcome
{
    int successes = 0;
    int failures = 0;
    std::shared_ptr<SCResponse> envelope;
    std::optional<SCNetError> error;
    int total() const { return successes + failures; }
};

HttpTask send(Outcome &outcome, const QString &path = QStringLiteral("/vpnApp/personal/queryOrder"),
              const std::optional<QJsonObject> &parameters = QJsonObject{
                  {QStringLiteral("mobile"), QStringLiteral("1")}})
{
    return SCNetServer::shared().request(
        path, HttpMethod::Post, parameters, ParameterEncoding::JsonBody,
        [&outcome](const std::shared_ptr<SCResponse> &envelope) {
            ++outcome.successes;
            outcome.envelope = envelope;
        },
        [&outcome](const SCNetError &error) {
            ++outcome.failures;
            outcome.error = error;
        });
}

// Waits for the outcome, then gives late duplicates a chance to show up.
void settle(const Outcome &outcome)
{
    QTRY_VERIFY_WITH_TIMEOUT(outcome.total() > 0, 10000);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(outcome.total(), 1);
}

// How much more memory the process held at its peak while `run` ran than before it. Under
// AddressSanitizer freed blocks stay in quarantine and the RSS only grows, so there the live heap
// is sampled instead.
template <typename Run> qint64 growthDuring(Run run)
{
#ifdef __SANITIZE_ADDRESS__
    const std::size_t before = __sanitizer_get_current_allocated_bytes();
    std::atomic<std::size_t> peak = before;
    std::atomic<bool> done = false;
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak.load(), __sanitizer_get_current_allocated_bytes());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    run();
    done = true;
    sampler.join();
    return static_cast<qint64>(peak.load()) - static_cast<qint64>(before);
#else
    // VmHWM or VmRSS of this process, in bytes.
    const auto memoryOf = [](const QString &field) {
        QFile status(u"/proc/self/status"_s);
        status.open(QIODevice::ReadOnly);
        const QRegularExpression line(field + u":\\s*(\\d+) kB"_s);
        return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong() * 1024;
    };
    // A new peak from here where the kernel allows it, else the peak so far.
    QFile clear(u"/proc/self/clear_refs"_s);
    const bool reset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1 && clear.flush();
    const qint64 before = memoryOf(reset ? u"VmRSS"_s : u"VmHWM"_s);
    run();
    return memoryOf(u"VmHWM"_s) - before;
#endif
}

// A client of the kind the screens own: it delivers whatever callback is installed when the
// reply arrives.
class ProbeClient final : public SCBaseClient
{
public:
    using SCBaseClient::SCBaseClient;
    void fetch()
    {
        SCNetServer::shared().request(
            QStringLiteral("/probe"), HttpMethod::Post, std::nullopt, ParameterEncoding::JsonBody,
            [self = QPointer<ProbeClient>(this)](const std::shared_ptr<SCResponse> &envelope) {
                if (self)
                    self->deliverSuccess(envelope);
            },
            [self = QPointer<ProbeClient>(this)](const SCNetError &error) {
                if (self)
                    self->deliverFailure(error);
            });
    }
};

} // namespace

class TestSCNetServer final : public QObject
{
    Q_OBJECT

private:
    static constexpr qint64 kBodyCap = 32 * 1024;
    static constexpr qint64 kHeaderCap = 8 * 1024;

    RawHttpServer *m_server = nullptr;

private Q_SLOTS:
    // Before any test changes them: the contract's 20 s inactivity time-out, 60 s in all, 16 MB
    // of body and 64 KB of headers.
    void initTestCase()
    {
        QCOMPARE(SCNetServer::shared().requestTimeout(), 20s);
        QCOMPARE(HttpRequest().timeout, 20s);
        const HttpClient::Limits limits = HttpClient::shared().limits();
        QCOMPARE(limits.totalDeadline, 60s);
        QCOMPARE(limits.maxBodyBytes, 16 * 1024 * 1024);
        QCOMPARE(limits.maxHeaderBytes, 64 * 1024);
    }

    void init()
    {
        m_server = new RawHttpServer(this);
        useService(m_server->baseUrl());
        SCNetServer::shared().setRequestTimeout(SCNetServer::kDefaultTimeout);
        HttpClient::shared().setLimits({});
    }
    void cleanup() { delete m_server; }

    void replyDecides_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message"); // "<none>" for an absent message
        QTest::addColumn<qint64>("code");

        const QString none = QStringLiteral("<none>");
        QTest::newRow("code 0 succeeds")
            << 200 << QByteArray("{\"code\":0,\"result\":{\"secret\":\"s\"}}") << true << none
            << 0LL;
        QTest::newRow("HTTP 500 with code 0 still succeeds")
            << 500 << QByteArray("{\"code\":0}") << true << none << 0LL;
        QTest::newRow("code 1 fails carrying HTTP 200")
            << 200 << QByteArray("{\"code\":1,\"message\":\"password is error\"}") << false
            << QStringLiteral("password is error") << 200LL;
        QTest::newRow("no code fails with the message")
            << 200 << QByteArray("{\"message\":\"bad\"}") << false << QStringLiteral("bad")
            << 200LL;
        QTest::newRow("text code \"0\" fails")
            << 200 << QByteArray("{\"code\":\"0\"}") << false << none << 200LL;
        QTest::newRow("code 0.5 is not 0")
            << 200 << QByteArray("{\"code\":0.5}") << false << none << 200LL;
        QTest::newRow("HTTP 404 with an envelope")
            << 404 << QByteArray("{\"code\":7,\"message\":\"x\"}") << false << QStringLiteral("x")
            << 404LL;
        for (const char *fragment : {"0", "[]", "null", "\"x\"", "[{\"code\":0}]"})
            QTest::newRow(qPrintable(QStringLiteral("fragment %1").arg(QLatin1String(fragment))))
                << 200 << QByteArray(fragment) << false << QStringLiteral("数据解析失败") << 1LL;
        QTest::newRow("empty 204 reads as null")
            << 204 << QByteArray() << false << QStringLiteral("数据解析失败") << 1LL;
        QTest::newRow("empty body")
            << 200 << QByteArray() << false << QStringLiteral("请求服务器失败") << 200LL;
        QTest::newRow("html error page") << 502 << QByteArray("<html>bad gateway</html>") << false
                                         << QStringLiteral("请求服务器失败") << 502LL;
        QTest::newRow("two values")
            << 200 << QByteArray("{} {}") << false << QStringLiteral("请求服务器失败") << 200LL;
        QTest::newRow("invalid UTF-8") << 200 << QByteArray("{\"message\":\"\xff\xfe\"}") << false
                                       << QStringLiteral("请求服务器失败") << 200LL;
        QTest::newRow("after a UTF-8 byte-order mark")
            << 200 << QByteArray("\xef\xbb\xbf{\"code\":0}") << true << none << 0LL;
        QTest::newRow("nested 100000 deep")
            << 200 << (QByteArray(100000, '[') + QByteArray(100000, ']')) << false
            << QStringLiteral("请求服务器失败") << 200LL;
    }

    void replyDecides()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        QFETCH(QString, message);
        QFETCH(qint64, code);

        m_server->reply(status, body);
        Outcome outcome;
        send(outcome);
        settle(outcome);
        QCOMPARE(outcome.successes == 1, success);
        if (success) {
            QCOMPARE(outcome.envelope->resultCode, std::optional<qint64>(0));
            return;
        }
        QCOMPARE(outcome.error->message.value_or(QStringLiteral("<none>")), message);
        QCOMPARE(outcome.error->resultCode, std::optional<qint64>(code));
    }

    void successCarriesTheEnvelope()
    {
        m_server->reply(200, "{\"code\":0,\"result\":{\"secret\":\"abc\"}}");
        Outcome outcome;
        send(outcome);
        settle(outcome);
        QVERIFY(outcome.envelope->result.has_value());
        QCOMPARE(outcome.envelope->result->toObject().value(QStringLiteral("secret")).toString(),
                 QStringLiteral("abc"));
        QVERIFY(!outcome.envelope->resultMsg.has_value());
    }

    void wireCarriesJsonBodyAndHeader_data()
    {
        QTest::addColumn<bool>("withParameters");
        QTest::newRow("with parameters") << true;
        QTest::newRow("without parameters") << false;
    }

    void wireCarriesJsonBodyAndHeader()
    {
        QFETCH(bool, withParameters);
        m_server->reply(200, "{\"code\":0}");
        Outcome outcome;
        const QJsonObject parameters{{QStringLiteral("password"), QStringLiteral("0a1b")},
                                     {QStringLiteral("mobile"), QStringLiteral("13800138000")}};
        send(outcome, QStringLiteral("/vpnApp/personal/queryOrder"),
             withParameters ? std::optional<QJsonObject>(parameters) : std::nullopt);
        settle(outcome);
        QCOMPARE(m_server->received.size(), 1);
        const auto &request = m_server->received.first();
        QCOMPARE(request.requestLine, QByteArray("POST /vpnApp/personal/queryOrder HTTP/1.1"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.body,
                 withParameters ? QByteArray("{\"mobile\":\"13800138000\",\"password\":\"0a1b\"}")
                                : QByteArray());
    }

    void transportFailures_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<qint64>("code");
        QTest::newRow("never answers") << int(RawHttpServer::Mode::NeverAnswer) << 1LL;
        QTest::newRow("closes mid-body") << int(RawHttpServer::Mode::CloseMidBody) << 200LL;
    }

    void transportFailures()
    {
        QFETCH(int, mode);
        QFETCH(qint64, code);
        m_server->setMode(static_cast<RawHttpServer::Mode>(mode));
        m_server->reply(200, "{\"code\":0,\"result\":{\"padding\":\"0123456789\"}}");
        SCNetServer::shared().setRequestTimeout(std::chrono::milliseconds(300));
        Outcome outcome;
        send(outcome);
        settle(outcome);
        QCOMPARE(outcome.error->message, std::optional<QString>(QStringLiteral("请求服务器失败")));
        QCOMPARE(outcome.error->resultCode, std::optional<qint64>(code));
    }

    void connectionRefused()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const quint16 port = closed.serverPort();
        closed.close();
        useService(u"http://127.0.0.1:"_s + QString::number(port));
        Outcome outcome;
        send(outcome);
        settle(outcome);
        QCOMPARE(outcome.error->message, std::optional<QString>(QStringLiteral("请求服务器失败")));
        QCOMPARE(outcome.error->resultCode, std::optional<qint64>(1));
    }

    void cancelReportsOnceAndNeverInline()
    {
        m_server->setMode(RawHttpServer::Mode::NeverAnswer);
        Outcome outcome;
        HttpTask task = send(outcome);
        QTRY_COMPARE(m_server->received.size(), 1);
        task.cancel();
        QCOMPARE(outcome.total(), 0);
        task.cancel();
        settle(outcome);
        QCOMPARE(outcome.error->message, std::optional<QString>(QStringLiteral("请求服务器失败")));
    }

    // The sign-in's password must never travel to a host that a redirect names, and an answer
    // from there is not the service's.
    void redirectsStayWithinTheOrigin_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sameOrigin");
        for (int status : {301, 302, 303, 307, 308})
            QTest::newRow(qPrintable(QStringLiteral("%1 to another origin").arg(status)))
                << status << false;
        QTest::newRow("307 within the origin") << 307 << true;
        QTest::newRow("308 within the origin") << 308 << true;
    }

    void redirectsStayWithinTheOrigin()
    {
        QFETCH(int, status);
        QFETCH(bool, sameOrigin);
        RawHttpServer elsewhere;
        elsewhere.reply(200, "{\"code\":0}");
        const QByteArray target =
            sameOrigin ? QByteArray("/moved") : elsewhere.baseUrl().toUtf8() + kLoginPath;
        m_server->route(kLoginPath, status, "{}", "Location: " + target + "\r\n");
        m_server->route("/moved", 200, "{\"code\":0}");
        Outcome outcome;
        send(outcome);
        settle(outcome);
        QVERIFY(elsewhere.received.isEmpty());
        if (sameOrigin) {
            QCOMPARE(outcome.successes, 1);
            QCOMPARE(m_server->received.size(), 2);
            QCOMPARE(m_server->received.last().requestLine, QByteArray("POST /moved HTTP/1.1"));
            QCOMPARE(m_server->received.last().body, m_server->received.first().body);
            return;
        }
        QCOMPARE(m_server->received.size(), 1);
        QCOMPARE(outcome.error->message, std::optional<QString>(QStringLiteral("请求服务器失败")));
        QCOMPARE(outcome.error->resultCode, std::optional<qint64>(status));
    }

    // The public-address lookup is a plain GET read as text, and goes by the same rule.
    void lookupRedirectElsewhereFails()
    {
        RawHttpServer elsewhere;
        elsewhere.reply(200, "var returnCitySN = {\"cip\": \"1.2.3.4\"};", "text/html");
        m_server->route("/cityjson?ie=utf-8", 302, {},
                        "Location: " + elsewhere.baseUrl().toUtf8() + "/cityjson\r\n");
        HttpRequest request;
        request.url = QUrl(m_server->baseUrl() + QStringLiteral("/cityjson?ie=utf-8"));
        std::optional<HttpReply> reply;
        HttpClient::shared().send(request, [&reply](const HttpReply &r) { reply = r; });
        QTRY_VERIFY(reply);
        QVERIFY(!TextReplyReader::read(*reply));
        QCOMPARE(reply->statusCode, std::optional<int>(302));
        QVERIFY(elsewhere.received.isEmpty());
    }

    // Small limits stand in for 60 s, 16 MB and 64 KB; the inactivity time-out stays at 20 s so
    // that only the limit under test can end the request.
    void limitsEndTheRequest_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("extraHeaders");
        QTest::addColumn<bool>("success");
        const QByteArray envelope = "{\"code\":0}";
        const auto padded = [](qsizetype size) -> QByteArray {
            const QByteArray head = "{\"code\":0,\"result\":\"";
            return head + QByteArray(size - head.size() - 2, 'a') + "\"}";
        };
        const int answer = int(RawHttpServer::Mode::Answer);
        QTest::newRow("trickling past the total deadline")
            << int(RawHttpServer::Mode::Trickle) << envelope << QByteArray() << false;
        QTest::newRow("endless body")
            << int(RawHttpServer::Mode::Endless) << envelope << QByteArray() << false;
        QTest::newRow("body one byte over the cap")
            << answer << padded(kBodyCap + 1) << QByteArray() << false;
        QTest::newRow("body at the cap") << answer << padded(kBodyCap) << QByteArray() << true;
        QTest::newRow("headers over the cap")
            << answer << envelope << "X-Padding: " + QByteArray(kHeaderCap, 'h') + "\r\n"
            << false;
        QTest::newRow("headers under the cap")
            << answer << envelope << "X-Padding: " + QByteArray(kHeaderCap / 2, 'h') + "\r\n"
            << true;
    }

    void limitsEndTheRequest()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, extraHeaders);
        QFETCH(bool, success);
        HttpClient::shared().setLimits({400ms, kBodyCap, kHeaderCap});
        m_server->setMode(static_cast<RawHttpServer::Mode>(mode));
        m_server->reply(200, body);
        m_server->setExtraHeaders(extraHeaders);
        Outcome outcome;
        send(outcome);
        settle(outcome);
        QCOMPARE(outcome.successes, success ? 1 : 0);
        if (success)
            return;
        QCOMPARE(outcome.error->message, std::optional<QString>(QStringLiteral("请求服务器失败")));
        QCOMPARE(outcome.error->resultCode, std::optional<qint64>(200));
    }

    // The cap bounds memory, not only what is handed over: an endless body sent faster than the
    // event loop runs must not pile up in the process before the request ends.
    void endlessBodyTakesNoMoreMemoryThanTheCap()
    {
        // On a thread of its own, so the client's network thread reads at full speed.
        QThread thread;
        QObject inThread;
        inThread.moveToThread(&thread);
        thread.start();
        std::unique_ptr<RawHttpServer> flood;
        const auto inside = [&inThread](auto fn) {
            QMetaObject::invokeMethod(&inThread, fn, Qt::BlockingQueuedConnection);
        };
        inside([&flood] {
            flood = std::make_unique<RawHttpServer>();
            flood->setMode(RawHttpServer::Mode::Endless);
        });
        const auto stop = qScopeGuard([&] {
            inside([&flood] { flood.reset(); });
            thread.quit();
            thread.wait();
        });
        useService(flood->baseUrl());
        Outcome outcome;
        const qint64 grown = growthDuring([&outcome] {
            send(outcome);
            settle(outcome);
        });
        QCOMPARE(outcome.failures, 1);
        const qint64 margin = 8 * 1024 * 1024;
        QVERIFY2(grown < HttpClient::shared().limits().maxBodyBytes + margin,
                 qPrintable(u"grew by %1 MB"_s.arg(grown >> 20)));
    }

    void largeBodyDecodes()
    {
        QByteArray body = "{\"code\":0,\"result\":\"";
        body += QByteArray(10 * 1024 * 1024, 'a');
        body += "\"}";
        m_server->reply(200, body);
        Outcome outcome;
        send(outcome);
        settle(outcome);
        QCOMPARE(outcome.successes, 1);
        QCOMPARE(outcome.envelope->result->toString().size(), 10 * 1024 * 1024);
    }

    void clientDropsOutcomesOnceItsOwnerIsGone()
    {
        m_server->reply(200, "{\"code\":0}");
        auto owner = std::make_unique<QObject>();
        ProbeClient client(*owner);
        int calls = 0;
        client.successBlock =
            weakly(owner.get(), [&calls](QObject &, const std::any &) { ++calls; });
        client.fetch();
        owner.reset();
        QTRY_COMPARE(m_server->received.size(), 1);
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(calls, 0);
        QVERIFY(client.viewController.isNull());
    }

    void replyAfterTheClientIsGoneDoesNothing()
    {
        m_server->reply(200, "{\"code\":0}");
        QObject owner;
        int calls = 0;
        {
            ProbeClient client(owner);
            client.successBlock = [&calls](const std::any &) { ++calls; };
            client.fetch();
        }
        QTRY_COMPARE(m_server->received.size(), 1);
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(calls, 0);
    }

    void callbacksInstalledInFlightReceiveTheOutcome()
    {
        m_server->reply(200, "{\"code\":2,\"message\":\"no\"}");
        QObject owner;
        ProbeClient client(owner);
        QStringList seen;
        client.failureBlock = [&seen](const SCNetError &) { seen << QStringLiteral("old"); };
        client.fetch();
        client.failureBlock = [&seen](const SCNetError &e) {
            seen << e.message.value_or(QString());
        };
        QTRY_COMPARE(seen.size(), 1);
        QCOMPARE(seen, QStringList{QStringLiteral("no")});
    }

    void operationWithoutCallbacksCompletesSilently()
    {
        m_server->reply(200, "{\"code\":0}");
        QObject owner;
        ProbeClient client(owner);
        client.fetch();
        QTRY_COMPARE(m_server->received.size(), 1);
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(TestSCNetServer)
#include "tst_scnetserver.moc"
