#include "TunnelHelper.h"

#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"
#include "platform/network/NetworkChangeWatcher.h"
#include "platform/scheduling/Scheduler.h"
#include "platform/systemproxy/SystemProxy.h"
#include "platform/tunnel/linux/TrafficLines.h"
#include "tunnel/client/SocketProtector.h"
#include "tunnel/engine/EngineThread.h"
#include "tunnel/engine/OutboundSockets.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {
// The configuration is seven short values and the rules document.
constexpr qint64 kMaxConfigurationSize = 1024 * 1024;
// The most often a watching window is told the traffic.
constexpr std::chrono::seconds kTrafficEvery(1);

quint64 perSecond(std::uint64_t before, std::uint64_t now, double seconds)
{
    return now > before && seconds > 0 ? static_cast<quint64>(double(now - before) / seconds) : 0;
}

// Why a file or folder of the channel must not be trusted: someone else owns it, or (a folder)
// others may write in it and so replace any file of the channel. None when it is ours alone.
std::optional<QString> foreignness(const struct stat &info, bool folder)
{
    if (info.st_uid != ::getuid())
        return QStringLiteral("it belongs to uid %1").arg(info.st_uid);
    if (folder && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("other users may write in it (mode %1)")
            .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return std::nullopt;
}

// The addresses corvane-netd gives its device, and the port of the listener the rewritten flows
// reach on them.
tunnel::PacketPath::Settings devicePackets(bool ipv6)
{
    const auto at = [](const char *host, std::uint16_t port) {
        return tunnel::IpEndpoint::of(*tunnel::SocketAddress::parse(host, port)).value();
    };
    constexpr std::uint16_t kListenerPort = 7071;
    tunnel::PacketPath::Settings packets;
    packets.listener4 = at("198.18.0.1", kListenerPort);
    packets.flows.peer4 = at("198.18.0.2", 0);
    if (ipv6) {
        packets.listener6 = at("fd63:6f72:7661::1", kListenerPort);
        packets.flows.peer6 = at("fd63:6f72:7661::2", 0);
    }
    return packets;
}

bool kernelHasIpv6()
{
    return QFile::exists(QStringLiteral("/proc/net/if_inet6"));
}
} // namespace

TunnelHelper::TunnelHelper(TunnelChannel channel, quint16 socksPort, quint16 httpPort,
                           SystemProxy *systemProxy, bool pointSystemProxy, QObject *parent)
    : QObject(parent), m_channel(std::move(channel)), m_server(new QLocalServer(this)),
      m_systemProxy(systemProxy), m_pointSystemProxy(pointSystemProxy)
{
    m_options.socksPort = socksPort;
    m_options.httpPort = httpPort;
    connect(m_server, &QLocalServer::newConnection, this, &TunnelHelper::attachClient);
}

TunnelHelper::~TunnelHelper()
{
    m_networkChanges.reset();
    if (m_engine)
        m_engine->call([this] { m_client.reset(); });
    m_engine.reset();
    if (m_protector)
        tunnel::OutboundSockets::setPreparer({});
    m_protector.reset();
    returnDevice();
    releaseChannel();
}

void TunnelHelper::releaseChannel()
{
    // A window that reads "disconnected" may start the next helper at once: by then that one
    // must find neither this socket nor the lock.
    if (m_server->isListening()) {
        m_server->close();
        QFile::remove(m_channel.statusPath());
        QFile::remove(m_channel.proxyPath());
    }
    if (m_lockFd >= 0)
        ::close(std::exchange(m_lockFd, -1));
}

bool TunnelHelper::begin()
{
    m_exitCode = 1;
    if (!folderIsPrivate())
        return false;
    if (!takeLock()) {
        // The running helper already read its own configuration; this copy must not linger.
        QFile::remove(m_channel.configPath());
        return false;
    }
    QFile::remove(m_channel.reasonPath());
    std::optional<tunnel::TunnelConfiguration> configuration = readConfiguration();
    if (!configuration) {
        // No helper runs this tunnel now: a status file would say that one does.
        QFile::remove(m_channel.statusPath());
        return false;
    }
    setStatus(TunnelStatus::Connecting);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_channel.socketPath());
    if (!m_server->listen(m_channel.socketPath())) {
        Log::critical(QStringLiteral("Cannot open %1: %2")
                          .arg(m_channel.socketPath(), m_server->errorString()));
        m_status = TunnelStatus::Disconnected;
        QFile::remove(m_channel.statusPath());
        return false;
    }
    m_exitCode = 0;
    startTunnel(std::move(*configuration));
    return true;
}

