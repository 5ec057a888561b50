#include "tunnel/proxy/Socks5UdpHeader.h"
#include "tunnel/relay/RelayMethod.h"
#include "tunnel/service/ServiceDatagram.h"
#include "tunnel/service/ServiceDatagramStream.h"

#include <QTest>

using namespace corvane::tunnel;
using namespace Qt::StringLiterals;

namespace {
ByteView view(const QByteArray &data)
{
    return {reinterpret_cast<const std::uint8_t *>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

QByteArray text(ByteView bytes)
{
    return {reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

// The fault's name, or "ok" with the datagram's address and payload.
QString outcome(const OpenedDatagram &opened)
{
    static const char *const faults[] = {"too large",     "malformed",    "fragmented",
                                         "does not open", "other tunnel", "replayed"};
    if (const auto *fault = std::get_if<DatagramFault>(&opened))
        return QString::fromLatin1(faults[static_cast<int>(*fault)]);
    const Datagram &datagram = std::get<Datagram>(opened);
    return u"ok %1 %2"_s.arg(QString::fromStdString(datagram.address.text()))
        .arg(QString::fromLatin1(text(datagram.payload)));
}

const TunnelId kTunnel{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const ServiceKeys::Key kTunnelKey{7};
const TargetAddress kEcho = *TargetAddress::fromHost("127.0.0.1", 7);

// The sending and the receiving end of a form: a client and its relay for the service's.
std::pair<std::unique_ptr<DatagramCodec>, std::unique_ptr<DatagramCodec>> ends(const QString &form)
{
    if (form == QLatin1String("service"))
        return {
            std::make_unique<ServiceDatagram>(kTunnelKey, kTunnel, ServiceDatagram::End::Client),
            std::make_unique<ServiceDatagram>(kTunnelKey, kTunnel, ServiceDatagram::End::Relay)};
    const RelayMethod method(*RelayMethod::formNamed(form.toStdString()), "secret");
    return {method.datagrams(), method.datagrams()};
}
} // namespace

// The datagram forms as both ends see them, and what each does with a packet it must drop.
class tst_DatagramForms final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void socks5HeaderReadsClientDatagrams_data();
    void socks5HeaderReadsClientDatagrams();
    void formsCarryDatagramsUpToTheLimit_data();
    void formsCarryDatagramsUpToTheLimit();
    void aChangedPacketIsDropped_data();
    void aChangedPacketIsDropped();
    void replayWindowTakesEachNumberOnce_data();
    void replayWindowTakesEachNumberOnce();
    void servicePacketsAreTakenOnceInAnyOrder();
    void servicePacketsAreTheDocumentedBytes();
    void datagramStreamSurvivesAnySplit();
};

void tst_DatagramForms::socks5HeaderReadsClientDatagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("outcome");
    QTest::addRow("IPv4") << QByteArray::fromHex("000000017f00000100357175657279")
                          << u"ok 127.0.0.1:53 query"_s;
    QTest::addRow("IPv6") << QByteArray::fromHex("00000004000000000000000000000000000000011f90")
                          << u"ok [::1]:8080 "_s;
    QTest::addRow("name") << QByteArray::fromHex("00000003096c6f63616c686f73740035") + "q"
                          << u"ok localhost:53 q"_s;
    QTest::addRow("fragment") << QByteArray::fromHex("000001017f0000010035") << u"fragmented"_s;
    QTest::addRow("reserved") << QByteArray::fromHex("000100017f0000010035") << u"malformed"_s;
    QTest::addRow("cut address") << QByteArray::fromHex("000000017f0000") << u"malformed"_s;
    QTest::addRow("unknown type") << QByteArray::fromHex("00000002") << u"malformed"_s;
    QTest::addRow("too large") << QByteArray::fromHex("000000017f0000010035") +
                                      QByteArray(Datagram::kMaxSize - 9, 'x')
                               << u"too large"_s;
}

void tst_DatagramForms::socks5HeaderReadsClientDatagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, outcome);
    const OpenedDatagram parsed = Socks5UdpHeader::parse(view(datagram));
    QCOMPARE(::outcome(parsed), outcome);
    if (const auto *read = std::get_if<Datagram>(&parsed)) {
        // The answer's header is the same form.
        Bytes built;
        QVERIFY(Socks5UdpHeader::build(read->address, read->payload, built));
        QCOMPARE(text(built), datagram);
    }
}

void tst_DatagramForms::formsCarryDatagramsUpToTheLimit_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<int>("overhead");
    // Each form's packet around the address form (7 bytes for an IPv4 address).
    const int address = 7;
    QTest::addRow("stream") << u"chacha20"_s << 8 + address;
    QTest::addRow("AEAD") << u"chacha20-ietf-poly1305"_s << 32 + 16 + address;
    QTest::addRow("service") << u"service"_s << int(ServiceDatagram::kOverhead) + address;
}

