#include "NetdConstants.h"
#include "NetdLease.h"
#include "tunnel/client/SocketProtector.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <future>

using namespace corvane::netd;
using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 30000;
const QString kUplinkRelay = u"10.99.0.1"_s;

// polkit's place on the suite's bus: answers as told and remembers what it was asked.
class StandInAuthority final : public QDBusVirtualObject
{
public:
    enum class Answer
    {
        yes,
        no,
        challenge,
        error
    };

    Answer answer = Answer::yes;
    QString subject;
    QString action;

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != u"CheckAuthorization"_s || message.arguments().size() != 5)
            return false;
        const auto asked = message.arguments().at(0).value<QDBusArgument>();
        QString kind;
        QVariantMap details;
        asked.beginStructure();
        asked >> kind >> details;
        asked.endStructure();
        subject = kind + u' ' + details.value(u"name"_s).toString();
        action = message.arguments().at(1).toString();
        if (answer == Answer::error) {
            connection.send(message.createErrorReply(u"org.freedesktop.PolicyKit1.Error.Failed"_s,
                                                     u"stand-in failure"_s));
            return true;
        }
        QDBusArgument result;
        result.beginStructure();
        result << (answer == Answer::yes) << (answer == Answer::challenge);
        result.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
        result.endMap();
        result.endStructure();
        connection.send(message.createReply(QVariant::fromValue(result)));
        return true;
    }
};

QString run(const QString &command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(u"sh"_s, {u"-c"_s, command});
    process.waitForFinished(kWait);
    return QString::fromLocal8Bit(process.readAll());
}

// What the mode must give back exactly.
QStringList snapshot()
{
    return run(u"ip rule; ip -6 rule; ip route show table all; ip -6 route show table all;"
               " ip -o link; nft list ruleset"_s)
        .split(u'\n');
}

} // namespace

