#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace corvane {

// One windowed corvane per user: the first holds a lock in the runtime folder and listens on a
// socket beside it; a later one asks it to show its window and steps back. corvanectl tells it
// the same way when the account was signed out.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    enum class Claim
    {
        // This process is the one: it listens for later launches.
        first,
        // The running one was asked to show its window; this process should end.
        handedOff,
        // Another process holds the lock but never answered.
        noAnswer,
    };

    // `folder` is private to the user ($XDG_RUNTIME_DIR/corvane); `handOffMs` bounds how long a
    // later launch waits for the running one to answer.
    explicit SingleInstance(QString folder, int handOffMs = 3000, QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString defaultFolder();

    // Blocks for at most handOffMs, before the event loop runs.
    Claim claim();

    // Tells the window listening in `folder`, if there is one, that the stored password was
    // forgotten elsewhere. Blocks for at most `waitMs`; true when a window took it.
    static bool tellSignedOut(const QString &folder, int waitMs = 1000);

Q_SIGNALS:
    // A later launch asked for the window.
    void activationRequested();
    // corvanectl signed the account out.
    void signOutRequested();

private:
    bool listen();
    void answer();

    QString m_folder;
    int m_handOffMs;
    int m_lockFd = -1;
    QLocalServer *m_server;
};

} // namespace corvane