bool TunnelHelper::folderIsPrivate()
{
    const QString folder = QFileInfo(m_channel.basePath()).path();
    struct stat info = {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0) {
        Log::critical(QStringLiteral("Refusing to run: cannot examine %1: %2")
                          .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    if (const std::optional<QString> why = foreignness(info, true)) {
        Log::critical(QStringLiteral("Refusing to run in %1: %2").arg(folder, *why));
        return false;
    }
    return true;
}

bool TunnelHelper::takeLock()
{
    // flock, unlike a pid in a lock file, is released by the kernel however the helper ends.
    // A link in the lock's place could point the helper at a file it must not create or lock.
    m_lockFd = ::open(QFile::encodeName(m_channel.lockPath()).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0) {
        Log::critical(
            errno == ELOOP
                ? QStringLiteral("Refusing to run: %1 is a symbolic link").arg(m_channel.lockPath())
                : QStringLiteral("Refusing to run: cannot open %1: %2")
                      .arg(m_channel.lockPath(), QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    struct stat info = {};
    if (::fstat(m_lockFd, &info) == 0) {
        if (const std::optional<QString> why = foreignness(info, false)) {
            Log::critical(QStringLiteral("Refusing to run: %1 is not ours: %2")
                              .arg(m_channel.lockPath(), *why));
            ::close(std::exchange(m_lockFd, -1));
            return false;
        }
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        Log::warning(QStringLiteral("A tunnel helper is already running for this profile"));
        return false;
    }
    return true;
}

std::optional<tunnel::TunnelConfiguration> TunnelHelper::readConfiguration()
{
    const QString path = m_channel.configPath();
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0) {
        if (const std::optional<QString> why = foreignness(info, false)) {
            Log::warning(QStringLiteral("Refusing to connect: %1 is not ours: %2").arg(path, *why));
            return std::nullopt;
        }
    }
    const RegularFile::Content content = RegularFile::read(path, kMaxConfigurationSize);
    using Outcome = RegularFile::Content::Outcome;
    if (content.outcome != Outcome::Read) {
        const QString why = content.outcome == Outcome::Missing ? QStringLiteral("it is missing")
                            : content.outcome == Outcome::TooLarge
                                ? QStringLiteral("it is too large")
                                : content.reason;
        Log::warning(QStringLiteral("Refusing to connect: cannot read %1: %2").arg(path, why));
        if (content.outcome == Outcome::TooLarge)
            QFile::remove(path);
        return std::nullopt;
    }
    QFile::remove(path);
    auto parsed = tunnel::TunnelConfiguration::parse(content.data.toStdString());
    if (const auto *problem = std::get_if<std::string>(&parsed)) {
        Log::warning(QStringLiteral("Refusing to connect: ") + QString::fromStdString(*problem));
        return std::nullopt;
    }
    return std::get<tunnel::TunnelConfiguration>(std::move(parsed));
}

void TunnelHelper::startTunnel(tunnel::TunnelConfiguration configuration)
{
    if (!m_devices)
        return startEngine(std::move(configuration));
    // The service keeps the relay out of the device by its numeric address.
    const QString host = QString::fromStdString(configuration.relayHost);
    if (!QHostAddress(host).isNull())
        return leaseDevice(std::move(configuration), host);
    QHostInfo::lookupHost(
        host, this, [this, configuration = std::move(configuration)](const QHostInfo &info) {
            if (m_status != TunnelStatus::Connecting)
                return finish();
            if (info.addresses().isEmpty())
                return refuseSystemWide(QStringLiteral("cannot resolve the relay: ") +
                                        info.errorString());
            leaseDevice(configuration, info.addresses().constFirst().toString());
        });
}

void TunnelHelper::leaseDevice(tunnel::TunnelConfiguration configuration, const QString &relay)
{
    m_devices->bringUp(
        {relay}, kernelHasIpv6(),
        [this, configuration = std::move(configuration)](DeviceLease::Answer answer) {
            deviceAnswered(configuration, std::move(answer));
        });
}

void TunnelHelper::deviceAnswered(tunnel::TunnelConfiguration configuration,
                                  DeviceLease::Answer answer)
{
    if (const auto *why = std::get_if<QString>(&answer))
        return refuseSystemWide(*why);
    const DeviceLease::Device device = std::get<DeviceLease::Device>(answer);
    m_leased = true;
    // This tunnel holds the machine's traffic now, blocked or not.
    QFile::remove(m_channel.blockPath());
    m_protector = std::make_unique<tunnel::SocketProtector>(device.protector);
    // A stop that came while the service was asking polkit: the device goes straight back.
    if (m_status != TunnelStatus::Connecting) {
        ::close(device.tun);
        return finish();
    }
    tunnel::OutboundSockets::setPreparer(
        [protector = m_protector.get()](int fd) { return protector->protect(fd); });
    m_options.tunFd = device.tun;
    m_options.packets = devicePackets(kernelHasIpv6());
    Log::info(QStringLiteral("The system-wide mode has its device"));
    startEngine(std::move(configuration));
}

void TunnelHelper::refuseSystemWide(const QString &why)
{
    Log::warning(QStringLiteral("The system-wide mode cannot be had: ") + why);
    const QByteArray line = TunnelChannel::reasonLine(TunnelEndReason::Kind::systemWide, why);
    if (std::optional<QString> error = PrivateFile::write(m_channel.reasonPath(), line))
        Log::warning(QStringLiteral("Cannot write %1: %2").arg(m_channel.reasonPath(), *error));
    broadcast(line);
    m_exitCode = 1;
    finish();
}

void TunnelHelper::returnDevice()
{
    // A change of address leaves the rules and routes for the next tunnel, so nothing leaves
    // past the tunnel while it swaps relays; that tunnel's lease takes them over.
    if (!std::exchange(m_leased, false) || m_handedOver)
        return;
    // A relay that was lost may come back, and the window tries again: until then traffic
    // stays blocked, not sent past the tunnel.
    if (m_mayComeBack) {
        if (std::optional<QString> error = PrivateFile::write(m_channel.blockPath(), "block\n"))
            Log::warning(QStringLiteral("Cannot write %1: %2").arg(m_channel.blockPath(), *error));
        Log::info(QStringLiteral("Traffic stays blocked until the tunnel is back or stopped"));
        return;
    }
    m_devices->bringDown();
    QFile::remove(m_channel.blockPath());
    Log::info(QStringLiteral("Gave the machine's networking back"));
}

void TunnelHelper::startEngine(tunnel::TunnelConfiguration configuration)
{
    // The client reports on the engine's thread; everything it says is handled here, in order.
    tunnel::TunnelClient::Events events;
    events.status = [this](tunnel::TunnelClient::Status status, const std::string &reason) {
        QMetaObject::invokeMethod(
            this,
            [this, status, text = QString::fromStdString(reason)] { tunnelStatus(status, text); },
            Qt::QueuedConnection);
    };
    events.listening = [this](std::uint16_t socks, std::uint16_t http) {
        const QByteArray line =
            "proxy " + QByteArray::number(socks) + ' ' + QByteArray::number(http) + '\n';
        QMetaObject::invokeMethod(
            this,
            [this, line, socks, http] {
                Log::info(QStringLiteral("Local proxies: socks5://127.0.0.1:%1 "
                                         "http://127.0.0.1:%2")
                              .arg(socks)
                              .arg(http));
                m_proxyLine = line;
                m_ports = std::pair(socks, http);
                if (std::optional<QString> error = PrivateFile::write(m_channel.proxyPath(), line))
                    Log::warning(
                        QStringLiteral("Cannot write %1: %2").arg(m_channel.proxyPath(), *error));
                broadcast(line);
            },
            Qt::QueuedConnection);
    };
    events.log = [this](const std::string &line) {
        QMetaObject::invokeMethod(
            this, [text = QString::fromStdString(line)] { Log::info(text); }, Qt::QueuedConnection);
    };
    m_engine = std::make_unique<tunnel::EngineThread>();
    m_engine->call([&] {
        m_client = std::make_unique<tunnel::TunnelClient>(
            m_engine->loop(), std::move(configuration), m_options, std::move(events));
        m_client->start();
    });
    m_networkChanges = std::make_unique<NetworkChangeWatcher>();
    connect(m_networkChanges.get(), &NetworkChangeWatcher::changed, this, [this] {
        Log::info(QStringLiteral("The network changed: checking the relay"));
        m_engine->post([this] {
            if (m_client)
                m_client->checkRelay();
        });
    });
}

void TunnelHelper::tunnelStatus(tunnel::TunnelClient::Status status, const QString &reason)
{
    if (m_status == TunnelStatus::Disconnected)
        return;
    using Status = tunnel::TunnelClient::Status;
    switch (status) {
    case Status::Connecting:
        break;
    case Status::Connected:
        if (m_status != TunnelStatus::Disconnecting) {
            setStatus(TunnelStatus::Connected);
            pointSystemProxy();
        }
        break;
    case Status::Reasserting:
        if (m_status != TunnelStatus::Disconnecting)
            setStatus(TunnelStatus::Reasserting);
        break;
    case Status::Disconnected: {
        bool couldNotListen = false;
        auto cause = tunnel::TunnelClient::DownCause::stopped;
        std::string refusal;
        m_engine->call([&] {
            couldNotListen = m_client->couldNotListen();
            cause = m_client->downCause();
            refusal = m_client->refusal();
        });
        if (!reason.isEmpty())
            Log::warning(QStringLiteral("The tunnel is down: ") + reason);
        tellWhyDown(cause, QString::fromStdString(refusal));
        m_mayComeBack = cause == tunnel::TunnelClient::DownCause::lost ||
                        cause == tunnel::TunnelClient::DownCause::unreachable;
        m_exitCode = couldNotListen ? 1 : 0;
        finish();
        break;
    }
    }
}

void TunnelHelper::tellWhyDown(tunnel::TunnelClient::DownCause cause, const QString &refusal)
{
    // Windows show it; a stop that somebody asked for needs no reason.
    using Cause = tunnel::TunnelClient::DownCause;
    using Kind = TunnelEndReason::Kind;
    QByteArray line;
    switch (cause) {
    case Cause::stopped:
        return;
    case Cause::port:
        line = TunnelChannel::reasonLine(Kind::port);
        break;
    case Cause::unreachable:
        line = TunnelChannel::reasonLine(Kind::unreachable);
        break;
    case Cause::refused:
        line = TunnelChannel::reasonLine(Kind::refused, refusal);
        break;
    case Cause::protocol:
        line = TunnelChannel::reasonLine(Kind::protocol);
        break;
    case Cause::lost:
        line = TunnelChannel::reasonLine(Kind::lost);
        break;
    }
    // Written before the socket closes: a window whose connection was still waiting to be
    // accepted reads it from there.
    if (std::optional<QString> error = PrivateFile::write(m_channel.reasonPath(), line))
        Log::warning(QStringLiteral("Cannot write %1: %2").arg(m_channel.reasonPath(), *error));
    broadcast(line);
}

void TunnelHelper::stop()
{
    if (m_status == TunnelStatus::Disconnecting || m_status == TunnelStatus::Disconnected)
        return;
    setStatus(TunnelStatus::Disconnecting);
    // Still waiting for the device: its answer finishes.
    if (!m_engine)
        return;
    // The client closes every connection and reports Disconnected, which finishes.
    m_engine->post([this] { m_client->stop(); });
}

void TunnelHelper::attachClient()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        // The socket's mode is the first guard, the peer's credentials the second: only our
        // own user may stop the tunnel.
        ucred peer{};
        socklen_t length = sizeof peer;
        const bool known = ::getsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET,
                                        SO_PEERCRED, &peer, &length) == 0;
        if (!known || peer.uid != ::getuid()) {
            Log::warning(QStringLiteral("Refused a status channel connection from %1: the channel "
                                        "serves its own user only")
                             .arg(known ? QStringLiteral("uid %1").arg(peer.uid)
                                        : QStringLiteral("a peer the kernel does not name")));
            client->abort();
            client->deleteLater();
            continue;
        }
        m_clients << client;
        m_commandLines.insert(client, ChannelLines());
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readCommands(client); });
        connect(client, &QLocalSocket::disconnected, this, [this, client] {
            m_clients.removeOne(client);
            m_commandLines.remove(client);
            forgetWatcher(client);
            client->deleteLater();
        });
        client->write(tunnelStatusName(m_status).toUtf8() + '\n' + m_proxyLine);
        client->flush();
    }
}