class tst_netd final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("needs root for a network namespace of its own");
        for (const char *program : {"dbus-daemon", "dbus-send", "setpriv", "nft", "ip"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program),
                                               {u"/usr/bin"_s, u"/usr/sbin"_s, u"/bin"_s})
                    .isEmpty())
                QSKIP("dbus-daemon, dbus-send, setpriv, nft or ip is missing");
        }
        // Everything the suite and the service it starts touch is this namespace's only.
        QCOMPARE(::unshare(CLONE_NEWNET), 0);
        QCOMPARE(
            run(u"ip link set lo up && ip link add uplink0 type veth peer name uplink1"
                " && ip link set uplink0 addrgenmode none && ip link set uplink1 addrgenmode none"
                " && ip addr add 10.99.0.2/24 dev uplink0 && ip link set uplink0 up"
                " && ip link set uplink1 up && ip route add default via 10.99.0.1"_s),
            QString());
        QVERIFY(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ExeOther | QFile::ExeGroup);
        m_address = u"unix:path="_s + m_dir.filePath(u"bus"_s);
        // The helper's side asks the system bus, which for this suite is its own.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8());
        QFile config(m_dir.filePath(u"bus.conf"_s));
        QVERIFY(config.open(QIODevice::WriteOnly));
        // The stock system bus's default policy, polkit's (root for the stand-in, polkitd for the
        // real one, which drops to that user) and the service's own.
        config.write(QStringLiteral(R"(<busconfig>
  <listen>%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.PolicyKit1"/>
  </policy>
  <policy user="root"><allow own="org.freedesktop.PolicyKit1"/></policy>
  <policy user="polkitd"><allow own="org.freedesktop.PolicyKit1"/></policy>
  <include>%2</include>
</busconfig>
)")
                         .arg(m_address, QStringLiteral(CORVANE_NETD_BUS_POLICY))
                         .toUtf8());
        config.close();
        m_daemon.start(u"dbus-daemon"_s, {u"--config-file"_s, config.fileName(), u"--nofork"_s,
                                          u"--print-address"_s});
        QVERIFY(m_daemon.waitForReadyRead(kWait));
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, u"t"_s));
        QVERIFY(m_bus->isConnected());
        QVERIFY(m_bus->connect(kServiceName, kObjectPath, kInterface, u"Changed"_s, this,
                               SLOT(changed(bool))));
        m_before = snapshot();
    }

    void cleanupTestCase()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    void init()
    {
        m_authority.answer = StandInAuthority::Answer::yes;
        QVERIFY(
            m_bus->registerVirtualObject(u"/org/freedesktop/PolicyKit1/Authority"_s, &m_authority));
        QVERIFY(m_bus->registerService(u"org.freedesktop.PolicyKit1"_s));
        startService();
        m_changes.clear();
    }

    void cleanup()
    {
        m_bus->unregisterService(u"org.freedesktop.PolicyKit1"_s);
        m_bus->unregisterObject(u"/org/freedesktop/PolicyKit1/Authority"_s);
        if (m_service.state() == QProcess::Running) {
            m_service.terminate();
            QVERIFY(m_service.waitForFinished(kWait));
            QCOMPARE(snapshot(), m_before);
        }
    }

    void upRoutesEverythingButMarkedSocketsAndDownRestores_data()
    {
        QTest::addColumn<bool>("ipv6");
        QTest::newRow("IPv4") << false;
        QTest::newRow("IPv4 and IPv6") << true;
    }
    void upRoutesEverythingButMarkedSocketsAndDownRestores()
    {
        QFETCH(bool, ipv6);
        QDBusMessage reply = call(u"Up"_s, {QStringList{kUplinkRelay}, ipv6, 9000u});
        QCOMPARE(reply.errorMessage(), QString());
        QCOMPARE(m_authority.subject, u"system-bus-name "_s + m_bus->baseService());
        QCOMPARE(m_authority.action, u"com.corvane.Corvane.system-wide"_s);
        auto tun = reply.arguments().at(0).value<QDBusUnixFileDescriptor>();
        QCOMPARE(reply.arguments().at(2).toString(), u"corvane0"_s);

        const QString rules = run(u"ip rule; ip -6 rule"_s);
        for (const QString &rule : {u"5200:\tfrom all fwmark 0x636f7276 lookup main"_s,
                                    u"5201:\tfrom all ipproto udp dport 53 lookup 1668248182"_s,
                                    u"5202:\tfrom all ipproto tcp dport 53 lookup 1668248182"_s,
                                    u"5203:\tfrom all lookup main suppress_prefixlength 0"_s,
                                    u"5204:\tnot from all fwmark 0x636f7276 lookup 1668248182"_s})
            QVERIFY2(rules.count(rule) == 2, qPrintable(rules));
        QVERIFY(run(u"ip link show corvane0"_s).contains(u"mtu 9000"_s));
        QVERIFY(run(u"nft list table inet corvane"_s).contains(u"fib saddr type != local drop"_s));
        QVERIFY(run(u"ip route get 203.0.113.1"_s).contains(u"dev corvane0"_s));
        QVERIFY(run(u"ip route get 203.0.113.1 mark 0x636f7276"_s).contains(u"dev uplink0"_s));
        QVERIFY(run(u"ip route get 10.99.0.1"_s).contains(u"dev uplink0"_s));
        // DNS goes to the device even to a server on the LAN, but for the tunnel's own.
        QVERIFY(run(u"ip route get 10.99.0.1 ipproto udp dport 53"_s).contains(u"dev corvane0"_s));
        QVERIFY(run(u"ip route get 10.99.0.1 ipproto tcp dport 53 mark 0x636f7276"_s)
                    .contains(u"dev uplink0"_s));
        // A new gateway is followed at once: nothing pinned the old one.
        QCOMPARE(run(u"ip route replace default via 10.99.0.3"_s), QString());
        QVERIFY(run(u"ip route get 203.0.113.1 mark 0x636f7276"_s).contains(u"via 10.99.0.3"_s));
        QCOMPARE(run(u"ip route replace default via 10.99.0.1"_s), QString());
        QCOMPARE(run(u"ip -6 route get 2001:db8::1"_s).contains(u"dev corvane0"_s), ipv6);
        QTRY_COMPARE(m_changes, QList<bool>{true});

        // The descriptor is the device: what a program sends comes out of it.
        const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in far{};
        far.sin_family = AF_INET;
        far.sin_port = htons(9);
        far.sin_addr.s_addr = htonl(0xcb007101);
        const auto comesOut = [&](int device) {
            if (::sendto(sender, "x", 1, 0, reinterpret_cast<sockaddr *>(&far), sizeof far) != 1)
                return false;
            // (The kernel's own IPv6 solicitations on the new device may come first.)
            for (int packets = 0; packets < 16; ++packets) {
                pollfd ready{device, POLLIN, 0};
                unsigned char packet[2048];
                const ssize_t size =
                    ::poll(&ready, 1, kWait) == 1 ? ::read(device, packet, sizeof packet) : -1;
                if (size < 0)
                    return false;
                // Behind the device's 10-byte virtio-net header.
                const unsigned char *ip = packet + 10;
                if (size >= 30 && ip[0] >> 4 == 4 &&
                    std::memcmp(ip + 16, &far.sin_addr.s_addr, 4) == 0)
                    return true;
            }
            return false;
        };
        QVERIFY(comesOut(tun.fileDescriptor()));

        // The next tunnel (a change of address) takes the same device over, and the last one,
        // maybe still stopping, reads none of its traffic: every flow comes out of the new one.
        char byte = 0;
        QCOMPARE(::fcntl(tun.fileDescriptor(), F_SETFL, O_NONBLOCK), 0);
        while (::read(tun.fileDescriptor(), &byte, 1) >= 0) {
        }
        const QString index = run(u"cat /sys/class/net/corvane0/ifindex"_s);
        const QDBusMessage next = call(u"Up"_s, {QStringList{kUplinkRelay}, ipv6, 9000u});
        QCOMPARE(next.errorMessage(), QString());
        auto nextTun = next.arguments().at(0).value<QDBusUnixFileDescriptor>();
        QCOMPARE(run(u"cat /sys/class/net/corvane0/ifindex"_s), index);
        for (std::uint16_t port = 10; port < 18; ++port) {
            far.sin_port = htons(port);
            QVERIFY(comesOut(nextTun.fileDescriptor()));
        }
        QCOMPARE(::read(tun.fileDescriptor(), &byte, 1), ssize_t(-1));
        QCOMPARE(errno, EAGAIN);
        QVERIFY(run(u"ip rule"_s).contains(u"5204:"_s));

        // Only IPv4 and IPv6 sockets get the mark.
        int pipeEnds[2];
        QCOMPARE(::pipe(pipeEnds), 0);
        const int local = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        // The protector of the tunnel that has the device now.
        corvane::tunnel::SocketProtector marker(
            ::dup(next.arguments().at(1).value<QDBusUnixFileDescriptor>().fileDescriptor()));
        const auto protect = [&marker](int fd) {
            return marker.protect(fd).value_or(corvane::tunnel::TunnelError{}).code;
        };
        QCOMPARE(protect(sender), 0);
        QCOMPARE(protect(pipeEnds[0]), ENOTSOCK);
        QCOMPARE(protect(local), EAFNOSUPPORT);
        std::uint32_t mark = 0;
        socklen_t size = sizeof mark;
        QCOMPARE(::getsockopt(sender, SOL_SOCKET, SO_MARK, &mark, &size), 0);
        QCOMPARE(mark, kMark);
        for (const int fd : {sender, local, pipeEnds[0], pipeEnds[1]})
            ::close(fd);

        // A helper that dies leaves the device to the service: traffic goes in and no further.
        reply = QDBusMessage();
        tun = nextTun = QDBusUnixFileDescriptor();
        QVERIFY(run(u"ip route get 203.0.113.1"_s).contains(u"dev corvane0"_s));

        QCOMPARE(call(u"Down"_s, {}).errorMessage(), QString());
        QCOMPARE(snapshot(), m_before);
        QTRY_COMPARE(m_changes, (QList<bool>{true, false}));
    }

    // The helper's side of it: the lease brings the device, the protector marks the tunnel's own
    // sockets, the machine is given back, and a refusal comes as words for the person.
    void theHelpersLeaseMarksItsSocketsAndGivesTheMachineBack()
    {
        corvane::NetdLease lease;
        std::optional<corvane::DeviceLease::Answer> answer;
        const auto ask = [&] {
            answer.reset();
            lease.bringUp({kUplinkRelay}, false,
                          [&](corvane::DeviceLease::Answer given) { answer = std::move(given); });
            QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), kWait);
        };
        ask();
        const auto *device = std::get_if<corvane::DeviceLease::Device>(&*answer);
        QVERIFY(device);
        corvane::tunnel::SocketProtector protector(device->protector);
        const int relay = ::socket(AF_INET, SOCK_STREAM, 0);
        const int local = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(!protector.protect(relay));
        QCOMPARE(protector.protect(local).value_or(corvane::tunnel::TunnelError{}).code,
                 EAFNOSUPPORT);
        std::uint32_t mark = 0;
        socklen_t size = sizeof mark;
        QCOMPARE(::getsockopt(relay, SOL_SOCKET, SO_MARK, &mark, &size), 0);
        QCOMPARE(mark, kMark);
        for (const int fd : {relay, local, device->tun})
            ::close(fd);
        // The call blocks its thread, and the stand-in answers polkit's part on this one.
        std::future<void> down = std::async(std::launch::async, [&] { lease.bringDown(); });
        QTRY_VERIFY_WITH_TIMEOUT(
            down.wait_for(std::chrono::seconds(0)) == std::future_status::ready, kWait);
        QCOMPARE(snapshot(), m_before);

        m_authority.answer = StandInAuthority::Answer::no;
        ask();
        QVERIFY(std::holds_alternative<QString>(*answer));
        m_service.terminate();
        QVERIFY(m_service.waitForFinished(kWait));
        ask();
        QCOMPARE(std::get<QString>(*answer), u"corvane-netd is not installed"_s);
    }

    // After kill -9, the unit's clean-up (the device still held by its helper) or the next
    // start (the helper gone as well) gives the machine back.
    void leftoversOfAKilledServiceAreTakenAway_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("--cleanup") << false;
        QTest::newRow("the next start") << true;
    }
    void leftoversOfAKilledServiceAreTakenAway()
    {
        QFETCH(bool, restart);
        QDBusMessage reply = call(u"Up"_s, {QStringList{kUplinkRelay}, true, 1500u});
        QCOMPARE(reply.errorMessage(), QString());
        auto tun = reply.arguments().at(0).value<QDBusUnixFileDescriptor>();
        ::kill(static_cast<pid_t>(m_service.processId()), SIGKILL);
        QVERIFY(m_service.waitForFinished(kWait));
        QVERIFY(snapshot() != m_before);
        // With the device gone too (its helper died) nothing leaves unmarked by the real route.
        if (restart) {
            reply = QDBusMessage();
            tun = QDBusUnixFileDescriptor();
            for (const QString &lookup :
                 {u"ip route get 203.0.113.1"_s, u"ip -6 route get 2001:db8::1"_s}) {
                const QString route = run(lookup);
                QVERIFY2(route.contains(u"No route to host"_s) ||
                             route.startsWith(u"unreachable"_s),
                         qPrintable(route));
            }
            startService();
        } else {
            QCOMPARE(QProcess::execute(netd(), {u"--cleanup"_s}), 0);
        }
        QCOMPARE(snapshot(), m_before);
    }

    void anythingButPolkitsYesRefuses_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("present");
        QTest::newRow("no polkit on the bus") << 0 << false;
        QTest::newRow("polkit says no") << int(StandInAuthority::Answer::no) << true;
        QTest::newRow("polkit wants a password")
            << int(StandInAuthority::Answer::challenge) << true;
        QTest::newRow("polkit fails") << int(StandInAuthority::Answer::error) << true;
    }
    void anythingButPolkitsYesRefuses()
    {
        QFETCH(int, answer);
        QFETCH(bool, present);
        m_authority.answer = StandInAuthority::Answer(answer);
        if (!present)
            m_bus->unregisterService(u"org.freedesktop.PolicyKit1"_s);
        for (const QString &member : {u"Up"_s, u"Down"_s, u"Status"_s}) {
            const QVariantList arguments =
                member == u"Up"_s ? QVariantList{QStringList{kUplinkRelay}, false, 1500u}
                                  : QVariantList{};
            QCOMPARE(call(member, arguments).errorName(),
                     u"org.freedesktop.DBus.Error.AccessDenied"_s);
        }
        QCOMPARE(snapshot(), m_before);
    }

    // The real polkitd on the suite's bus, with the action file in its actions folder seen
    // through a mount namespace of its own: root is allowed, a uid outside any session is asked
    // for an administrator's password, which nobody gives.
    void realPolkitdAllowsRootAndAsksOthersForAPassword()
    {
        const QString polkitd = u"/usr/lib/polkit-1/polkitd"_s;
        if (!QFile::exists(polkitd))
            QSKIP("polkitd is missing");
        m_bus->unregisterService(u"org.freedesktop.PolicyKit1"_s);
        QTemporaryDir actions;
        // Readable by polkitd once it has dropped to its own user.
        QFile::setPermissions(actions.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther);
        QVERIFY(QFile::copy(QStringLiteral(CORVANE_NETD_POLKIT_ACTION),
                            actions.filePath(u"com.corvane.Corvane.system-wide.policy"_s)));
        QProcess daemon;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, m_address);
        daemon.setProcessEnvironment(environment);
        daemon.setProcessChannelMode(QProcess::ForwardedChannels);
        daemon.start(u"unshare"_s, {u"--mount"_s, u"sh"_s, u"-c"_s,
                                    u"mount --make-rprivate / && mount --bind \"$0\""
                                    " /usr/share/polkit-1/actions && exec \"$1\" --no-debug"_s,
                                    actions.path(), polkitd});
        QTRY_VERIFY_WITH_TIMEOUT(
            m_bus->interface()->isServiceRegistered(u"org.freedesktop.PolicyKit1"_s), kWait);
        QCOMPARE(call(u"Status"_s, {}).errorMessage(), QString());
        QVERIFY(as(65534, u"Status"_s).contains(u"administrator's authentication"_s));
        daemon.terminate();
        QVERIFY(daemon.waitForFinished(kWait));
    }

    void unsafeOrLoopingRelaysAreRefused_data()
    {
        QTest::addColumn<QStringList>("relays");
        QTest::addColumn<uint>("mtu");
        QTest::addColumn<QString>("error");
        QTest::newRow("inside the device's prefix")
            << QStringList{kUplinkRelay, u"198.18.0.2"_s} << 1500u << u"a loop"_s;
        QTest::newRow("no route but the tunnel")
            << QStringList{u"2001:db8::1"_s} << 1500u << u"no route outside the tunnel"_s;
        QTest::newRow("a name") << QStringList{u"relay.example"_s} << 1500u << u"numeric"_s;
        QTest::newRow("multicast") << QStringList{u"224.0.0.1"_s} << 1500u << u"numeric"_s;
        QTest::newRow("a short form") << QStringList{u"10.1"_s} << 1500u << u"numeric"_s;
        QTest::newRow("too small an MTU") << QStringList{kUplinkRelay} << 576u << u"MTU"_s;
    }
    void unsafeOrLoopingRelaysAreRefused()
    {
        QFETCH(QStringList, relays);
        QFETCH(uint, mtu);
        QFETCH(QString, error);
        const QDBusMessage reply = call(u"Up"_s, {relays, false, mtu});
        QVERIFY2(reply.errorMessage().contains(error), qPrintable(reply.errorMessage()));
        QCOMPARE(snapshot(), m_before);
        QCOMPARE(call(u"Status"_s, {}).arguments().value(0).toBool(), false);
    }

    // The mode belongs to the uid that brought it up; root may always bring it down.
    void onlyTheOwnerOrRootBringsItDown_data()
    {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("caller");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("another user") << 65534u << 1u << false;
        QTest::newRow("the same user") << 65534u << 65534u << true;
        QTest::newRow("root") << 65534u << 0u << true;
        QTest::newRow("root's, by a user") << 0u << 65534u << false;
    }
    void onlyTheOwnerOrRootBringsItDown()
    {
        QFETCH(uint, owner);
        QFETCH(uint, caller);
        QFETCH(bool, allowed);
        const QString up = u"Up array:string:10.99.0.1 boolean:false uint32:1500"_s;
        QVERIFY(as(owner, up).contains(u"string \"corvane0\""_s));
        QVERIFY(as(caller == owner ? 1u : caller, up).contains(u"up for another user"_s));
        const QString down = as(caller, u"Down"_s);
        QVERIFY2(down.contains(allowed ? u"method return"_s : u"brought up by another user"_s),
                 qPrintable(down));
        const QDBusMessage status = call(u"Status"_s, {});
        QCOMPARE(status.arguments().value(0).toBool(), !allowed);
        if (!allowed) {
            QCOMPARE(status.arguments().value(1).toUInt(), owner);
            QVERIFY(as(owner, u"Down"_s).contains(u"method return"_s));
        }
        QCOMPARE(snapshot(), m_before);
    }

