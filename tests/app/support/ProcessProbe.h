#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What the tunnel tests see of processes and files from outside: /proc and stat(), as a user
// would look.
namespace probe {

QByteArray readAll(const QString &path);
// The permission bits of `path` itself (a link is not followed); -1 when it does not exist.
int modeOf(const QString &path);
// Fields after the process name in /proc/PID/stat: state first, then the parent's id.
QList<QByteArray> statFields(qint64 pid);
// Every process still running (zombies excluded) whose command line names `runtimeDir`: the
// tunnel helpers of that folder, and any stand-in started in their place.
QList<qint64> liveHelpers(const QString &runtimeDir);
// Has helpers started with `configHome` as XDG_CONFIG_HOME take free ports for their local
// proxies, so tests running at once do not compete for the fixed ones.
bool useFreeProxyPorts(const QString &configHome);

} // namespace probe
