#include "launch/SingleInstance.h"

#include "platform/files/PrivateFile.h"
#include "platform/log/Log.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace corvane {

namespace {
const QByteArray kActivate = QByteArrayLiteral("activate\n");
const QByteArray kSignedOut = QByteArrayLiteral("signed-out\n");
const QByteArray kDone = QByteArrayLiteral("ok\n");
constexpr qint64 kLongestMessage = 64;
// Between the lock and the socket the first process needs only a moment.
constexpr int kRetryMs = 20;

QString socketPath(const QString &folder)
{
    return folder + QStringLiteral("/instance.sock");
}

// Sends `message` to the window listening in `folder` and waits for its answer; `retry` keeps
// trying to reach it until the deadline, for a window that has the lock but no socket yet.
bool ask(const QString &folder, const QByteArray &message, int waitMs, bool retry)
{
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    while (!deadline.hasExpired()) {
        socket.connectToServer(socketPath(folder));
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(message);
            socket.flush();
            while (!socket.canReadLine() &&
                   socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            }
            return socket.canReadLine() && socket.readLine() == kDone;
        }
        socket.abort();
        if (!retry)
            return false;
        QThread::msleep(kRetryMs);
    }
    return false;
}
} // namespace

SingleInstance::SingleInstance(QString folder, int handOffMs, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_handOffMs(handOffMs),
      m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/corvane");
}

SingleInstance::Claim SingleInstance::claim()
{
    PrivateFile::makeFolder(m_folder);
    const QString lockPath = m_folder + QStringLiteral("/instance.lock");
    m_lock = std::make_unique<QLockFile>(lockPath);
    // Only a lock whose process is gone is stale, however long the first one has been running.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        // QLockFile creates it with the umask's mode; like every file here it is the user's.
        QFile::setPermissions(lockPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!listen())
            Log::write(QStringLiteral("无法监听 %1：%2")
                           .arg(m_server->fullServerName(), m_server->errorString()));
        return Claim::first;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        // Nobody holds the lock; the folder is unusable. One window is still better than none.
        Log::write(QStringLiteral("无法创建 %1，不检查是否已有 corvane 在运行")
                       .arg(m_folder + QStringLiteral("/instance.lock")));
        m_lock.reset();
        return Claim::first;
    }
    m_lock.reset();
    return ask(m_folder, kActivate, m_handOffMs, true) ? Claim::handedOff : Claim::noAnswer;
}

bool SingleInstance::tellSignedOut(const QString &folder, int waitMs)
{
    return ask(folder, kSignedOut, waitMs, false);
}

bool SingleInstance::listen()
{
    const QString name = socketPath(m_folder);
    // The lock is ours, so a socket file left there belongs to a process that is gone.
    QLocalServer::removeServer(name);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    return m_server->listen(name);
}

void SingleInstance::answer()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine()) {
                // Every message is one short line; a longer one is not ours and is not kept.
                if (client->bytesAvailable() > kLongestMessage)
                    client->abort();
                return;
            }
            const QByteArray message = client->readLine();
            if (message == kActivate || message == kSignedOut) {
                client->write(kDone);
                client->flush();
                if (message == kActivate)
                    Q_EMIT activationRequested();
                else
                    Q_EMIT signOutRequested();
            }
            client->disconnectFromServer();
        });
    }
}

} // namespace corvane
