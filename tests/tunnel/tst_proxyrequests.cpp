#include "tunnel/proxy/HttpProxyRequest.h"
#include "tunnel/proxy/HttpRequestBody.h"
#include "tunnel/proxy/HttpResponseHead.h"
#include "tunnel/proxy/Socks5Request.h"
#include "tunnel/proxy/UdpSocketOwner.h"
#include "tunnel/rules/RuleSet.h"

#include <QTest>

using namespace corvane::tunnel;

namespace {
ByteView bytes(const QByteArray &data)
{
    return {reinterpret_cast<const std::uint8_t *>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

QString decided(const RuleSet &rules, const QString &host)
{
    const auto target = TargetAddress::fromHost(host.toStdString(), 443);
    return rules.decide(*target) == RuleSet::Action::Direct ? QStringLiteral("direct")
                                                            : QStringLiteral("proxy");
}
} // namespace

// What the local proxies make of a client's first bytes, whose a datagram's sender socket is,
// and where the rules send a destination.
class tst_ProxyRequests final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void socksRequests_data();
    void socksRequests();
    void httpRequests_data();
    void httpRequests();
    void udpSenderOwners_data();
    void udpSenderOwners();
    void requestBodies_data();
    void requestBodies();
    void responseHeads_data();
    void responseHeads();
    void rulesDecide_data();
    void rulesDecide();
    void unusableRulesAreRefused_data();
    void unusableRulesAreRefused();
};

void tst_ProxyRequests::socksRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("refusal");
    QTest::addRow("IPv4") << QByteArray("\x05\x01\x00\x01\x0a\x00\x00\x01\x01\xbb", 10)
                          << QStringLiteral("10.0.0.1:443") << -1;
    QTest::addRow("IPv6") << QByteArray("\x05\x01\x00\x04", 4) + QByteArray(15, '\0') +
                                 QByteArray("\x01\x00\x50", 3)
                          << QStringLiteral("[::1]:80") << -1;
    QTest::addRow("name") << QByteArray("\x05\x01\x00\x03\x0b"
                                        "example.com"
                                        "\x00\x50",
                                        18)
                          << QStringLiteral("example.com:80") << -1;
    QTest::addRow("half a name") << QByteArray("\x05\x01\x00\x03\x0bexam", 9) << QString() << -1;
    QTest::addRow("BIND") << QByteArray("\x05\x02\x00\x01\x0a\x00\x00\x01\x01\xbb", 10) << QString()
                          << int(Socks5Request::kCommandNotSupported);
    QTest::addRow("unknown address type") << QByteArray("\x05\x01\x00\x07\x00", 5) << QString()
                                          << int(Socks5Request::kAddressTypeNotSupported);
    QTest::addRow("name with a line break") << QByteArray("\x05\x01\x00\x03\x04"
                                                          "a\nb.\x00\x50",
                                                          11)
                                            << QString() << int(Socks5Request::kGeneralFailure);
    QTest::addRow("UDP ASSOCIATE, sender not known yet")
        << QByteArray("\x05\x03\x00\x01\0\0\0\0\0\0", 10) << QStringLiteral("0.0.0.0:0") << -1;
    QTest::addRow("SOCKS4") << QByteArray("\x04\x01\x00\x50", 4) << QString() << 0;
}

void tst_ProxyRequests::socksRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, target);
    QFETCH(int, refusal);
    const Socks5Request::Request parsed = Socks5Request::parseRequest(bytes(request));
    if (!target.isEmpty()) {
        QCOMPARE(parsed.step, Socks5Request::Step::Done);
        QCOMPARE(QString::fromStdString(parsed.target.text()), target);
        QCOMPARE(parsed.consumed, std::size_t(request.size()));
    } else if (refusal < 0) {
        QCOMPARE(parsed.step, Socks5Request::Step::Incomplete);
    } else {
        QCOMPARE(parsed.step, Socks5Request::Step::Refused);
        QCOMPARE(int(parsed.refusal), refusal);
    }
}

