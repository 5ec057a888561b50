#include "tunnel/proxy/Socks5UdpHeader.h"
#include "tunnel/relay/RelayMethod.h"
#include "tunnel/service/ServiceDatagram.h"
#include "tunnel/service/ServiceDatagramStream.h"

#include <QTest>

using namespace corvane::tunnel;

namespace {
ByteView view(const QByteArray &data)
{
    return {reinterpret_cast<const std::uint8_t *>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

// The fault's name, or "ok" with the datagram's address and payload.
QString outcome(const OpenedDatagram &opened)
{
    static const char *const faults[] = {"too large",     "malformed",    "fragmented",
                                         "does not open", "other tunnel", "replayed"};
    if (const auto *fault = std::get_if<DatagramFault>(&opened))
        return QString::fromLatin1(faults[static_cast<int>(*fault)]);
    const Datagram &datagram = std::get<Datagram>(opened);
    return QStringLiteral("ok %1 %2")
        .arg(QString::fromStdString(datagram.address.text()))
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(datagram.payload.data()),
                                            static_cast<qsizetype>(datagram.payload.size()))));
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
    void datagramStreamSurvivesAnySplit();
};

void tst_DatagramForms::socks5HeaderReadsClientDatagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("outcome");
    QTest::addRow("IPv4") << QByteArray::fromHex("000000017f00000100357175657279")
                          << QStringLiteral("ok 127.0.0.1:53 query");
    QTest::addRow("IPv6") << QByteArray::fromHex("00000004000000000000000000000000000000011f90")
                          << QStringLiteral("ok [::1]:8080 ");
    QTest::addRow("name") << QByteArray::fromHex("00000003096c6f63616c686f73740035") + "q"
                          << QStringLiteral("ok localhost:53 q");
    QTest::addRow("fragment") << QByteArray::fromHex("000001017f0000010035")
                              << QStringLiteral("fragmented");
    QTest::addRow("reserved") << QByteArray::fromHex("000100017f0000010035")
                              << QStringLiteral("malformed");
    QTest::addRow("cut address") << QByteArray::fromHex("000000017f0000")
                                 << QStringLiteral("malformed");
    QTest::addRow("unknown type") << QByteArray::fromHex("00000002") << QStringLiteral("malformed");
    QTest::addRow("too large") << QByteArray::fromHex("000000017f0000010035") +
                                      QByteArray(Datagram::kMaxSize - 9, 'x')
                               << QStringLiteral("too large");
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
        QVERIFY(ByteView(built).size() == view(datagram).size());
        QVERIFY(std::equal(built.begin(), built.end(), view(datagram).begin()));
    }
}

void tst_DatagramForms::formsCarryDatagramsUpToTheLimit_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<int>("overhead");
    // Each form's packet around the address form (7 bytes for an IPv4 address).
    const int address = 7;
    QTest::addRow("stream") << QStringLiteral("chacha20") << 8 + address;
    QTest::addRow("AEAD") << QStringLiteral("chacha20-ietf-poly1305") << 32 + 16 + address;
    QTest::addRow("service") << QStringLiteral("service")
                             << int(ServiceDatagram::kOverhead) + address;
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
    const QString aead = QStringLiteral("chacha20-ietf-poly1305");
    QTest::addRow("AEAD salt") << aead << 3 << QStringLiteral("does not open");
    QTest::addRow("AEAD text") << aead << 40 << QStringLiteral("does not open");
    QTest::addRow("AEAD tag") << aead << -1 << QStringLiteral("does not open");
    QTest::addRow("service version")
        << QStringLiteral("service") << 0 << QStringLiteral("malformed");
    QTest::addRow("service tunnel")
        << QStringLiteral("service") << 5 << QStringLiteral("other tunnel");
    QTest::addRow("service number")
        << QStringLiteral("service") << 25 << QStringLiteral("does not open");
    QTest::addRow("service text") << QStringLiteral("service") << 30
                                  << QStringLiteral("does not open");
    // The relay's own packet sent back to it: the directions' keys differ.
    QTest::addRow("service reflected")
        << QStringLiteral("service") << -100 << QStringLiteral("does not open");
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
        packet[offset < 0 ? packet.size() - 1 : static_cast<std::size_t>(offset)] ^= 0x10;
    }
    QCOMPARE(::outcome(receiver->open(packet)), outcome);
}

void tst_DatagramForms::replayWindowTakesEachNumberOnce_data()
{
    QTest::addColumn<QList<quint64>>("numbers");
    QTest::addColumn<QString>("taken");
    QTest::addRow("in order") << QList<quint64>{0, 1, 2} << QStringLiteral("+++");
    QTest::addRow("replayed") << QList<quint64>{0, 1, 1, 0} << QStringLiteral("++--");
    QTest::addRow("reordered within the window")
        << QList<quint64>{9, 3, 7, 0, 3} << QStringLiteral("++++-");
    QTest::addRow("at the window's edge")
        << QList<quint64>{1030, 7, 6, 7} << QStringLiteral("++--");
    QTest::addRow("old beyond the window")
        << QList<quint64>{0, 5000, 3977, 3976} << QStringLiteral("+++-");
    // Slots that stood for numbers the window slid past stand for new ones.
    QTest::addRow("a slot freed by a step")
        << QList<quint64>{9, 1034, 1033} << QStringLiteral("+++");
    QTest::addRow("a slot freed by a jump")
        << QList<quint64>{5, 4000, 3077} << QStringLiteral("+++");
    QTest::addRow("never used") << QList<quint64>{ReplayWindow::kNeverUsed} << QStringLiteral("-");
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
    QCOMPARE(outcome(relay.open(packets[2])), QStringLiteral("ok 127.0.0.1:7 x"));
    QCOMPARE(outcome(relay.open(packets[0])), QStringLiteral("ok 127.0.0.1:7 x"));
    QCOMPARE(outcome(relay.open(packets[2])), QStringLiteral("replayed"));
    // A forged packet far ahead moves nothing: what it would have pushed out still opens.
    Bytes forged = packets[1099];
    forged.back() ^= 1;
    QCOMPARE(outcome(relay.open(forged)), QStringLiteral("does not open"));
    QCOMPARE(outcome(relay.open(packets[1])), QStringLiteral("ok 127.0.0.1:7 x"));
    QCOMPARE(outcome(relay.open(packets[1099])), QStringLiteral("ok 127.0.0.1:7 x"));
    QCOMPARE(outcome(relay.open(packets[3])), QStringLiteral("replayed"));
    QCOMPARE(ServiceDatagram::tunnelOf(packets[3]), std::optional<TunnelId>(kTunnel));
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
    for (std::size_t piece : {std::size_t(1), std::size_t(19), wire.size()}) {
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
        QCOMPARE(read, QStringLiteral("okokok"));
        QCOMPARE(stream.tunnel(), std::optional<TunnelId>(kTunnel));
    }
    const auto never = [](ByteView) { return true; };
    ServiceDatagramStream reader(ServiceDatagramStream::Reader::Client);
    QVERIFY(!reader.decode(view(QByteArray::fromHex("0000")), never));
    ServiceDatagramStream attach(ServiceDatagramStream::Reader::Relay);
    QVERIFY(!attach.decode(view(QByteArray::fromHex("0103")), never));
}

QTEST_GUILESS_MAIN(tst_DatagramForms)
#include "tst_datagramforms.moc"