void TunnelHelper::readCommands(QLocalSocket *client)
{
    const QList<QByteArray> lines = m_commandLines[client].append(client->readAll());
    for (const QByteArray &line : lines) {
        if (TunnelChannel::isHandOverCommand(line))
            m_handedOver = true;
        else if (TunnelChannel::isStopCommand(line))
            stop();
        else if (TrafficLines::isWatchCommand(line))
            watchTraffic(client);
        else if (TrafficLines::isUnwatchCommand(line))
            forgetWatcher(client);
        else if (TrafficLines::isConnectionsCommand(line))
            tellConnections(client);
    }
}

void TunnelHelper::watchTraffic(QLocalSocket *client)
{
    if (m_status == TunnelStatus::Disconnecting || m_status == TunnelStatus::Disconnected)
        return;
    m_trafficWatchers.insert(client);
    m_unsentWatchers.insert(client);
    if (std::exchange(m_sampling, true))
        return;
    // Rates need a second sample: the first line comes one period after this one.
    m_engine->call([this] { m_sampled = m_client->traffic(); });
    m_sampledAt = Scheduler::current().now();
    delay(kTrafficEvery, this, [this] { tellTraffic(); });
}

void TunnelHelper::forgetWatcher(QLocalSocket *client)
{
    m_trafficWatchers.remove(client);
    m_unsentWatchers.remove(client);
}