void tst_ProxyRequests::httpRequests_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("forward");
    QTest::addColumn<int>("status");
    QTest::addRow("CONNECT") << QByteArray("CONNECT example.com:443 HTTP/1.1\r\nHost: x\r\n\r\n")
                             << QStringLiteral("example.com:443") << QByteArray() << 0;
    QTest::addRow("CONNECT to IPv6") << QByteArray("CONNECT [2001:db8::1]:8443 HTTP/1.1\r\n\r\n")
                                     << QStringLiteral("[2001:db8::1]:8443") << QByteArray() << 0;
    QTest::addRow("absolute URI")
        << QByteArray("GET http://Example.com/a?b=1 HTTP/1.1\r\nHost: example.com\r\n"
                      "Proxy-Connection: keep-alive\r\nProxy-Authorization: Basic eDp5\r\n"
                      "Accept: */*\r\n\r\n")
        << QStringLiteral("Example.com:80")
        << QByteArray("GET /a?b=1 HTTP/1.1\r\nHost: example.com\r\nAccept: */*\r\n"
                      "Connection: close\r\n\r\n")
        << 0;
    QTest::addRow("absolute URI, no path, no Host")
        << QByteArray("HEAD HTTP://10.1.2.3:8080 HTTP/1.0\r\nConnection: keep-alive\r\n\r\n")
        << QStringLiteral("10.1.2.3:8080")
        << QByteArray("HEAD / HTTP/1.0\r\nHost: 10.1.2.3:8080\r\nConnection: close\r\n\r\n") << 0;
    QTest::addRow("incomplete") << QByteArray("GET http://a/ HTTP/1.1\r\nHost: a\r\n") << QString()
                                << QByteArray() << 0;
    QTest::addRow("origin form") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r\n") << QString()
                                 << QByteArray() << 400;
    QTest::addRow("https URI") << QByteArray("GET https://a/ HTTP/1.1\r\n\r\n") << QString()
                               << QByteArray() << 400;
    QTest::addRow("CONNECT without a port")
        << QByteArray("CONNECT a HTTP/1.1\r\n\r\n") << QString() << QByteArray() << 400;
    QTest::addRow("user information")
        << QByteArray("GET http://u:p@a/ HTTP/1.1\r\n\r\n") << QString() << QByteArray() << 400;
    QTest::addRow("folded header") << QByteArray("GET http://a/ HTTP/1.1\r\nX: 1\r\n 2\r\n\r\n")
                                   << QString() << QByteArray() << 400;
    QTest::addRow("port out of range")
        << QByteArray("CONNECT a:65536 HTTP/1.1\r\n\r\n") << QString() << QByteArray() << 400;
    QTest::addRow("HTTP/2 line") << QByteArray("PRI * HTTP/2.0\r\n\r\n") << QString()
                                 << QByteArray() << 400;
    for (const auto &[name, fields] :
         {std::pair{"length and chunked", "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n"},
          {"chunked not last", "Transfer-Encoding: chunked, gzip\r\n"},
          {"two lengths", "Content-Length: 3\r\nContent-Length: 4\r\n"},
          {"negative length", "Content-Length: -3\r\n"}})
        QTest::addRow("body framing: %s", name)
            << QByteArray("POST http://a/ HTTP/1.1\r\n") + fields + "\r\n"
            << QString() << QByteArray() << 400;
    QTest::addRow("head over 16 KiB")
        << QByteArray("GET http://a/ HTTP/1.1\r\nX: ") + QByteArray(16 * 1024, 'x') << QString()
        << QByteArray() << 431;
}

void tst_ProxyRequests::httpRequests()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, target);
    QFETCH(QByteArray, forward);
    QFETCH(int, status);
    const QByteArray body("body bytes");
    const HttpProxyRequest::Parsed parsed = HttpProxyRequest::parse(bytes(head + body));
    if (status) {
        QCOMPARE(parsed.step, HttpProxyRequest::Step::Refused);
        QCOMPARE(parsed.status, status);
    } else if (target.isEmpty()) {
        QCOMPARE(parsed.step, HttpProxyRequest::Step::Incomplete);
    } else {
        QCOMPARE(parsed.step, HttpProxyRequest::Step::Done);
        QCOMPARE(QString::fromStdString(parsed.target.text()), target);
        QCOMPARE(QByteArray::fromStdString(parsed.forward), forward);
        QCOMPARE(parsed.tunnel, forward.isEmpty());
        QCOMPARE(parsed.consumed, std::size_t(head.size()));
    }
}

void tst_ProxyRequests::requestBodies_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QByteArray>("after");
    // How many bytes after the head are body; -1 for a malformed body.
    QTest::addColumn<int>("kept");
    const QByteArray chunked("Transfer-Encoding: gzip, chunked\r\n");
    const QByteArray next("GET http://a/ HTTP/1.1\r\n\r\n");
    QTest::addRow("none") << QByteArray() << next << 0;
    QTest::addRow("length") << QByteArray("Content-Length:  5 \r\n") << "hello" + next << 5;
    const QByteArray chunks("5;x=y\r\nhello\r\nA\r\n0123456789\r\n00\r\nT: 1\r\n\r\n");
    QTest::addRow("chunks, extension, trailer") << chunked << chunks + next << int(chunks.size());
    QTest::addRow("size not hex") << chunked << QByteArray("5g\r\nhello") << -1;
    QTest::addRow("data without its CRLF") << chunked << QByteArray("3\r\nabcX\r\n") << -1;
    QTest::addRow("size of 16 digits") << chunked << QByteArray("1000000000000000\r\n") << -1;
    QTest::addRow("bare LF") << chunked << QByteArray("3\nabc\r\n") << -1;
}