private Q_SLOTS:
    void changed(bool active) { m_changes.append(active); }

private:
    static QString netd()
    {
        return qEnvironmentVariable("CORVANE_BINARY_DIR") + u"/bin/corvane-netd"_s;
    }

    void startService()
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, m_address);
        m_service.setProcessEnvironment(environment);
        m_service.setProcessChannelMode(QProcess::ForwardedChannels);
        m_service.start(netd(), {});
        QVERIFY(m_service.waitForStarted(kWait));
        QTRY_VERIFY_WITH_TIMEOUT(m_bus->interface()->isServiceRegistered(kServiceName), kWait);
    }

    QDBusMessage call(const QString &member, const QVariantList &arguments)
    {
        auto message =
            QDBusMessage::createMethodCall(kServiceName, kObjectPath, kInterface, member);
        message.setArguments(arguments);
        QDBusPendingCallWatcher watcher(m_bus->asyncCall(message, kWait));
        QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
        if (!watcher.isFinished())
            finished.wait(kWait);
        return watcher.reply();
    }

    // What dbus-send prints for a call made as another uid; the event loop runs meanwhile, so
    // that the stand-in answers the service.
    QString as(uint uid, const QString &call)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString id = QString::number(uid);
        process.start(u"setpriv"_s,
                      QStringList{u"--reuid="_s + id, u"--regid="_s + id, u"--clear-groups"_s,
                                  u"dbus-send"_s, u"--bus="_s + m_address, u"--print-reply"_s,
                                  u"--dest="_s + kServiceName, kObjectPath,
                                  kInterface + u'.' + call.section(u' ', 0, 0)} +
                          call.section(u' ', 1).split(u' ', Qt::SkipEmptyParts));
        QSignalSpy finished(&process, &QProcess::finished);
        if (process.waitForStarted(kWait))
            finished.wait(kWait);
        return QString::fromLocal8Bit(process.readAll());
    }

    QTemporaryDir m_dir;
    QString m_address;
    QProcess m_daemon;
    QProcess m_service;
    std::unique_ptr<QDBusConnection> m_bus;
    StandInAuthority m_authority;
    QStringList m_before;
    QList<bool> m_changes;
};

QTEST_GUILESS_MAIN(tst_netd)
#include "tst_netd.moc"
