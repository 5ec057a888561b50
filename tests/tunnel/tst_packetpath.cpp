// The packet path on a real TUN device, in a network namespace of this test's own (gone with
// its process): curl and a plain UDP socket, which know nothing of the helper, reach addresses
// routed to the device, and the kernel's own TCP carries curl's connection to a listener here.
#include "tunnel/engine/DatagramSocket.h"
#include "tunnel/engine/EngineThread.h"
#include "tunnel/engine/Socket.h"
#include "tunnel/packet/PacketPath.h"

#include <QProcess>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

using namespace corvane::tunnel;
using namespace std::chrono_literals;

namespace {
const char kDevice[] = "corvane-t0";
constexpr std::uint16_t kListenerPort = 7070;

IpEndpoint endpoint(const char *host, std::uint16_t port)
{
    return *IpEndpoint::of(*SocketAddress::parse(host, port));
}

bool run(const QStringList &arguments)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), arguments);
    return ip.waitForFinished(-1) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
}

// Answers each HTTP request with where the packet path says it was going, then its body.
class EchoListener final : Watched
{
public:
    EchoListener(EventLoop &loop, const PacketPath &path, const IpEndpoint &at)
        : m_loop(loop), m_path(path), m_socket(std::get<Socket>(Socket::listen(at.socketAddress())))
    {
        m_socket.watch(loop, *this);
        if (m_socket.want({true, false}))
            qFatal("the listener cannot be watched");
    }

private:
    struct Exchange final : Watched
    {
        Socket socket;
        std::string destination;
        Bytes in;
        Bytes out;
        std::size_t sent = 0;

        void onEvents(Readiness) override
        {
            if (out.empty() && !readRequest())
                return;
            while (sent < out.size()) {
                const IoResult result = socket.write(ByteView(out).subspan(sent));
                if (!result.done())
                    return;
                sent += result.count;
            }
            socket.close();
        }
        bool readRequest()
        {
            std::uint8_t buffer[16384];
            IoResult result;
            while ((result = socket.read(buffer)).done())
                in.insert(in.end(), buffer, buffer + result.count);
            if (result.outcome != IoResult::Outcome::WouldBlock) {
                socket.close();
                return false;
            }
            const std::string text(textOf(in));
            const std::size_t end = text.find("\r\n\r\n");
            const std::size_t length = text.find("Content-Length: ");
            if (end == std::string::npos || length == std::string::npos)
                return false;
            const std::size_t body = std::stoul(text.substr(length + 16));
            if (in.size() < end + 4 + body)
                return false;
            const std::string answer = destination + '\n';
            append(out, bytesOf("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                                std::to_string(answer.size() + body) + "\r\n\r\n" + answer));
            out.insert(out.end(), in.begin() + std::ptrdiff_t(end + 4), in.end());
            return !socket.want({true, true});
        }
    };

    void onEvents(Readiness) override
    {
        auto accepted = m_socket.accept();
        if (!std::holds_alternative<Socket>(accepted))
            return;
        auto exchange = std::make_unique<Exchange>();
        exchange->socket = std::get<Socket>(std::move(accepted));
        const auto flow = m_path.originalDestination(SocketAddress::peer(exchange->socket.fd()));
        exchange->destination = flow ? flow->destination.text() : "unknown";
        exchange->socket.watch(m_loop, *exchange);
        if (!exchange->socket.want({true, false}))
            m_exchanges.push_back(std::move(exchange));
    }

    EventLoop &m_loop;
    const PacketPath &m_path;
    Socket m_socket;
    std::vector<std::unique_ptr<Exchange>> m_exchanges;
};
} // namespace

class tst_PacketPath : public QObject
{
    Q_OBJECT

