#include "launch/SingleInstance.h"

#include "platform/files/PrivateFile.h"
#include "platform/log/Log.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {
const QByteArray kActivate = QByteArrayLiteral("activate\n");
const QByteArray kSignedOut = QByteArrayLiteral("signed-out\n");
const QByteArray kDone = QByteArrayLiteral("ok\n");
constexpr qint64 kLongestMessage = 64;
// Between the lock and the socket the first process needs only a moment.
constexpr int kRetryMs = 20;

QString lockPath(const QString &folder)
{
    return folder + QStringLiteral("/instance.lock");
}

// The lock file at `path`, open and locked with flock(2), which the kernel lets go with the
// process however it ends; -1 when another process holds it (`held`) or it cannot be made.
// QLockFile would also write and sync its owner's details, and read the boot and machine ids,
// all before the first window could paint.
int lockedFile(const QByteArray &path, bool &held)
{
    for (;;) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0)
            return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            held = errno == EWOULDBLOCK;
            ::close(fd);
            return -1;
        }
        // The holder before may have removed the file between the open and the lock.
        struct stat locked = {}, named = {};
        if (::fstat(fd, &locked) == 0 && ::stat(path.constData(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
            // One made before with the umask's mode: like every file here it is the user's.
            ::fchmod(fd, S_IRUSR | S_IWUSR);
            return fd;
        }
        ::close(fd);
    }
}

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

SingleInstance::~SingleInstance()
{
    // Removed while still locked, so that no later launch can lock the file once unlinked
    // (claim checks it locked the file the name still names), and a corvane that used
    // QLockFile finds no lock it would think held.
    if (m_lockFd >= 0) {
        ::unlink(QFile::encodeName(lockPath(m_folder)).constData());
        ::close(m_lockFd);
    }
}

QString SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/corvane");
}

SingleInstance::Claim SingleInstance::claim()
{
    PrivateFile::makeFolder(m_folder);
    bool held = false;
    m_lockFd = lockedFile(QFile::encodeName(lockPath(m_folder)), held);
    if (m_lockFd >= 0) {
        if (!listen())
            Log::warning(QStringLiteral("无法监听 %1：%2")
                             .arg(m_server->fullServerName(), m_server->errorString()));
        return Claim::first;
    }
    if (!held) {
        // Nobody holds the lock; the folder is unusable. One window is still better than none.
        Log::warning(
            QStringLiteral("无法创建 %1，不检查是否已有 corvane 在运行").arg(lockPath(m_folder)));
        return Claim::first;
    }
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
