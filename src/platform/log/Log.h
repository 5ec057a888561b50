#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace corvane {

// Log lines with Qt's message types as their levels: debug for per-connection detail, info for
// the steps a person follows, warning for what went wrong or was refused, critical for what
// stops a program. Callers never pass the password, an order secret or an authentication
// string.
class Log final
{
public:
    using Sink = std::function<void(QtMsgType level, const QString &line)>;

    static void write(QtMsgType level, const QString &line);
    static void debug(const QString &line) { write(QtDebugMsg, line); }
    static void info(const QString &line) { write(QtInfoMsg, line); }
    static void warning(const QString &line) { write(QtWarningMsg, line); }
    static void critical(const QString &line) { write(QtCriticalMsg, line); }
    // A warning the person at the program must read even where the log goes unread (a password
    // kept somewhere less safe than asked): where the warning sink sends it, else as warning().
    static void warn(const QString &line);
    // Replaces where lines go (stderr, without the level, by default); returns the previous
    // sink. An empty sink restores stderr.
    static Sink setSink(Sink sink);
    static Sink setWarningSink(Sink sink);
};

} // namespace corvane
