#pragma once

#include <QList>
#include <QString>

namespace corvane {

// The tunnel helpers running for this user, found by their command line ("--channel <base>"),
// which names the only thing that tells them apart. A process id is only acted on after its
// command line has been read again, so a recycled id never gets a signal meant for a helper.
class HelperProcesses final
{
public:
    struct Helper
    {
        qint64 pid = 0;
        QString channelBase;
    };

    // Every live helper of this user whose channel lies in `runtimeDir`.
    static QList<Helper> running(const QString &runtimeDir);
    // True while `pid` runs (a zombie counts as ended).
    static bool isAlive(qint64 pid);
    // True while `pid` runs as the helper of `channelBase`.
    static bool isHelperOf(qint64 pid, const QString &channelBase);
    // Sends `signalNumber` to `pid` if it still is the helper of `channelBase`.
    static bool signal(qint64 pid, const QString &channelBase, int signalNumber);
};

} // namespace corvane