void tst_ProxyRequests::requestBodies()
{
    QFETCH(QByteArray, fields);
    QFETCH(QByteArray, after);
    QFETCH(int, kept);
    const QByteArray head = "POST http://a/ HTTP/1.1\r\n" + fields + "\r\n";
    const HttpProxyRequest::Parsed parsed = HttpProxyRequest::parse(bytes(head));
    QCOMPARE(parsed.step, HttpProxyRequest::Step::Done);
    // At once, and a byte at a time.
    for (const qsizetype piece : {after.size(), qsizetype(1)}) {
        HttpRequestBody body(parsed.body, parsed.bodyLength);
        Bytes out;
        bool decoded = true;
        for (qsizetype at = 0; at < after.size() && decoded; at += piece)
            decoded = body.transform(bytes(after.mid(at, piece)), out);
        QCOMPARE(decoded, kept >= 0);
        if (decoded)
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size())),
                     after.left(kept));
    }
}

void tst_ProxyRequests::responseHeads_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray closes("Connection: close\r\nProxy-Connection: close\r\n\r\n");
    const QByteArray refused =
        QByteArray::fromStdString(HttpProxyRequest::response(502, "Bad Gateway"));
    QTest::addRow("kept alive")
        << QByteArray(
               "HTTP/1.1 200 OK\r\nconnection: keep-alive, X-Hop\r\nKeep-Alive: timeout=5\r\n"
               "x-hop: 1\r\nContent-Length: 2\r\n\r\nhi")
        << "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n" + closes + "hi";
    QTest::addRow("interim, then final")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n"
                      "Proxy-Connection: keep-alive\r\n\r\n")
        << "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n" + closes;
    QTest::addRow("body that looks like a head")
        << QByteArray("HTTP/1.0 200\r\n\r\nHTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\n")
        << "HTTP/1.0 200\r\n" + closes + "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\n";
    QTest::addRow("folded field") << QByteArray("HTTP/1.1 200 OK\r\nX: a\r\n b\r\n\r\nbody")
                                  << refused;
    QTest::addRow("not HTTP") << QByteArray("SSH-2.0-x\r\n\r\n") << refused;
    QTest::addRow("head over 64 KiB")
        << QByteArray("HTTP/1.1 200 OK\r\nX: ") + QByteArray(64 * 1024, 'x') + "\r\n\r\n"
        << refused;
}

void tst_ProxyRequests::responseHeads()
{
    QFETCH(QByteArray, response);
    QFETCH(QByteArray, expected);
    // In two reads, the second starting inside the empty line.
    const qsizetype split = response.indexOf("\r\n\r\n") + 2;
    HttpResponseHead head(nullptr);
    Bytes out;
    QVERIFY(head.transform(bytes(response.left(split)), out));
    QVERIFY(head.transform(bytes(response.mid(split)), out));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size())),
             expected);
}

void tst_ProxyRequests::rulesDecide_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("action");
    QTest::addRow("suffix itself") << QStringLiteral("corp.lan") << QStringLiteral("direct");
    QTest::addRow("below the suffix, any case")
        << QStringLiteral("Files.Corp.LAN.") << QStringLiteral("direct");
    QTest::addRow("suffix as a mere ending")
        << QStringLiteral("notcorp.lan") << QStringLiteral("proxy");
    QTest::addRow("inside the prefix") << QStringLiteral("10.200.3.4") << QStringLiteral("direct");
    QTest::addRow("outside the prefix") << QStringLiteral("11.0.0.1") << QStringLiteral("proxy");
    QTest::addRow("odd prefix length")
        << QStringLiteral("192.168.7.255") << QStringLiteral("direct");
    QTest::addRow("past odd prefix") << QStringLiteral("192.168.8.0") << QStringLiteral("proxy");
    QTest::addRow("IPv6 prefix") << QStringLiteral("fd12::1") << QStringLiteral("direct");
    QTest::addRow("earlier rule wins") << QStringLiteral("10.9.9.9") << QStringLiteral("proxy");
    QTest::addRow("a name is not matched by address")
        << QStringLiteral("10.0.0.1.example") << QStringLiteral("proxy");
    QTest::addRow("after final") << QStringLiteral("late.example") << QStringLiteral("proxy");
}

