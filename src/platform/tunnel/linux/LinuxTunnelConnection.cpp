#include "platform/tunnel/linux/LinuxTunnelConnection.h"

#include "platform/files/FileLock.h"
#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"
#include "platform/tunnel/linux/HelperProcesses.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"
#include "platform/tunnel/linux/SystemWideBlock.h"
#include "platform/tunnel/linux/TrafficLines.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>

#include <csignal>

namespace corvane {

namespace {

// While a started helper has not opened its socket yet, look for it this often; the helper
// opens it before anything else, so this only spans the helper's own start-up.
constexpr int kStartPollMs = 2;
constexpr int kStartTimeoutMs = 5000;
// A status file holds one status name, an owner file one program name.
constexpr qint64 kMaxStatusFileSize = 64;
constexpr qint64 kMaxReasonFileSize = 4096;
constexpr qint64 kMaxOwnerFileSize = 256;

// The helper's command line options for the ports chosen.
QStringList proxyPortArguments(const LinuxTunnelProfileStore::ProxyPorts &ports)
{
    QStringList arguments;
    if (ports.socks)
        arguments << QStringLiteral("--socks-port") << QString::number(*ports.socks);
    if (ports.http)
        arguments << QStringLiteral("--http-port") << QString::number(*ports.http);
    // Every program goes through the device then: the desktop's proxy settings stay as they are.
    if (ports.systemWide)
        arguments << QStringLiteral("--system-wide");
    else if (ports.pointSystemProxy)
        arguments << QStringLiteral("--system-proxy");
    return arguments;
}

} // namespace

LinuxTunnelConnection::LinuxTunnelConnection(QString identifier, LinuxTunnelProfileStore *store)
    : TunnelConnection(store), m_identifier(std::move(identifier)), m_store(store),
      m_channel(store->channel(m_identifier)), m_socket(new QLocalSocket(this)),
      m_startTimer(new QTimer(this))
{
    m_startTimer->setInterval(kStartPollMs);
    connect(m_startTimer, &QTimer::timeout, this, &LinuxTunnelConnection::checkStartingHelper);
    connect(m_socket, &QLocalSocket::readyRead, this, &LinuxTunnelConnection::readStatusLines);
    connect(m_socket, &QLocalSocket::disconnected, this, &LinuxTunnelConnection::socketClosed);
    connect(m_socket, &QLocalSocket::errorOccurred, this, [this] {
        if (m_socket->state() == QLocalSocket::UnconnectedState)
            socketClosed();
    });
    if (attach()) {
        m_current = statusFromFile();
        m_published = m_current;
        noteAuthString(m_current);
    }
}

LinuxTunnelConnection::~LinuxTunnelConnection()
{
    // Leaving the helper running is the point; only stop listening to it.
    m_socket->disconnect(this);
}

std::optional<TunnelError> LinuxTunnelConnection::start()
{
    switch (m_current) {
    case TunnelStatus::Connecting:
    case TunnelStatus::Connected:
    case TunnelStatus::Reasserting:
        return std::nullopt;
    case TunnelStatus::Disconnecting:
        return TunnelError{QStringLiteral("The tunnel is still stopping."),
                           TunnelError::Kind::stillStopping};
    case TunnelStatus::Invalid:
    case TunnelStatus::Disconnected:
        break;
    }
    reattach();
    if (m_current != TunnelStatus::Disconnected)
        return std::nullopt;
    m_endReason.reset();
    if (std::optional<TunnelError> error = launchHelper())
        return error;
    setStatus(TunnelStatus::Connecting);
    return std::nullopt;
}

void LinuxTunnelConnection::stop()
{
    if (m_socket->state() == QLocalSocket::ConnectedState) {
        m_socket->write(TunnelChannel::stopCommand());
        m_socket->flush();
    } else if (m_startTimer->isActive() && !m_terminating) {
        // No command reaches a helper before it opens its socket, and a stop kept until then
        // would be lost if this process ended first: end the helper by its process id now.
        m_terminating = true;
        QFile::remove(m_channel.configPath());
        m_terminateSent = HelperProcesses::signal(m_helperPid, m_channel.basePath(), SIGTERM);
        setStatus(TunnelStatus::Disconnecting);
    } else if (!m_startTimer->isActive()) {
        // No helper runs: a system-wide tunnel that went down by itself may have left the
        // machine's traffic blocked, and this stop is the person leaving it.
        SystemWideBlock::release(this, m_channel);
    }
}

void LinuxTunnelConnection::handOver()
{
    // A line of its own before "stop": a helper that does not know it ignores it and stops.
    if (m_socket->state() == QLocalSocket::ConnectedState)
        m_socket->write(TunnelChannel::handOverCommand());
    stop();
}

std::optional<LocalProxyPorts> LinuxTunnelConnection::localProxy() const
{
    if (m_localProxy || m_current != TunnelStatus::Connected)
        return m_localProxy;
    // A window that attached to a running helper may not have read its line yet.
    const RegularFile::Content content =
        RegularFile::read(m_channel.proxyPath(), kMaxStatusFileSize);
    if (content.outcome != RegularFile::Content::Outcome::Read)
        return std::nullopt;
    return TunnelChannel::parseProxyLine(content.data);
}

QString LinuxTunnelConnection::startedBy() const
{
    const RegularFile::Content content =
        RegularFile::read(m_channel.ownerPath(), kMaxOwnerFileSize);
    if (content.outcome != RegularFile::Content::Outcome::Read)
        return {};
    return QString::fromUtf8(content.data).trimmed();
}

void LinuxTunnelConnection::reattach()
{
    if (m_current == TunnelStatus::Disconnected && !m_startTimer->isActive() && attach())
        setStatus(statusFromFile());
}

bool LinuxTunnelConnection::attach()
{
    if (m_store->locations().runtimeDir.isEmpty())
        return false;
    if (m_socket->state() == QLocalSocket::ConnectedState)
        return true;
    if (m_socket->state() != QLocalSocket::UnconnectedState)
        m_socket->abort();
    m_lines = ChannelLines();
    m_socket->connectToServer(m_channel.socketPath());
    if (m_socket->state() == QLocalSocket::ConnectedState) {
        if (m_trafficWatchers > 0)
            m_socket->write(TrafficLines::watchCommand());
        return true;
    }
    removeStaleFiles();
    return false;
}

void LinuxTunnelConnection::removeStaleFiles()
{
    // A helper holds the lock for as long as it runs: with the lock free, a status, socket and
    // proxy line left behind are a killed helper's, and would tell scripts the tunnel is up.
    // Taken while they go, so a helper starting meanwhile finds its own files untouched.
    if (!QFile::exists(m_channel.statusPath()) && !QFile::exists(m_channel.socketPath()) &&
        !QFile::exists(m_channel.proxyPath()))
        return;
    const FileLock lock(m_channel.lockPath(), std::chrono::milliseconds(0));
    if (!lock.isLocked())
        return;
    if (QFile::remove(m_channel.statusPath()) | QFile::remove(m_channel.socketPath()) |
        QFile::remove(m_channel.proxyPath()))
        Log::info(QStringLiteral("Removed the status of a tunnel helper that no longer runs (%1)")
                      .arg(m_channel.basePath()));
}

std::optional<TunnelError> LinuxTunnelConnection::launchHelper()
{
    const auto stored = m_store->storedProfile(m_identifier);
    if (const auto *error = std::get_if<TunnelError>(&stored))
        return TunnelError{error->description, TunnelError::Kind::store};
    const auto &profile = std::get<StoredProfile>(stored);
    if (!profile.protocol)
        return TunnelError{QStringLiteral("The tunnel profile has no protocol configuration.")};
    if (!profile.enabled)
        return TunnelError{QStringLiteral("The tunnel profile is disabled.")};

    const QString runtimeDir = m_store->locations().runtimeDir;
    if (runtimeDir.isEmpty()) {
        return TunnelError{QStringLiteral("There is no private runtime folder for the tunnel's "
                                          "channel: XDG_RUNTIME_DIR is not a usable folder of this "
                                          "user, and neither is Qt's fallback"),
                           TunnelError::Kind::runtimeFolder};
    }
    if (!PrivateFile::makeFolder(runtimeDir))
        return TunnelError{QStringLiteral("Cannot create the folder %1").arg(runtimeDir),
                           TunnelError::Kind::runtimeFolder};
    // The configuration holds the authentication string: it goes through a 0600 file that the
    // helper deletes once read, never through the helper's command line.
    const QByteArray config =
        QJsonDocument(QJsonObject::fromVariantMap(profile.protocol->providerConfiguration))
            .toJson(QJsonDocument::Compact);
    QFile::remove(m_channel.reasonPath());
    if (std::optional<QString> error = PrivateFile::write(m_channel.configPath(), config))
        return TunnelError{
            QStringLiteral("Cannot hand over the tunnel configuration: %1").arg(*error),
            TunnelError::Kind::runtimeFolder};

    // QProcess would create the log with the umask's mode; the helper writes its reasons there.
    if (std::optional<QString> error = PrivateFile::prepare(m_channel.logPath())) {
        QFile::remove(m_channel.configPath());
        return TunnelError{QStringLiteral("Cannot prepare the tunnel helper's log %1: %2")
                               .arg(m_channel.logPath(), *error),
                           TunnelError::Kind::runtimeFolder};
    }
    // Lets a later launch of another program tell a script's tunnel from one a window left.
    if (std::optional<QString> error =
            PrivateFile::write(m_channel.ownerPath(), QCoreApplication::applicationName().toUtf8()))
        Log::warning(QStringLiteral("Cannot record who starts the tunnel: %1").arg(*error));
    // A tunnel of another mode would leave the machine's traffic blocked behind it.
    if (!m_store->proxyPorts().systemWide)
        SystemWideBlock::release(this, m_channel);
    const QString program = m_store->locations().helperProgram;
    QProcess helper;
    helper.setProgram(program);
    helper.setArguments(QStringList{QStringLiteral("--channel"), m_channel.basePath()} +
                        proxyPortArguments(m_store->proxyPorts()));
    helper.setStandardInputFile(QProcess::nullDevice());
    helper.setStandardOutputFile(m_channel.logPath(), QIODevice::Append);
    helper.setStandardErrorFile(m_channel.logPath(), QIODevice::Append);
    qint64 pid = 0;
    // Detached: the helper runs in its own session, outlives this process and is never our
    // child, so it leaves no zombie behind here.
    if (!helper.startDetached(&pid)) {
        QFile::remove(m_channel.configPath());
        const QFileInfo file(program);
        return TunnelError{QStringLiteral("Cannot start the tunnel helper %1").arg(program),
                           file.exists() ? TunnelError::Kind::helperNotRunnable
                                         : TunnelError::Kind::helperMissing};
    }
    m_helperPid = pid;
    m_terminating = false;
    m_terminateSent = false;
    m_startDeadline.setRemainingTime(kStartTimeoutMs);
    m_startTimer->start();
    return std::nullopt;
}

void LinuxTunnelConnection::checkStartingHelper()
{
    if (m_terminating) {
        finishTermination();
        return;
    }
    if (attach()) {
        m_startTimer->stop();
        return;
    }
    if (!HelperProcesses::isAlive(m_helperPid)) {
        abandonStart(QStringLiteral("The tunnel helper ended before it reported a status; see %1")
                         .arg(m_channel.logPath()));
    } else if (m_startDeadline.hasExpired()) {
        HelperProcesses::signal(m_helperPid, m_channel.basePath(), SIGTERM);
        abandonStart(QStringLiteral("The tunnel helper did not answer in time; see %1")
                         .arg(m_channel.logPath()));
    }
}

void LinuxTunnelConnection::finishTermination()
{
    // Reported off only once the helper is gone, so that a connect right after the stop never
    // finds it still holding the channel's lock.
    if (!HelperProcesses::isAlive(m_helperPid)) {
        m_startTimer->stop();
        m_terminating = false;
        setStatus(TunnelStatus::Disconnected);
        return;
    }
    if (!m_terminateSent)
        m_terminateSent = HelperProcesses::signal(m_helperPid, m_channel.basePath(), SIGTERM);
    if (m_startDeadline.hasExpired())
        HelperProcesses::signal(m_helperPid, m_channel.basePath(), SIGKILL);
}

void LinuxTunnelConnection::abandonStart(const QString &reason)
{
    m_startTimer->stop();
    QFile::remove(m_channel.configPath());
    Log::warning(reason);
    setStatus(TunnelStatus::Disconnected);
}

void LinuxTunnelConnection::readStatusLines()
{
    // Reading a socket whose connection is gone would only warn: what it held is buffered.
    if (m_socket->bytesAvailable() <= 0)
        return;
    const QList<QByteArray> lines = m_lines.append(m_socket->readAll());
    for (const QByteArray &line : lines) {
        if (readTrafficLine(line))
            continue;
        if (const auto ports = TunnelChannel::parseProxyLine(line)) {
            m_localProxy = ports;
            continue;
        }
        if (auto reason = TunnelChannel::parseReasonLine(line)) {
            m_endReason = std::move(reason);
            continue;
        }
        const std::optional<TunnelStatus> status = TunnelChannel::parseStatus(line);
        if (!status)
            continue;
        setStatus(*status);
        // That helper is done; its socket must not count as a running tunnel any more.
        if (*status == TunnelStatus::Disconnected) {
            m_socket->abort();
            return;
        }
    }
}

bool LinuxTunnelConnection::readTrafficLine(const QByteArray &line)
{
    if (auto traffic = TrafficLines::parseTrafficLine(line)) {
        if (m_trafficWatchers > 0) {
            m_traffic = traffic;
            Q_EMIT trafficChanged();
        }
        return true;
    }
    if (auto connection = TrafficLines::parseConnectionLine(line)) {
        m_connectionLines << std::move(*connection);
        return true;
    }
    if (!TrafficLines::isEndLine(line))
        return false;
    if (!m_connectionRequests.isEmpty())
        m_connectionRequests.takeFirst()(std::exchange(m_connectionLines, {}));
    return true;
}

void LinuxTunnelConnection::watchTraffic(bool on)
{
    const int before =
        std::exchange(m_trafficWatchers, std::max(0, m_trafficWatchers + (on ? 1 : -1)));
    if ((before > 0) == (m_trafficWatchers > 0))
        return;
    if (m_socket->state() == QLocalSocket::ConnectedState) {
        m_socket->write(on ? TrafficLines::watchCommand() : TrafficLines::unwatchCommand());
        m_socket->flush();
    }
    if (!on && m_traffic) {
        m_traffic.reset();
        Q_EMIT trafficChanged();
    }
}

void LinuxTunnelConnection::requestConnections(ConnectionsDone done)
{
    if (m_socket->state() != QLocalSocket::ConnectedState)
        return done(std::nullopt);
    m_connectionRequests << std::move(done);
    m_socket->write(TrafficLines::connectionsCommand());
    m_socket->flush();
}

void LinuxTunnelConnection::dropTraffic()
{
    m_connectionLines.clear();
    for (const ConnectionsDone &done : std::exchange(m_connectionRequests, {}))
        done(std::nullopt);
    if (m_traffic) {
        m_traffic.reset();
        Q_EMIT trafficChanged();
    }
}

void LinuxTunnelConnection::socketClosed()
{
    // While a started helper is still opening its socket, failed attempts are expected.
    if (m_startTimer->isActive())
        return;
    readStatusLines();
    setStatus(TunnelStatus::Disconnected);
    // A helper that died without a word left files saying the tunnel is up.
    removeStaleFiles();
}

TunnelStatus LinuxTunnelConnection::statusFromFile() const
{
    const RegularFile::Content content =
        RegularFile::read(m_channel.statusPath(), kMaxStatusFileSize);
    if (content.outcome == RegularFile::Content::Outcome::Read) {
        if (auto status = TunnelChannel::parseStatus(content.data))
            return *status;
    }
    return TunnelStatus::Connecting;
}

bool LinuxTunnelConnection::leftTrafficBlocked() const
{
    return m_published == TunnelStatus::Disconnected && SystemWideBlock::isLeftBy(m_channel);
}

std::optional<TunnelEndReason> LinuxTunnelConnection::reasonFromFile() const
{
    const RegularFile::Content content =
        RegularFile::read(m_channel.reasonPath(), kMaxReasonFileSize);
    if (content.outcome != RegularFile::Content::Outcome::Read)
        return std::nullopt;
    return TunnelChannel::parseReasonLine(content.data);
}

void LinuxTunnelConnection::noteAuthString(TunnelStatus status)
{
    // The signed string stays stored while the tunnel runs (scripts read the order and choices
    // from it) and goes once it is down; only the string this tunnel ran with, so a late
    // observer never clears the one a reconnect has saved since.
    if (status == TunnelStatus::Connecting || status == TunnelStatus::Connected ||
        status == TunnelStatus::Reasserting) {
        if (m_runningAuth.isEmpty())
            m_runningAuth = m_store->storedAuthString(m_identifier);
    } else if (status == TunnelStatus::Disconnected && !m_runningAuth.isEmpty()) {
        m_store->forgetAuthString(m_identifier, std::exchange(m_runningAuth, {}));
    }
}

void LinuxTunnelConnection::setStatus(TunnelStatus status)
{
    if (m_current == status)
        return;
    m_current = status;
    noteAuthString(status);
    if (status == TunnelStatus::Disconnected) {
        m_localProxy.reset();
        dropTraffic();
        if (!m_endReason)
            m_endReason = reasonFromFile();
    }
    QMetaObject::invokeMethod(
        this,
        [this, status] {
            m_published = status;
            Q_EMIT statusChanged();
        },
        Qt::QueuedConnection);
}

} // namespace corvane
