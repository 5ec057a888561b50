#include "DemoHttpServer.h"
#include "DemoService.h"
#include "core/config/ServiceEndpoints.h"
#include "core/crypto/DESEncode.h"
#include "core/home/AuthString.h"
#include "core/home/OrderTexts.h"
#include "core/home/PublicAddressAnswer.h"
#include "core/login/SCLoginClient.h"
#include "core/model/Mapper.h"
#include "core/network/SCResponse.h"
#include "platform/scheduling/ManualScheduler.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTcpSocket>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

QByteArray signInBody(const QString &mobile, const QString &password)
{
    const QString encoded =
        DESEncode::encryptUseDES(password, QString::fromLatin1(DESEncode::kKey)).value();
    return QJsonDocument(QJsonObject{{u"mobile"_s, mobile}, {u"password"_s, encoded}}).toJson();
}

std::shared_ptr<SCResponse> envelope(const QJsonObject &reply)
{
    return Mapper<SCResponse>().map(reply);
}

// A service whose clock the test moves.
struct Fixture
{
    qint64 now = 1765000000;
    DemoService service{[this] { return now; }, 42};
    quint32 nextUid = 100000000;

    QString secretOf(const QString &orderId) const
    {
        for (const DemoAccount &account : service.accounts()) {
            for (const QJsonValue &order : account.orders[u"orderInfoList"_s].toArray()) {
                if (order[u"orderId"_s].toString() == orderId)
                    return order[u"secret"_s].toString();
            }
        }
        return {};
    }

    QByteArray auth(const QString &orderId, qint64 provinceIndex = -1, qint64 nd = 0,
                    std::optional<qint64> time = std::nullopt)
    {
        return makeAuthString({orderId, secretOf(orderId), time.value_or(now), provinceIndex, nd, 0,
                               nextUid++})
            .toUtf8();
    }
};

} // namespace