void tst_DatagramForms::formsCarryDatagramsUpToTheLimit()
{
    QFETCH(QString, form);
    QFETCH(int, overhead);
    const auto [sender, receiver] = ends(form);
    const std::size_t largest = Datagram::kMaxSize - static_cast<std::size_t>(overhead);
    for (std::size_t size : {std::size_t(0), std::size_t(5), largest}) {
        const Bytes payload(size, static_cast<std::uint8_t>(size));
        Bytes packet;
        QVERIFY(sender->seal(kEcho, payload, packet));
        QCOMPARE(packet.size(), size + static_cast<std::size_t>(overhead));
        const OpenedDatagram opened = receiver->open(packet);
        QVERIFY(std::holds_alternative<Datagram>(opened));
        QVERIFY(std::get<Datagram>(opened).payload == payload);
    }
    Bytes untouched{1, 2};
    QVERIFY(!sender->seal(kEcho, Bytes(largest + 1), untouched));
    QCOMPARE(untouched.size(), std::size_t(2));
}

void tst_DatagramForms::aChangedPacketIsDropped_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("outcome");
    const QString aead = u"chacha20-ietf-poly1305"_s;
    QTest::addRow("AEAD salt") << aead << 3 << u"does not open"_s;
    QTest::addRow("AEAD text") << aead << 40 << u"does not open"_s;
    QTest::addRow("service version") << u"service"_s << 0 << u"malformed"_s;
    QTest::addRow("service tunnel") << u"service"_s << 5 << u"other tunnel"_s;
    QTest::addRow("service number") << u"service"_s << 25 << u"does not open"_s;
    QTest::addRow("service text") << u"service"_s << 30 << u"does not open"_s;
    // The relay's own packet sent back to it: the directions' keys differ.
    QTest::addRow("service reflected") << u"service"_s << -100 << u"does not open"_s;
}

void tst_DatagramForms::aChangedPacketIsDropped()
{
    QFETCH(QString, form);
    QFETCH(int, offset);
    QFETCH(QString, outcome);
    const auto [sender, receiver] = ends(form);
    const QByteArray payload(60, 'p');
    Bytes packet;
    if (offset == -100) {
        QVERIFY(receiver->seal(kEcho, view(payload), packet));
    } else {
        QVERIFY(sender->seal(kEcho, view(payload), packet));
        packet[static_cast<std::size_t>(offset)] ^= 0x10;
    }
    QCOMPARE(::outcome(receiver->open(packet)), outcome);
}

void tst_DatagramForms::replayWindowTakesEachNumberOnce_data()
{
    QTest::addColumn<QList<quint64>>("numbers");
    QTest::addColumn<QString>("taken");
    QTest::addRow("in order") << QList<quint64>{0, 1, 2} << u"+++"_s;
    QTest::addRow("replayed") << QList<quint64>{0, 1, 1, 0} << u"++--"_s;
    QTest::addRow("reordered within the window") << QList<quint64>{9, 3, 7, 0, 3} << u"++++-"_s;
    QTest::addRow("at the window's edge") << QList<quint64>{1030, 7, 6, 7} << u"++--"_s;
    QTest::addRow("old beyond the window") << QList<quint64>{0, 5000, 3977, 3976} << u"+++-"_s;
    // Slots that stood for numbers the window slid past stand for new ones.
    QTest::addRow("a slot freed by a step") << QList<quint64>{9, 500, 1100, 1033} << u"++++"_s;
    QTest::addRow("a slot freed by a jump") << QList<quint64>{5, 4000, 3077} << u"+++"_s;
    QTest::addRow("never used") << QList<quint64>{ReplayWindow::kNeverUsed} << u"-"_s;
}

void tst_DatagramForms::replayWindowTakesEachNumberOnce()
{
    QFETCH(QList<quint64>, numbers);
    QFETCH(QString, taken);
    ReplayWindow window;
    QString seen;
    for (quint64 number : numbers) {
        const bool fresh = window.isNew(number);
        if (fresh)
            window.take(number);
        seen += QLatin1Char(fresh ? '+' : '-');
    }
    QCOMPARE(seen, taken);
}