void TunnelHelper::tellTraffic()
{
    if (m_trafficWatchers.isEmpty() || m_status == TunnelStatus::Disconnecting ||
        m_status == TunnelStatus::Disconnected) {
        m_sampling = false;
        return;
    }
    tunnel::TrafficTotals totals;
    m_engine->call([&] { totals = m_client->traffic(); });
    const double now = Scheduler::current().now();
    const double seconds = now - m_sampledAt;
    const TunnelTraffic traffic{totals.up(),
                                totals.down(),
                                perSecond(m_sampled.up(), totals.up(), seconds),
                                perSecond(m_sampled.down(), totals.down(), seconds),
                                totals.relayUp,
                                totals.relayDown};
    m_sampled = totals;
    m_sampledAt = now;
    // An idle tunnel is told once that it went idle, then left in peace.
    const bool news = traffic != m_told;
    m_told = traffic;
    const QByteArray line = TrafficLines::trafficLine(traffic);
    for (QLocalSocket *client : std::as_const(m_trafficWatchers)) {
        if (news || m_unsentWatchers.contains(client)) {
            client->write(line);
            client->flush();
        }
    }
    m_unsentWatchers.clear();
    delay(kTrafficEvery, this, [this] { tellTraffic(); });
}

void TunnelHelper::tellConnections(QLocalSocket *client)
{
    std::vector<tunnel::ConnectionTraffic> open;
    if (m_status != TunnelStatus::Disconnected)
        m_engine->call([&] { open = m_client->connections(); });
    QByteArray answer;
    for (const tunnel::ConnectionTraffic &connection : open)
        answer += TrafficLines::connectionLine(
            {QString::fromStdString(connection.destination),
             QString::fromStdString(connection.rule), connection.relayed, connection.up,
             connection.down,
             std::chrono::duration_cast<std::chrono::seconds>(connection.age).count()});
    client->write(answer + TrafficLines::endLine());
    client->flush();
}

