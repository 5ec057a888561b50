#include "tunnel/packet/Checksum.h"
#include "tunnel/packet/IpPacket.h"
#include "tunnel/packet/PacketWriter.h"

#include <QProcess>
#include <QTest>

using namespace corvane::tunnel;

namespace {
Bytes fromHex(const char *hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return Bytes(bytes.begin(), bytes.end());
}

IpEndpoint endpoint(const char *host, std::uint16_t port)
{
    return *IpEndpoint::of(*SocketAddress::parse(host, port));
}

IpPacket decoded(ByteView bytes)
{
    const auto result = IpPacket::decode(bytes);
    if (!std::holds_alternative<IpPacket>(result))
        qFatal("the packet does not decode: fault %d", int(std::get<PacketFault>(result)));
    return std::get<IpPacket>(result);
}

// The checksums as tests/tunnel/support/check_packets.py computes them, from scratch.
QByteArray checkedElsewhere(ByteView packet)
{
    QProcess python;
    python.start(QStringLiteral("python3"), {QFINDTESTDATA("tunnel/support/check_packets.py")});
    python.write(QByteArray(reinterpret_cast<const char *>(packet.data()), qsizetype(packet.size()))
                     .toHex() +
                 '\n');
    python.closeWriteChannel();
    python.waitForFinished(-1);
    return python.readAllStandardOutput().trimmed();
}

QByteArray text(ByteView bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

// Made by hand with python3's struct, their checksums computed there.
const char kTcp4[] =
    "4500002d1234400040069567c6120001c61307099c400050000003e8000000055018ffff87940000"
    "6f64642121";
const char kTcp6[] = "6000000000190640fd00c0a7000000000000000000000001fd00c0a700010000000000000000"
                     "00099c4101bb000003e8000000055018ffff4eb0000068656c6c6f";
} // namespace

class tst_PacketCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("flow");
        QTest::addColumn<QByteArray>("payload");
        const int ok = -1;
        QTest::newRow("tcp4 syn with mss")
            << QByteArray(
                   "4500002c1234400040069568c6120001c61307099c400050000003e8000000006002ffff6"
                   "47e0000020405b4")
            << ok << QByteArray("tcp 198.18.0.1:40000 198.19.7.9:80") << QByteArray();
        QTest::newRow("tcp4 data")
            << QByteArray(kTcp4) << ok << QByteArray("tcp 198.18.0.1:40000 198.19.7.9:80")
            << QByteArray("odd!!");
        QTest::newRow("tcp6") << QByteArray(kTcp6) << ok
                              << QByteArray("tcp [fd00:c0a7::1]:40001 [fd00:c0a7:1::9]:443")
                              << QByteArray("hello");
        QTest::newRow("udp4") << QByteArray(
                                     "450000211234400040119568c6120001c613070914e90035000d079"
                                     "e7175657279")
                              << ok << QByteArray("udp 198.18.0.1:5353 198.19.7.9:53")
                              << QByteArray("query");
        QTest::newRow("udp6") << QByteArray(
                                     "60000000000a1140fd00c0a7000000000000000000000001fd00c0a"
                                     "700010000000000000000000914e90035000afe297136")
                              << ok << QByteArray("udp [fd00:c0a7::1]:5353 [fd00:c0a7:1::9]:53")
                              << QByteArray("q6");
        QTest::newRow("bytes past the ip length")
            << QByteArray(
                   "450000211234400040119568c6120001c613070914e90035000d079e717565727900000000")
            << ok << QByteArray("udp 198.18.0.1:5353 198.19.7.9:53") << QByteArray("query");
        const auto refused = [](const char *name, const char *hex, PacketFault fault) {
            QTest::newRow(name) << QByteArray(hex) << int(fault) << QByteArray() << QByteArray();
        };
        refused("ipv4 options",
                "4600002c1234400040069267c6120001c61307090101010000010002000003e8000000005002ffff18"
                "c80000",
                PacketFault::Options);
        refused("more fragments",
                "45000024123420004011b565c6120001c61307090001000200108ab97878787878787878",
                PacketFault::Fragment);
        refused("fragment offset",
                "45000024123400024011d563c6120001c613070978787878787878787878787878787878",
                PacketFault::Fragment);
        refused(
            "ipv6 fragment header",
            "6000000000102c40fd00c0a7000000000000000000000001fd00c0a70001000000000000000000091100"
            "0000000000017878787878787878",
            PacketFault::Fragment);
        refused(
            "ipv6 hop-by-hop",
            "6000000000080040fd00c0a7000000000000000000000001fd00c0a7000100000000000000000009060001"
            "0400000000",
            PacketFault::ExtensionHeader);
        refused("icmp echo", "4500001c123440004001957dc6120001c61307090800f7ff00000000",
                PacketFault::Protocol);
        refused("ip length past the read",
                "4500003c123440004011954dc6120001c613070900010002000ca7dc61626364",
                PacketFault::Truncated);
        refused("tcp data offset past the packet",
                "45000028123440004006956cc6120001c613070900010002000003e800000000f002ffff18c80000",
                PacketFault::Malformed);
        refused("udp length past the packet",
                "450000201234400040119569c6120001c6130709000100020028a7dc61626364",
                PacketFault::Malformed);
        refused("ipv4 header cut", "45000014123440", PacketFault::Truncated);
        refused("not ip", "5500001c123440004001957dc6120001c61307090800f7ff00000000",
                PacketFault::NotIp);
    }
    void decode()
    {
        QFETCH(QByteArray, hex);
        QFETCH(int, fault);
        QFETCH(QByteArray, flow);
        QFETCH(QByteArray, payload);
        const Bytes bytes = fromHex(hex.constData());
        const auto result = IpPacket::decode(bytes);
        if (fault >= 0) {
            QVERIFY(std::holds_alternative<PacketFault>(result));
            QCOMPARE(int(std::get<PacketFault>(result)), fault);
            return;
        }
        QVERIFY(std::holds_alternative<IpPacket>(result));
        const IpPacket &packet = std::get<IpPacket>(result);
        const bool tcp = packet.transport == IpPacket::Transport::Tcp;
        QCOMPARE(QByteArray::fromStdString((tcp ? "tcp " : "udp ") + packet.source.text() + ' ' +
                                           packet.destination.text()),
                 flow);
        QCOMPARE(text(packet.payload), payload);
        QCOMPARE(packet.length, std::size_t(packet.source.v6 ? 40 : 20) +
                                    (tcp ? 20 + (packet.has(IpPacket::kSyn) ? 4 : 0) : 8) +
                                    std::size_t(payload.size()));
        QCOMPARE(checkedElsewhere(ByteView(bytes).first(packet.length)), QByteArray("ok"));
    }

    void rewriteKeepsChecksumsRight_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("destination");
        QTest::newRow("v4 to the listener")
            << QByteArray(kTcp4) << QByteArray("198.18.0.2:10000") << QByteArray("198.18.0.1:7070");
        QTest::newRow("v4 reply") << QByteArray(kTcp4) << QByteArray("203.0.113.200:65535")
                                  << QByteArray("0.0.0.1:1");
        QTest::newRow("v6 to the listener") << QByteArray(kTcp6) << QByteArray("fd00:c0a7::2:10001")
                                            << QByteArray("fd00:c0a7::1:7070");
        QTest::newRow("v6 reply") << QByteArray(kTcp6) << QByteArray("ffff::ffff:1")
                                  << QByteArray("::1:0");
    }
    void rewriteKeepsChecksumsRight()
    {
        QFETCH(QByteArray, hex);
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, destination);
        const auto parsed = [](const QByteArray &text) {
            const qsizetype colon = text.lastIndexOf(':');
            return endpoint(text.left(colon).constData(),
                            std::uint16_t(text.mid(colon + 1).toUInt()));
        };
        const Bytes original = fromHex(hex.constData());
        Bytes packet = original;
        const IpPacket before = decoded(packet);
        PacketWriter::rewriteTcp(packet, before, parsed(source), parsed(destination));
        const IpPacket after = decoded(packet);
        QCOMPARE(after.source, parsed(source));
        QCOMPARE(after.destination, parsed(destination));
        QCOMPARE(text(after.payload), text(before.payload));
        QCOMPARE(checkedElsewhere(packet), QByteArray("ok"));
        QCOMPARE(PacketWriter::transportChecksum(packet, after), std::uint16_t(0));
        PacketWriter::rewriteTcp(packet, after, before.source, before.destination);
        QVERIFY(packet == original);

        // A checksum the kernel left pending: its field is the pseudo-header's sum, and once
        // completed (summed from the TCP header on) it is the one a whole rewrite gives.
        const std::size_t field = before.transportOffset + PacketWriter::kTcpChecksumAt;
        const auto putField = [field](Bytes &bytes, std::uint16_t value) {
            bytes[field] = std::uint8_t(value >> 8);
            bytes[field + 1] = std::uint8_t(value);
        };
        Checksum pseudo;
        pseudo.add(
            ByteView(packet).subspan(before.source.v6 ? 8 : 12, 2 * before.source.addressLength()));
        pseudo.addWord(std::uint16_t(IpPacket::Transport::Tcp));
        pseudo.addWord(std::uint16_t(before.length - before.transportOffset));
        Bytes pending = original;
        putField(pending, std::uint16_t(~pseudo.value()));
        PacketWriter::rewriteTcp(pending, before, parsed(source), parsed(destination), true);
        Checksum completed;
        completed.add(ByteView(pending).first(before.length).subspan(before.transportOffset));
        putField(pending, completed.value());
        PacketWriter::rewriteTcp(packet, before, parsed(source), parsed(destination));
        QVERIFY(pending == packet);
    }

    void udpPacketsAreWhole_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("fits");
        QTest::newRow("v4") << QByteArray("198.19.7.9") << QByteArray("198.18.0.1") << 5 << true;
        QTest::newRow("v4 empty") << QByteArray("198.19.7.9") << QByteArray("198.18.0.1") << 0
                                  << true;
        QTest::newRow("v6 odd") << QByteArray("fd00:c0a7:1::9") << QByteArray("fd00:c0a7::1")
                                << 1201 << true;
        QTest::newRow("v4 largest")
            << QByteArray("198.19.7.9") << QByteArray("198.18.0.1") << 65507 << true;
        QTest::newRow("v4 too large")
            << QByteArray("198.19.7.9") << QByteArray("198.18.0.1") << 65508 << false;
        QTest::newRow("v6 too large")
            << QByteArray("fd00:c0a7:1::9") << QByteArray("fd00:c0a7::1") << 65528 << false;
        QTest::newRow("two families")
            << QByteArray("198.19.7.9") << QByteArray("fd00:c0a7::1") << 5 << false;
    }
    void udpPacketsAreWhole()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, size);
        QFETCH(bool, fits);
        Bytes payload(static_cast<std::size_t>(size));
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = std::uint8_t(i * 7 + 1);
        const IpEndpoint source = endpoint(from.constData(), 53);
        const IpEndpoint destination = endpoint(to.constData(), 40000);
        Bytes out{0xaa};
        QCOMPARE(PacketWriter::udp(source, destination, payload, out), fits);
        if (!fits) {
            QCOMPARE(out, Bytes{0xaa});
            return;
        }
        const ByteView packet = ByteView(out).subspan(1);
        const IpPacket built = decoded(packet);
        QCOMPARE(built.source, source);
        QCOMPARE(built.destination, destination);
        QCOMPARE(text(built.payload), text(payload));
        QCOMPARE(checkedElsewhere(packet), QByteArray("ok"));
    }

    void checksumUpdateAvoidsNegativeZero()
    {
        // RFC 1624 section 4's own example: [Eqn. 2] would give 0xFFFF.
        const std::uint8_t before[] = {0x55, 0x55};
        const std::uint8_t after[] = {0x32, 0x85};
        QCOMPARE(Checksum::adjusted(0xdd2f, before, after), std::uint16_t(0x0000));
    }
};

QTEST_GUILESS_MAIN(tst_PacketCodec)
#include "tst_packetcodec.moc"
