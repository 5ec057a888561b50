#include "RawHttpServer.h"
#include "core/config/ServiceEndpoints.h"
#include "core/login/SCLoginClient.h"
#include "core/state/LocalState.h"

#include <QJsonDocument>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kOrders = R"({"code": 0, "message": "ok", "result": {"secret": "acc",
    "orderInfoList": [{"orderId": "T1", "productId": 3, "buyCount": 10, "secret": "s1"}]}})";

struct Calls
{
    int successes = 0;
    int failures = 0;
    std::shared_ptr<SCOrderContent> payload;
    std::optional<SCNetError> error;
};

void record(SCLoginClient &client, Calls &calls)
{
    client.successBlock = [&calls](const std::any &payload) {
        ++calls.successes;
        calls.payload = std::any_cast<std::shared_ptr<SCOrderContent>>(payload);
    };
    client.failureBlock = [&calls](const SCNetError &error) {
        ++calls.failures;
        calls.error = error;
    };
}

void settle()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

} // namespace

class TestLoginClient final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RawHttpServer> m_server;
    QObject m_owner;

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<RawHttpServer>();
        ServiceEndpoints endpoints;
        endpoints.serviceBaseAddress = m_server->baseUrl();
        ServiceEndpoints::install(endpoints);
        currentOrderContent().reset();
    }

    void cleanup()
    {
        m_server.reset();
        ServiceEndpoints::install(ServiceEndpoints());
    }

    void sendsTheQueryAsJson()
    {
        m_server->reply(200, kOrders);
        SCLoginClient client(m_owner);
        Calls calls;
        record(client, calls);
        client.login(u"13800000000"_s, u"0961ddcae647360e"_s);
        QTRY_COMPARE(calls.successes, 1);
        QCOMPARE(m_server->received.size(), 1);
        const RawHttpServer::Received &request = m_server->received.first();
        QCOMPARE(request.requestLine, QByteArray("POST /vpnApp/personal/queryOrder HTTP/1.1"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(
            QJsonDocument::fromJson(request.body).object(),
            QJsonObject({{u"mobile"_s, u"13800000000"_s}, {u"password"_s, u"0961ddcae647360e"_s}}));
    }

    void successKeepsTheOrdersForTheHomeScreen()
    {
        m_server->reply(200, kOrders);
        SCLoginClient client(m_owner);
        Calls calls;
        record(client, calls);
        client.login(u"13800000000"_s, u"x"_s);
        QTRY_COMPARE(calls.successes, 1);
        settle();
        QCOMPARE(calls.failures, 0);
        QVERIFY(calls.payload);
        QCOMPARE(calls.payload, currentOrderContent());
        QCOMPARE(calls.payload->secret, u"acc"_s);
        QCOMPARE(calls.payload->orderInfoList.size(), 1);
        QCOMPARE(calls.payload->orderInfoList.first()->secret, u"s1"_s);
    }

    void refusalPassesUnchanged()
    {
        m_server->reply(200, R"({"code": 500, "message": "password is error", "result": null})");
        auto earlier = std::make_shared<SCOrderContent>();
        currentOrderContent() = earlier;
        SCLoginClient client(m_owner);
        Calls calls;
        record(client, calls);
        client.login(u"13800000000"_s, u"x"_s);
        QTRY_COMPARE(calls.failures, 1);
        settle();
        QCOMPARE(calls.successes, 0);
        QCOMPARE(calls.error->message, u"password is error"_s);
        QCOMPARE(calls.error->resultCode, 200);
        QCOMPARE(currentOrderContent(), earlier);
    }

    void successWithoutAnOrderListCallsNothing_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("null result") << QByteArray(R"({"code": 0, "result": null})");
        QTest::newRow("no result") << QByteArray(R"({"code": 0})");
        QTest::newRow("list result") << QByteArray(R"({"code": 0, "result": []})");
    }

    void successWithoutAnOrderListCallsNothing()
    {
        QFETCH(QByteArray, reply);
        m_server->reply(200, reply);
        SCLoginClient client(m_owner);
        Calls calls;
        record(client, calls);
        client.login(u"13800000000"_s, u"x"_s);
        QTRY_COMPARE(m_server->received.size(), 1);
        settle();
        QCOMPARE(calls.successes + calls.failures, 0);
        QVERIFY(!currentOrderContent());
    }

    void answersGoToTheCallbacksInstalledWhenTheyArrive()
    {
        m_server->reply(200, kOrders);
        SCLoginClient client(m_owner);
        Calls first;
        record(client, first);
        client.login(u"13800000000"_s, u"x"_s);
        Calls second;
        record(client, second);
        QTRY_COMPARE(second.successes, 1);
        settle();
        QCOMPARE(first.successes + first.failures, 0);
    }

    void aClientGoneBeforeTheAnswerDropsIt()
    {
        m_server->reply(200, kOrders);
        auto client = std::make_unique<SCLoginClient>(m_owner);
        Calls calls;
        record(*client, calls);
        client->login(u"13800000000"_s, u"x"_s);
        client.reset();
        QTRY_COMPARE(m_server->received.size(), 1);
        settle();
        QCOMPARE(calls.successes + calls.failures, 0);
        QVERIFY(!currentOrderContent());
    }
};

QTEST_GUILESS_MAIN(TestLoginClient)
#include "tst_loginclient.moc"
