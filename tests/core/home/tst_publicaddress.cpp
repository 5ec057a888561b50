#include "MemoryTunnel.h"
#include "RawHttpServer.h"
#include "core/config/ServiceEndpoints.h"
#include "core/home/PublicAddressLookup.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"

#include <QStringEncoder>
#include <QTest>

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {

struct Outcomes
{
    QList<PublicAddressLookup::Outcome> list;
    PublicAddressLookup::Completion record()
    {
        return [this](const PublicAddressLookup::Outcome &outcome) { list.append(outcome); };
    }
};

void useLookup(const QString &base)
{
    ServiceEndpoints endpoints;
    endpoints.lookupBaseAddress = base;
    ServiceEndpoints::install(endpoints);
}

} // namespace

class TestPublicAddress final : public QObject
{
    Q_OBJECT

private:
    MemoryTunnel m_tunnel;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tunnel.installShared()); }

    // Requests aborted by the cancel tests finish on Qt's network thread; let them, so that
    // the network manager is not torn down under them at exit.
    void cleanupTestCase() { QTest::qWait(200); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("place");
        QTest::newRow("well formed")
            << uR"(var returnCitySN = {"cip": "203.0.113.7", "cid": "440100", "cname": "广东省广州市"};)"_s
            << true << u"当前IP：203.0.113.7"_s << u"广东省广州市"_s;
        QTest::newRow("CHINA") << uR"(var returnCitySN = {"cip": "1.2.3.4", "cname": "CHINA"};)"_s
                               << true << u"当前IP：1.2.3.4"_s << u"中国"_s;
        QTest::newRow("china is not CHINA")
            << uR"(var returnCitySN = {"cip": "1.2.3.4", "cname": "china"};)"_s << true
            << u"当前IP：1.2.3.4"_s << u"china"_s;
        QTest::newRow("no address, no place")
            << uR"(var returnCitySN = {};)"_s << true << u"当前IP："_s << QString();
        QTest::newRow("line break after the closing semicolon")
            << u"var returnCitySN = {\"cip\": \"1.2.3.4\", \"cname\": \"CHINA\"};\n"_s << true
            << u"当前IP：1.2.3.4"_s << u"中国"_s;
        QTest::newRow("wrong prefix")
            << uR"(var returnCity = {"cip": "1.2.3.4"};)"_s << false << QString() << QString();
        QTest::newRow("prefix without its space")
            << uR"(var returnCitySN ={"cip": "1.2.3.4"};)"_s << false << QString() << QString();
        QTest::newRow("empty") << QString() << false << QString() << QString();
        QTest::newRow("prefix only") << u"var returnCitySN = "_s << false << QString() << QString();
        QTest::newRow("prefix and closing character only")
            << u"var returnCitySN = ;"_s << false << QString() << QString();
        QTest::newRow("not an object")
            << uR"(var returnCitySN = ["1.2.3.4"];)"_s << false << QString() << QString();
        QTest::newRow("member that is not text")
            << uR"(var returnCitySN = {"cip": "1.2.3.4", "cid": 440100};)"_s << false << QString()
            << QString();
        QTest::newRow("not JSON") << u"var returnCitySN = {cip: 1.2.3.4};"_s << false << QString()
                                  << QString();
        QTest::newRow("an HTML error page")
            << u"<html><body>502 Bad Gateway</body></html>"_s << false << QString() << QString();
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, parsed);
        QFETCH(QString, address);
        QFETCH(QString, place);
        const std::optional<PublicAddressAnswer> answer = PublicAddressAnswer::parse(text);
        QCOMPARE(answer.has_value(), parsed);
        if (answer) {
            QCOMPARE(answer->addressText(), address);
            QCOMPARE(answer->placeText(), place);
        }
    }

    void lookupReadsTheDeclaredCharset_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("place");
        const QString text = uR"(var returnCitySN = {"cip": "198.51.100.4", "cname": "北京市"};)"_s;
        QStringEncoder gbk("GBK");
        QTest::newRow("utf-8") << text.toUtf8() << QByteArray("text/html; charset=utf-8") << 200
                               << u"北京市"_s;
        QTest::newRow("gbk") << QByteArray(gbk.encode(text))
                             << QByteArray("application/javascript; charset=GBK") << 200
                             << u"北京市"_s;
        // Without a declared charset the bytes are read as ISO-8859-1.
        QTest::newRow("none declared")
            << QByteArray(R"(var returnCitySN = {"cip": "198.51.100.4", "cname": "Z)"
                          "\xfc"
                          R"(rich"};)")
            << QByteArray("text/html") << 200 << u"Zürich"_s;
        QTest::newRow("status codes are not looked at")
            << text.toUtf8() << QByteArray("text/html; charset=utf-8") << 503 << u"北京市"_s;
    }

    void lookupReadsTheDeclaredCharset()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(int, status);
        QFETCH(QString, place);
        RawHttpServer server;
        server.reply(status, body, contentType);
        useLookup(server.baseUrl());
        PublicAddressLookup lookup;
        Outcomes outcomes;
        lookup.start(outcomes.record());
        QTRY_COMPARE(outcomes.list.size(), 1);
        const PublicAddressLookup::Outcome &outcome = outcomes.list.first();
        QVERIFY(!outcome.failed);
        QVERIFY(outcome.answer);
        QCOMPARE(outcome.answer->addressText(), u"当前IP：198.51.100.4"_s);
        QCOMPARE(outcome.answer->placeText(), place);
        QCOMPARE(server.received.size(), 1);
        QCOMPARE(server.received.first().requestLine,
                 QByteArray("GET /cityjson?ie=utf-8 HTTP/1.1"));
        QCOMPARE(server.received.first().body, QByteArray());
    }

    void failuresAndShapes()
    {
        RawHttpServer server;
        useLookup(server.baseUrl());
        PublicAddressLookup lookup;
        Outcomes outcomes;

        server.reply(200, QByteArray(), "text/html");
        lookup.start(outcomes.record());
        QTRY_COMPARE(outcomes.list.size(), 1);
        QVERIFY2(outcomes.list.at(0).failed, "an empty body is a failed transfer");

        server.reply(200, "var returnCitySN = 1;", "text/html");
        lookup.start(outcomes.record());
        QTRY_COMPARE(outcomes.list.size(), 2);
        QVERIFY(!outcomes.list.at(1).failed);
        QVERIFY2(!outcomes.list.at(1).answer, "an unexpected shape changes nothing");

        server.setMode(RawHttpServer::Mode::CloseMidBody);
        server.reply(200, "var returnCitySN = {\"cip\": \"1.2.3.4\"};", "text/html");
        lookup.start(outcomes.record());
        QTRY_COMPARE(outcomes.list.size(), 3);
        QVERIFY(outcomes.list.at(2).failed);
    }

    void connectionRefused()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        useLookup(u"http://127.0.0.1:%1"_s.arg(port));
        PublicAddressLookup lookup;
        Outcomes outcomes;
        lookup.start(outcomes.record());
        QTRY_COMPARE(outcomes.list.size(), 1);
        QVERIFY(outcomes.list.first().failed);
    }

    void aNewLookupCancelsTheOneInFlight()
    {
        RawHttpServer server;
        server.reply(200, R"(var returnCitySN = {"cip": "192.0.2.1", "cname": "CHINA"};)",
                     "text/html");
        useLookup(server.baseUrl());
        PublicAddressLookup lookup;
        Outcomes first;
        Outcomes second;
        lookup.start(first.record());
        lookup.start(second.record());
        QTRY_COMPARE(second.list.size(), 1);
        QCOMPARE(first.list.size(), 1);
        QVERIFY(first.list.first().failed);
        QVERIFY(!second.list.first().failed);
        QCOMPARE(second.list.first().answer->placeText(), u"中国"_s);
        QVERIFY(!lookup.isRunning());
    }

    void aLookupGoneBeforeItsAnswerReportsNothing()
    {
        RawHttpServer server;
        server.setMode(RawHttpServer::Mode::NeverAnswer);
        useLookup(server.baseUrl());
        Outcomes outcomes;
        {
            PublicAddressLookup lookup;
            lookup.start(outcomes.record());
            QTRY_COMPARE(server.received.size(), 1);
        }
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QVERIFY(outcomes.list.isEmpty());
    }

    // The home screen and the desktop notice both look up a step after the tunnel came up: one
    // request answers both, also when one of them gives up.
    void lookupsInFlightShareOneRequest_data()
    {
        QTest::addColumn<bool>("firstGivesUp");
        QTest::newRow("both wait") << false;
        QTest::newRow("the first gives up") << true;
    }

    void lookupsInFlightShareOneRequest()
    {
        QFETCH(bool, firstGivesUp);
        RawHttpServer server;
        server.reply(200, R"(var returnCitySN = {"cip": "192.0.2.8", "cname": "CHINA"};)",
                     "text/html");
        useLookup(server.baseUrl());
        PublicAddressLookup first;
        PublicAddressLookup second;
        Outcomes firstOutcomes;
        Outcomes secondOutcomes;
        first.start(firstOutcomes.record());
        second.start(secondOutcomes.record());
        if (firstGivesUp)
            first.cancel();
        QTRY_COMPARE(firstOutcomes.list.size() + secondOutcomes.list.size(), 2);
        QCOMPARE(firstOutcomes.list.first().failed, firstGivesUp);
        QCOMPARE(secondOutcomes.list.first().answer->addressText(), u"当前IP：192.0.2.8"_s);
        QCOMPARE(server.received.size(), 1);
    }

    // The request in flight took the route of before: a lookup after the tunnel went down and
    // up again asks anew.
    void aLookupAfterTheTunnelMovedAsksAgain()
    {
        RawHttpServer proxy;
        proxy.setMode(RawHttpServer::Mode::NeverAnswer);
        useLookup(u"http://127.0.0.1:1"_s);
        m_tunnel.connection()->setLocalProxy(LocalProxyPorts{1, proxy.port()});
        m_tunnel.setStatus(TunnelStatus::Connected);
        PublicAddressLookup before;
        PublicAddressLookup after;
        Outcomes outcomes;
        before.start(outcomes.record());
        m_tunnel.setStatus(TunnelStatus::Reasserting);
        m_tunnel.setStatus(TunnelStatus::Connected);
        after.start(outcomes.record());
        QTRY_COMPARE(proxy.received.size(), 2);
        QCOMPARE(proxy.received.first().requestLine,
                 QByteArray("GET http://127.0.0.1:1/cityjson?ie=utf-8 HTTP/1.1"));
        m_tunnel.setStatus(TunnelStatus::Disconnected);
    }

    void cleanup() { ServiceEndpoints::install(ServiceEndpoints()); }
};

QTEST_GUILESS_MAIN(TestPublicAddress)
#include "tst_publicaddress.moc"