void TunnelHelper::finish()
{
    if (m_status == TunnelStatus::Disconnected)
        return;
    releaseChannel();
    // The helper gives the desktop's proxy settings back, not the program that pointed them
    // here: its life is the tunnel's, whereas corvanectl has often exited by now and a window
    // may quit while a script's tunnel runs on. Before "disconnected", so that whoever reads it
    // finds them given back. A helper that is killed leaves that to the next Corvane program.
    if (m_systemProxy && !m_handedOver && m_systemProxy->applied()) {
        if (std::optional<QString> error = m_systemProxy->restore())
            Log::warning(QStringLiteral("Cannot give back the desktop's proxy settings: ") +
                         *error);
        else
            Log::info(QStringLiteral("Gave back the desktop's proxy settings"));
    }
    // As the desktop's proxy settings: given back before anyone reads "disconnected".
    returnDevice();
    m_status = TunnelStatus::Disconnected;
    broadcast(tunnelStatusName(m_status).toUtf8() + '\n');
    // A client may leave m_clients while it disconnects: walk a copy.
    const QList<QLocalSocket *> clients = m_clients;
    for (QLocalSocket *client : clients)
        client->disconnectFromServer();
    Q_EMIT finished();
}

void TunnelHelper::setStatus(TunnelStatus status)
{
    m_status = status;
    const QByteArray name = tunnelStatusName(status).toUtf8();
    if (std::optional<QString> error = PrivateFile::write(m_channel.statusPath(), name + '\n'))
        Log::warning(QStringLiteral("Cannot write %1: %2").arg(m_channel.statusPath(), *error));
    broadcast(name + '\n');
}

void TunnelHelper::pointSystemProxy()
{
    // Again after a relay was reached anew it changes nothing; a desktop without proxy settings
    // keeps to the local proxies, as the window says.
    if (!m_pointSystemProxy || !m_systemProxy || !m_ports || !m_systemProxy->available())
        return;
    if (std::optional<QString> error = m_systemProxy->apply({m_ports->first, m_ports->second}))
        Log::warning(QStringLiteral("Cannot point the desktop's proxy settings at the tunnel: ") +
                     *error);
}

void TunnelHelper::broadcast(const QByteArray &line)
{
    for (QLocalSocket *client : std::as_const(m_clients)) {
        client->write(line);
        client->flush();
    }
}

} // namespace corvane