    ManualTime m_time;
    std::unique_ptr<EngineThread> m_engine;
    std::unique_ptr<PacketPath> m_path;
    std::vector<std::unique_ptr<EchoListener>> m_listeners;

private Q_SLOTS:
    void initTestCase()
    {
        if (geteuid() != 0 || access("/dev/net/tun", R_OK | W_OK) != 0)
            QSKIP("needs root and /dev/net/tun for a namespace and a TUN device");
        QVERIFY2(unshare(CLONE_NEWNET) == 0, strerror(errno));
        auto device = TunDevice::open(kDevice);
        QVERIFY(std::holds_alternative<TunDevice>(device));
        const QString name = QString::fromLatin1(kDevice);
        const QStringList commands{QStringLiteral("link set lo up"),
                                   QStringLiteral("addr add 198.18.0.1/30 dev ") + name,
                                   QStringLiteral("-6 addr add fd00:c0a7::1/126 nodad dev ") + name,
                                   QStringLiteral("link set up dev ") + name,
                                   QStringLiteral("route add 198.19.7.0/24 dev ") + name,
                                   QStringLiteral("-6 route add fd00:c0a7:1::/64 dev ") + name};
        for (const QString &command : commands)
            QVERIFY2(run(command.split(u' ')), qPrintable(command));

        PacketPath::Settings settings;
        settings.listener4 = endpoint("198.18.0.1", kListenerPort);
        settings.listener6 = endpoint("fd00:c0a7::1", kListenerPort);
        settings.flows.peer4 = endpoint("198.18.0.2", 0);
        settings.flows.peer6 = endpoint("fd00:c0a7::2", 0);
        PacketPath::Handlers handlers;
        handlers.datagram = [this](const IpEndpoint &source, const IpEndpoint &destination,
                                   ByteView payload) {
            const std::string answer =
                "answer from " + destination.text() + ": " + std::string(textOf(payload));
            m_path->sendDatagram(destination, source, bytesOf(answer));
        };
        m_engine = std::make_unique<EngineThread>(m_time);
        m_engine->call([&] {
            m_path = std::make_unique<PacketPath>(
                m_engine->loop(), std::get<TunDevice>(std::move(device)), settings, handlers);
            if (m_path->start())
                qFatal("the packet path cannot watch its device");
            for (const IpEndpoint &at : {settings.listener4, settings.listener6})
                m_listeners.push_back(
                    std::make_unique<EchoListener>(m_engine->loop(), *m_path, at));
        });
    }
    void cleanupTestCase()
    {
        if (m_engine)
            m_engine->call([this] {
                m_listeners.clear();
                m_path.reset();
            });
    }

    void curlIsCarriedToTheListener_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("destination");
        QTest::addColumn<int>("size");
        QTest::newRow("ipv4, one segment")
            << QStringLiteral("http://198.19.7.9:8080/") << QByteArray("198.19.7.9:8080") << 10;
        QTest::newRow("ipv4, a megabyte")
            << QStringLiteral("http://198.19.7.200/") << QByteArray("198.19.7.200:80") << (1 << 20);
        QTest::newRow("ipv6, a megabyte") << QStringLiteral("http://[fd00:c0a7:1::9]:443/")
                                          << QByteArray("[fd00:c0a7:1::9]:443") << (1 << 20);
    }
    void curlIsCarriedToTheListener()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, destination);
        QFETCH(int, size);
        QByteArray body(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            body[i] = char(i * 131 % 251);
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-sS"), QStringLiteral("--max-time"), QStringLiteral("60"),
                    QStringLiteral("-H"), QStringLiteral("Expect:"),
                    QStringLiteral("--data-binary"), QStringLiteral("@-"), url});
        curl.write(body);
        curl.closeWriteChannel();
        QVERIFY(curl.waitForFinished(-1));
        QCOMPARE(curl.readAllStandardError(), QByteArray());
        QCOMPARE(curl.readAllStandardOutput(), destination + '\n' + body);
    }

    void datagramsAreAnswered_data()
    {
        QTest::addColumn<QByteArray>("to");
        QTest::newRow("ipv4") << QByteArray("198.19.7.9");
        QTest::newRow("ipv6") << QByteArray("fd00:c0a7:1::9");
    }
    void datagramsAreAnswered()
    {
        QFETCH(QByteArray, to);
        const SocketAddress server = *SocketAddress::parse(to.toStdString(), 5300);
        const bool v6 = server.family() == AF_INET6;
        auto bound = DatagramSocket::bind(*SocketAddress::parse(v6 ? "::" : "0.0.0.0", 0));
        QVERIFY(std::holds_alternative<DatagramSocket>(bound));
        const DatagramSocket &client = std::get<DatagramSocket>(bound);
        QVERIFY(client.sendTo(bytesOf("ping"), server).done());
        pollfd ready{client.fd(), POLLIN, 0};
        // Bounds a failure only: the answer is written as soon as the datagram is read.
        QCOMPARE(poll(&ready, 1, 30000), 1);
        std::uint8_t buffer[256];
        const DatagramSocket::Received received = client.receiveFrom(buffer);
        QVERIFY(received.result.done());
        QCOMPARE(received.from.text(), server.text());
        QCOMPARE(std::string(textOf(ByteView(buffer, received.result.count))),
                 "answer from " + server.text() + ": ping");
    }

    void idleFlowsEndOnTheEnginesClock()
    {
        std::size_t before = 0;
        m_engine->call([&] { before = m_path->flowCount(); });
        QCOMPARE(before, std::size_t(3));
        m_time.advance(125min);
        // The round that runs this first call runs its due timers after it, so the second
        // call sees the sweep done.
        m_engine->call([] {});
        std::size_t after = 1;
        m_engine->call([&] { after = m_path->flowCount(); });
        QCOMPARE(after, std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(tst_PacketPath)
#include "tst_packetpath.moc"