class TestDemoService final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyAccountSignsInWithAllKindsOfOrder()
    {
        Fixture fixture;
        QCOMPARE(fixture.service.accounts().size(), 3);
        for (const DemoAccount &account : fixture.service.accounts()) {
            const auto reply =
                envelope(fixture.service.signIn(signInBody(account.mobile, account.password)));
            QCOMPARE(reply->resultCode, 0);
            const auto content = Mapper<SCOrderContent>().mapJSONObject(reply->result.value());
            QVERIFY(content);
            QStringList titles;
            QSet<QString> secrets;
            for (const OrderChoice &choice : orderChoices(*content)) {
                titles << choice.title;
                secrets << choice.order->secret;
            }
            QCOMPARE(titles.size(), 5);
            QVERIFY2(titles.at(0).startsWith(u"流量订单-"_s), qPrintable(titles.join(u',')));
            QVERIFY(titles.at(1).startsWith(u"带宽订单-"_s) && titles.at(1).endsWith(u"/月"_s));
            QVERIFY(titles.at(2).endsWith(u"/季"_s));
            QVERIFY(titles.at(3).endsWith(u"/年"_s));
            QCOMPARE(titles.at(4), u"试用订单"_s);
            QCOMPARE(secrets.size(), 5);
        }
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown mobile")
            << signInBody(u"13900000000"_s, u"corvane1"_s) << u"mobile not exist"_s;
        QTest::newRow("wrong password")
            << signInBody(u"13800000001"_s, u"corvane2"_s) << u"password is error"_s;
        QTest::newRow("password not DES hex")
            << QByteArray(R"({"mobile": "13800000001", "password": "corvane1"})")
            << u"password is error"_s;
        QTest::newRow("malformed JSON")
            << QByteArray(R"({"mobile": "13800000001",)") << u"request body must be"_s;
        QTest::newRow("empty body") << QByteArray() << u"request body must be"_s;
        QTest::newRow("mobile not text") << QByteArray(R"({"mobile": 13800000001, "password": ""})")
                                         << u"request body must be"_s;
    }

    void refusals()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        Fixture fixture;
        const auto reply = envelope(fixture.service.signIn(body));
        QVERIFY(reply->resultCode.value_or(0) != 0);
        QVERIFY2(reply->resultMsg.value_or(QString()).startsWith(message),
                 qPrintable(reply->resultMsg.value_or(QString())));
    }

    void tunnelChecks_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("valid") << QString() << QString();
        QTest::newRow("wrong signature") << u"sign"_s << u"sign is error"_s;
        QTest::newRow("five minutes old") << u"300 s old"_s << QString();
        QTest::newRow("older") << u"301 s old"_s << u"time is expired"_s;
        QTest::newRow("from the future") << u"301 s ahead"_s << u"time is expired"_s;
        QTest::newRow("unknown order") << u"order"_s << u"order not exist"_s;
        QTest::newRow("province out of range") << u"pid 34"_s << u"province not exist"_s;
        QTest::newRow("not a signed string") << u"garbage"_s << u"auth is malformed"_s;
    }

    void tunnelChecks()
    {
        QFETCH(QString, change);
        QFETCH(QString, message);
        Fixture fixture;
        QByteArray auth = fixture.auth(u"D1M"_s, 4);
        if (change == u"sign"_s)
            auth.replace("&sign=", "&sign=0");
        else if (change == u"300 s old"_s)
            auth = fixture.auth(u"D1M"_s, 4, 0, fixture.now - 300);
        else if (change == u"301 s old"_s)
            auth = fixture.auth(u"D1M"_s, 4, 0, fixture.now - 301);
        else if (change == u"301 s ahead"_s)
            auth = fixture.auth(u"D1M"_s, 4, 0, fixture.now + 301);
        else if (change == u"order"_s)
            auth = makeAuthString({u"D9X"_s, u"x"_s, fixture.now, -1, 0, 0, 1}).toUtf8();
        else if (change == u"pid 34"_s)
            auth = fixture.auth(u"D1M"_s, 34);
        else if (change == u"garbage"_s)
            auth = "hello";
        const auto reply = envelope(fixture.service.openTunnel(auth));
        if (message.isEmpty()) {
            QCOMPARE(reply->resultCode, 0);
            const QJsonObject exit = reply->result->toObject();
            QVERIFY(exit[u"ip"_s].toString().startsWith(u"127.104.0."_s));
            QCOMPARE(exit[u"cname"_s].toString(), u"内蒙古"_s);
        } else {
            QCOMPARE(reply->resultMsg, message);
        }
    }

    void aUidIsUsedOnce()
    {
        Fixture fixture;
        const QByteArray auth = fixture.auth(u"D2Q"_s);
        QCOMPARE(envelope(fixture.service.openTunnel(auth))->resultCode, 0);
        QCOMPARE(envelope(fixture.service.openTunnel(auth))->resultMsg, u"uid is reused"_s);
        fixture.now += 60;
        --fixture.nextUid;
        QCOMPARE(envelope(fixture.service.openTunnel(fixture.auth(u"D2Q"_s)))->resultMsg,
                 u"uid is reused"_s);
    }

    void dayLongDeduplicationNeverRepeatsAnAddress()
    {
        Fixture fixture;
        QSet<QString> seen;
        // Every address of the province once, one connect a minute.
        for (int i = 0; i < 254; ++i) {
            const auto reply = envelope(fixture.service.openTunnel(fixture.auth(u"D3Y"_s, 7, 1)));
            QCOMPARE(reply->resultCode, 0);
            const QString ip = reply->result->toObject()[u"ip"_s].toString();
            QVERIFY2(!seen.contains(ip), qPrintable(ip));
            seen.insert(ip);
            fixture.now += 60;
        }
        QCOMPARE(envelope(fixture.service.openTunnel(fixture.auth(u"D3Y"_s, 7, 1)))->resultMsg,
                 u"no fresh address left in this province"_s);
        // Another order is not held back by this one's history.
        QCOMPARE(envelope(fixture.service.openTunnel(fixture.auth(u"D3M"_s, 7, 1)))->resultCode, 0);
        // A day after the first address was handed out, it may come back.
        fixture.now += 24 * 60 * 60 - 254 * 60;
        QCOMPARE(envelope(fixture.service.openTunnel(fixture.auth(u"D3Y"_s, 7, 1)))->resultCode, 0);
    }

    void withoutDeduplicationAddressesMayRepeat()
    {
        Fixture fixture;
        QSet<QString> seen;
        bool repeated = false;
        for (int i = 0; i < 300 && !repeated; ++i) {
            const auto reply = envelope(fixture.service.openTunnel(fixture.auth(u"D3Y"_s, 7, 0)));
            QCOMPARE(reply->resultCode, 0);
            const QString ip = reply->result->toObject()[u"ip"_s].toString();
            repeated = seen.contains(ip);
            seen.insert(ip);
        }
        QVERIFY(repeated);
    }

    void lookupTellsThePeerItsProvince_data()
    {
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<QString>("place");
        QTest::addRow("a province") << qint64(18) << u"广东"_s;
        QTest::addRow("the last province") << qint64(33) << u"澳门"_s;
        QTest::addRow("any province") << qint64(-1) << u"中国"_s;
    }

    void lookupTellsThePeerItsProvince()
    {
        QFETCH(qint64, pid);
        QFETCH(QString, place);
        Fixture fixture;
        const QString ip = envelope(fixture.service.openTunnel(fixture.auth(u"D1T"_s, pid)))
                               ->result->toObject()[u"ip"_s]
                               .toString();
        const auto seen =
            PublicAddressAnswer::parse(QString::fromUtf8(fixture.service.lookupAnswer(ip)));
        QVERIFY(seen);
        QCOMPARE(seen->addressText(), u"当前IP："_s + ip);
        QCOMPARE(seen->placeText(), place);
        const auto home = PublicAddressAnswer::parse(
            QString::fromUtf8(fixture.service.lookupAnswer(u"127.0.0.1"_s)));
        QCOMPARE(home->addressText(), u"当前IP：127.0.0.1"_s);
        QCOMPARE(home->placeText(), u"中国"_s);
    }

    void theClientSignsInOverHttp()
    {
        DemoHttpServer server;
        const quint16 port = server.listen(0);
        QVERIFY(port != 0);
        ServiceEndpoints endpoints;
        endpoints.serviceBaseAddress = u"http://127.0.0.1:%1"_s.arg(port);
        ServiceEndpoints::install(endpoints);
        QObject owner;
        SCLoginClient client(owner);
        std::shared_ptr<SCOrderContent> orders;
        std::optional<SCNetError> failed;
        client.successBlock = [&orders](const std::any &payload) {
            orders = std::any_cast<std::shared_ptr<SCOrderContent>>(payload);
        };
        client.failureBlock = [&failed](const SCNetError &error) { failed = error; };
        client.login(u"13800000002"_s,
                     *DESEncode::encryptUseDES(u"wrong"_s, QString::fromLatin1(DESEncode::kKey)));
        QTRY_VERIFY(failed);
        QCOMPARE(failed->message, u"password is error"_s);
        client.login(u"13800000002"_s, *DESEncode::encryptUseDES(
                                           u"corvane2"_s, QString::fromLatin1(DESEncode::kKey)));
        QTRY_VERIFY(orders);
        QCOMPARE(orders->orderInfoList.size(), 5);
        ServiceEndpoints::install(ServiceEndpoints());
    }

    void httpLimits_data()
    {
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<QByteArray>("status"); // none: the client stalls
        QTest::addColumn<int>("answers");
        QTest::addColumn<bool>("closes");
        const QByteArray post = "POST /vpnApp/personal/queryOrder HTTP/1.1\r\nHost: x\r\n";
        const QByteArray lookup = "GET /cityjson?ie=utf-8 HTTP/1.1\r\nHost: x\r\n";
        QTest::newRow("10 GB announced") << post + "Content-Length: 10000000000\r\n\r\n"
                                         << QByteArray("413") << 1 << true;
        QTest::newRow("chunked past the cap")
            << QByteArray(post + "Transfer-Encoding: chunked\r\n\r\n11000\r\n" +
                          QByteArray(0x11000, 'a'))
            << QByteArray("413") << 1 << true;
        QTest::newRow("Connection: close") << lookup + "Connection: close\r\n\r\n"
                                           << QByteArray("200") << 1 << true;
        QTest::newRow("kept alive otherwise") << lookup + "\r\n" + lookup + "\r\n"
                                              << QByteArray("200") << 2 << false;
        QTest::newRow("a request that never ends")
            << lookup + "X-Slow: " << QByteArray() << 0 << true;
    }

    // Whatever a client sends, the service holds no more than a small body, waits no longer
    // than its idle time for a request, and closes when asked to.
    void httpLimits()
    {
        QFETCH(QByteArray, requests);
        QFETCH(QByteArray, status);
        QFETCH(int, answers);
        QFETCH(bool, closes);
        ManualScheduler clock;
        DemoHttpServer server;
        QTcpSocket client;
        QByteArray received;
        connect(&client, &QTcpSocket::readyRead, this, [&] { received += client.readAll(); });
        client.connectToHost(QHostAddress::LocalHost, server.listen(0));
        QVERIFY(client.waitForConnected());
        client.write(requests);
        QTRY_COMPARE(client.bytesToWrite(), 0);
        if (status.isEmpty())
            clock.advance(DemoHttpServer::Limits().idle);
        QTRY_COMPARE(received.count(QByteArray("HTTP/1.1 " + status)), answers);
        QTRY_VERIFY(!closes || client.state() == QAbstractSocket::UnconnectedState);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(client.state() == QAbstractSocket::UnconnectedState, closes);
        QCOMPARE(received.count("HTTP/1.1 "), answers);
    }
};

QTEST_GUILESS_MAIN(TestDemoService)
#include "tst_demoservice.moc"
