#include "TunnelHelper.h"

#include "HelperConfiguration.h"
#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {
// The configuration is seven short values and the rules document.
constexpr qint64 kMaxConfigurationSize = 1024 * 1024;

constexpr int kServiceTimeoutMs = 5000;
constexpr int kCloseTimeoutMs = 1000;

QNetworkRequest serviceRequest(const QUrl &service, const QString &path, int timeoutMs)
{
    QNetworkRequest request(QUrl(service.toString(QUrl::StripTrailingSlash) + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain"));
    request.setTransferTimeout(timeoutMs);
    return request;
}

} // namespace

TunnelHelper::TunnelHelper(TunnelChannel channel, int connectDelayMs, QUrl checkService,
                           QObject *parent)
    : QObject(parent), m_channel(std::move(channel)), m_connectDelayMs(connectDelayMs),
      m_checkService(std::move(checkService)), m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &TunnelHelper::attachClient);
}

TunnelHelper::~TunnelHelper()
{
    releaseChannel();
}

void TunnelHelper::releaseChannel()
{
    // A window that reads "disconnected" may start the next helper at once: by then that one
    // must find neither this socket nor the lock.
    if (m_server->isListening()) {
        m_server->close();
        QFile::remove(m_channel.statusPath());
    }
    if (m_lockFd >= 0)
        ::close(std::exchange(m_lockFd, -1));
}

bool TunnelHelper::begin()
{
    if (!takeLock()) {
        // The running helper already read its own configuration; this copy must not linger.
        QFile::remove(m_channel.configPath());
        Log::write(QStringLiteral("A tunnel helper is already running for this profile"));
        return false;
    }
    if (!readConfiguration()) {
        setStatus(TunnelStatus::Disconnected);
        return false;
    }
    setStatus(TunnelStatus::Connecting);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_channel.socketPath());
    if (!m_server->listen(m_channel.socketPath())) {
        Log::write(QStringLiteral("Cannot open %1: %2")
                       .arg(m_channel.socketPath(), m_server->errorString()));
        setStatus(TunnelStatus::Disconnected);
        return false;
    }
    if (!m_checkService.isEmpty() && m_checkService.isValid())
        checkWithService();
    else
        comeUp();
    return true;
}

void TunnelHelper::comeUp()
{
    QTimer::singleShot(m_connectDelayMs, this, [this] {
        if (m_status == TunnelStatus::Connecting)
            setStatus(TunnelStatus::Connected);
    });
}

void TunnelHelper::checkWithService()
{
    m_network = new QNetworkAccessManager(this);
    QNetworkReply *reply = m_network->post(
        serviceRequest(m_checkService, QStringLiteral("/vpnApp/tunnel/open"), kServiceTimeoutMs),
        m_auth);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (m_status != TunnelStatus::Connecting)
            return;
        const QJsonObject envelope = QJsonDocument::fromJson(reply->readAll()).object();
        if (reply->error() == QNetworkReply::NoError &&
            envelope.value(QLatin1String("code")).toInteger(-1) == 0) {
            const QJsonObject exit = envelope.value(QLatin1String("result")).toObject();
            Log::write(QStringLiteral("The service accepted the tunnel; exit address %1")
                           .arg(exit.value(QLatin1String("ip")).toString()));
            m_accepted = true;
            comeUp();
            return;
        }
        const QString reason = envelope.value(QLatin1String("message")).isString()
                                   ? envelope.value(QLatin1String("message")).toString()
                                   : reply->errorString();
        Log::write(QStringLiteral("Refusing to connect: the service refused the tunnel: ") +
                   reason);
        finish();
    });
}

bool TunnelHelper::takeLock()
{
    // flock, unlike a pid in a lock file, is released by the kernel however the helper ends.
    m_lockFd = ::open(QFile::encodeName(m_channel.lockPath()).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return m_lockFd >= 0 && ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;
}

bool TunnelHelper::readConfiguration()
{
    const QString path = m_channel.configPath();
    const RegularFile::Content content = RegularFile::read(path, kMaxConfigurationSize);
    using Outcome = RegularFile::Content::Outcome;
    if (content.outcome != Outcome::Read) {
        const QString why = content.outcome == Outcome::Missing ? QStringLiteral("it is missing")
                            : content.outcome == Outcome::TooLarge
                                ? QStringLiteral("it is too large")
                                : content.reason;
        Log::write(QStringLiteral("Refusing to connect: cannot read %1: %2").arg(path, why));
        if (content.outcome == Outcome::TooLarge)
            QFile::remove(path);
        return false;
    }
    QFile::remove(path);
    const QString problem = HelperConfiguration::problem(content.data);
    if (!problem.isEmpty()) {
        Log::write(QStringLiteral("Refusing to connect: ") + problem);
        return false;
    }
    m_auth = QJsonDocument::fromJson(content.data).object().value(QLatin1String("ss_auth")).toString().toUtf8();
    return true;
}

void TunnelHelper::attachClient()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        m_clients << client;
        m_commandLines.insert(client, ChannelLines());
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readCommands(client); });
        connect(client, &QLocalSocket::disconnected, this, [this, client] {
            m_clients.removeOne(client);
            m_commandLines.remove(client);
            client->deleteLater();
        });
        client->write(tunnelStatusName(m_status).toUtf8() + '\n');
        client->flush();
    }
}

void TunnelHelper::readCommands(QLocalSocket *client)
{
    const QList<QByteArray> lines = m_commandLines[client].append(client->readAll());
    for (const QByteArray &line : lines) {
        if (TunnelChannel::isStopCommand(line))
            stopTunnel();
    }
}

void TunnelHelper::stopTunnel()
{
    if (m_status == TunnelStatus::Disconnecting)
        return;
    setStatus(TunnelStatus::Disconnecting);
    if (!m_accepted) {
        // Let the windows read the last line before the socket goes away.
        QTimer::singleShot(0, this, &TunnelHelper::finish);
        return;
    }
    // The service stops reporting this tunnel's exit address; a service that does not answer
    // in time does not keep the tunnel from going down.
    QNetworkReply *reply = m_network->post(
        serviceRequest(m_checkService, QStringLiteral("/vpnApp/tunnel/close"), kCloseTimeoutMs),
        m_auth);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        finish();
    });
}

void TunnelHelper::finish()
{
    if (m_status == TunnelStatus::Disconnected)
        return;
    releaseChannel();
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
        Log::write(QStringLiteral("Cannot write %1: %2").arg(m_channel.statusPath(), *error));
    broadcast(name + '\n');
}

void TunnelHelper::broadcast(const QByteArray &line)
{
    for (QLocalSocket *client : std::as_const(m_clients)) {
        client->write(line);
        client->flush();
    }
}

} // namespace corvane