void tst_DatagramForms::servicePacketsAreTakenOnceInAnyOrder()
{
    ServiceDatagram client(kTunnelKey, kTunnel, ServiceDatagram::End::Client);
    ServiceDatagram relay(kTunnelKey, kTunnel, ServiceDatagram::End::Relay);
    std::vector<Bytes> packets(1100);
    for (Bytes &packet : packets)
        QVERIFY(client.seal(kEcho, bytesOf("x"), packet));
    QCOMPARE(outcome(relay.open(packets[2])), u"ok 127.0.0.1:7 x"_s);
    QCOMPARE(outcome(relay.open(packets[0])), u"ok 127.0.0.1:7 x"_s);
    QCOMPARE(outcome(relay.open(packets[2])), u"replayed"_s);
    // A forged packet far ahead moves nothing: what it would have pushed out still opens.
    Bytes forged = packets[1099];
    forged.back() ^= 1;
    QCOMPARE(outcome(relay.open(forged)), u"does not open"_s);
    QCOMPARE(outcome(relay.open(packets[1])), u"ok 127.0.0.1:7 x"_s);
    QCOMPARE(outcome(relay.open(packets[1099])), u"ok 127.0.0.1:7 x"_s);
    QCOMPARE(outcome(relay.open(packets[3])), u"replayed"_s);
    QCOMPARE(ServiceDatagram::tunnelOf(packets[3]), std::optional<TunnelId>(kTunnel));
}

void tst_DatagramForms::servicePacketsAreTheDocumentedBytes()
{
    // docs/tunnel-helper.md's example: its tunnel key and id, the client's first packet, and
    // an answer the relay numbered 7.
    ServiceKeys::Key key{};
    const QByteArray tunnelKey =
        QByteArray::fromHex("4cb16c8fbdbb1b5a4d8b4b06463e3cbd1a8e96a91973cd14ad12ade96a0ddd14");
    std::copy_n(view(tunnelKey).begin(), key.size(), key.begin());
    ServiceDatagram client(key, kTunnel, ServiceDatagram::End::Client);
    ServiceDatagram relay(key, kTunnel, ServiceDatagram::End::Relay);
    const QByteArray query = QByteArray::fromHex(
        "0104000102030405060708090a0b0c0d0e0f00000000000000009218d8aeace29c6f6b40dceb7a110e2d1fdbc"
        "b7921b293420234b313068640386aed2a19");
    Bytes sealed;
    QVERIFY(client.seal(*TargetAddress::fromHost("example.com", 53), bytesOf("query"), sealed));
    QCOMPARE(text(sealed), query);
    QCOMPARE(outcome(relay.open(view(query))), u"ok example.com:53 query"_s);
    const QByteArray answer = QByteArray::fromHex(
        "0104000102030405060708090a0b0c0d0e0f000000000000000730f6c93717e91c3d0f352ab64952049da9933"
        "539d42e6002f03947d2a9");
    QCOMPARE(outcome(client.open(view(answer))), u"ok 192.0.2.53:53 answer"_s);
}

void tst_DatagramForms::datagramStreamSurvivesAnySplit()
{
    ServiceDatagram client(kTunnelKey, kTunnel, ServiceDatagram::End::Client);
    Bytes wire;
    ServiceDatagramStream::encodeHello(kTunnel, wire);
    for (std::size_t size : {std::size_t(1), std::size_t(0), std::size_t(65000)}) {
        Bytes packet;
        QVERIFY(client.seal(kEcho, Bytes(size, 'd'), packet));
        QVERIFY(ServiceDatagramStream::encode(packet, wire));
    }
    for (std::size_t piece : {std::size_t(1), std::size_t(19), std::size_t(60), wire.size()}) {
        ServiceDatagramStream stream(ServiceDatagramStream::Reader::Relay);
        ServiceDatagram opener(kTunnelKey, kTunnel, ServiceDatagram::End::Relay);
        QString read;
        for (std::size_t at = 0; at < wire.size(); at += piece) {
            QVERIFY(stream.decode(ByteView(wire).subspan(at, std::min(piece, wire.size() - at)),
                                  [&](ByteView packet) {
                                      read += outcome(opener.open(packet)).left(2);
                                      return true;
                                  }));
        }
        QCOMPARE(read, u"okokok"_s);
        QCOMPARE(stream.tunnel(), std::optional<TunnelId>(kTunnel));
    }
    // A zero length, and another hello (an attach), end the connection.
    const auto any = [](ByteView) { return true; };
    QVERIFY(!ServiceDatagramStream(ServiceDatagramStream::Reader::Client)
                 .decode(view(QByteArray::fromHex("0000")), any));
    QVERIFY(!ServiceDatagramStream(ServiceDatagramStream::Reader::Relay)
                 .decode(view(QByteArray::fromHex("0103")), any));
}

QTEST_GUILESS_MAIN(tst_DatagramForms)
#include "tst_datagramforms.moc"