void tst_ProxyRequests::rulesDecide()
{
    QFETCH(QString, host);
    QFETCH(QString, action);
    const auto rules = RuleSet::parse(R"({"default": "direct", "dns": {"servers": []}, "rules": [
        {"type": "ip-cidr", "value": "10.9.0.0/16", "action": "proxy"},
        {"type": "domain-suffix", "value": ".corp.lan", "action": "direct"},
        {"type": "ip-cidr", "value": "10.0.0.0/8", "action": "direct"},
        {"type": "ip-cidr", "value": "192.168.0.0/21", "action": "direct"},
        {"type": "ip-cidr", "value": "fc00::/7", "action": "direct"},
        {"type": "final", "action": "proxy"},
        {"type": "domain-suffix", "value": "late.example", "action": "direct"}]})");
    QVERIFY(std::holds_alternative<RuleSet>(rules));
    QCOMPARE(decided(std::get<RuleSet>(rules), host), action);
}

void tst_ProxyRequests::unusableRulesAreRefused_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("reason");
    QTest::addRow("not JSON") << QByteArray("rules: [") << QStringLiteral("not JSON");
    QTest::addRow("unknown type")
        << QByteArray(R"({"rules": [{"type": "geoip", "value": "CN", "action": "direct"}]})")
        << QStringLiteral("rule 1 has an unknown type \"geoip\"");
    QTest::addRow("unknown action")
        << QByteArray(R"({"rules": [{"type": "final", "action": "block"}]})")
        << QStringLiteral("rule 1 has no \"action\"");
    QTest::addRow("suffix without value")
        << QByteArray(R"({"rules": [{"type": "final", "action": "proxy"},
                                    {"type": "domain-suffix", "action": "direct"}]})")
        << QStringLiteral("rule 2 (domain-suffix) has no \"value\"");
    QTest::addRow("prefix too long")
        << QByteArray(
               R"({"rules": [{"type": "ip-cidr", "value": "10.0.0.0/33", "action": "direct"}]})")
        << QStringLiteral("bad prefix length");
    QTest::addRow("no address")
        << QByteArray(R"({"rules": [{"type": "ip-cidr", "value": "lan/8", "action": "direct"}]})")
        << QStringLiteral("has no address");
    QTest::addRow("bad default") << QByteArray(R"({"default": "block"})")
                                 << QStringLiteral("\"default\"");
}

void tst_ProxyRequests::unusableRulesAreRefused()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, reason);
    const auto rules = RuleSet::parse(document.toStdString());
    QVERIFY(std::holds_alternative<std::string>(rules));
    QVERIFY2(QString::fromStdString(std::get<std::string>(rules)).contains(reason),
             std::get<std::string>(rules).c_str());
}

void tst_ProxyRequests::udpSenderOwners_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("v6");
    QTest::addColumn<int>("owner");
    const auto table = [](std::initializer_list<std::pair<const char *, int>> sockets) {
        QString text = QStringLiteral("  sl  local_address rem_address   st tx_queue rx_queue tr "
                                      "tm->when retrnsmt   uid  timeout inode\n");
        for (const auto &[local, uid] : sockets)
            text += QStringLiteral(" 12: %1 00000000:0000 07 00000000:00000000 00:00000000 "
                                   "00000000 %2        0 88452 2 00000000aab18366 0\n")
                        .arg(QLatin1String(local))
                        .arg(uid);
        return text;
    };
    // Port 8080 is 1F90; the kernel prints each 32-bit word in the machine's byte order.
    const QString v4 = QStringLiteral("127.0.0.1");
    QTest::newRow("on the sender's address")
        << v4 << table({{"0100007F:1F90", 1000}}) << false << 1000;
    QTest::newRow("on another port") << v4 << table({{"0100007F:1F91", 1000}}) << false << -1;
    QTest::newRow("on the wildcard") << v4 << table({{"00000000:1F90", 65534}}) << false << 65534;
    QTest::newRow("two users on the port")
        << v4 << table({{"0100007F:1F90", 1000}, {"0100007F:1F90", 0}}) << false << 0;
    QTest::newRow("a dual-stack socket")
        << v4 << table({{"0000000000000000FFFF00000100007F:1F90", 1000}}) << true << 1000;
    QTest::newRow("IPv6 loopback")
        << QStringLiteral("::1") << table({{"00000000000000000000000001000000:1F90", 7}}) << true
        << 7;
}

void tst_ProxyRequests::udpSenderOwners()
{
    QFETCH(QString, host);
    QFETCH(QString, table);
    QFETCH(bool, v6);
    QFETCH(int, owner);
    const std::optional<uid_t> found = UdpSocketOwner::uidIn(
        table.toStdString(), v6, *SocketAddress::parse(host.toStdString(), 8080), 1000);
    QCOMPARE(found ? int(*found) : -1, owner);
}

QTEST_GUILESS_MAIN(tst_ProxyRequests)
#include "tst_proxyrequests.moc"
