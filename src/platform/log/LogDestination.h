#pragma once

#include "platform/log/Log.h"

#include <QString>
#include <QtGlobal>

namespace corvane {

// Where a program's log lines and Qt's own messages go: standard error while someone reads it
// on a terminal, the systemd journal otherwise, as Qt itself does where it is built with journal
// support. QT_FORCE_STDERR_LOGGING=1 (or the older QT_LOGGING_TO_CONSOLE=1) keeps them on
// standard error.
class LogDestination final
{
public:
    // The journal's priorities (syslog's levels, sd-daemon's SD_ERR...SD_DEBUG).
    enum class Priority
    {
        error = 3,
        warning = 4,
        info = 6,
        debug = 7
    };
    static Priority priorityOf(QtMsgType type);

    // Whether standard error is the place: a terminal, or asked for.
    static bool standardErrorWanted();
    // Sends both kinds of line to the journal unless standardErrorWanted().
    static void followDesktop();
    // Sends both kinds of line to the journal, wherever standard error goes.
    static void toJournalOnly();
    using JournalSend = std::function<bool(const QString &line, Priority priority)>;
    // Log's lines into the journal, each at its level's priority; `send` stands in for the
    // journal in tests.
    static Log::Sink journalSink(JournalSend send = &LogDestination::toJournal);
    // Sends Qt's messages into Log::write, wherever its sink takes them.
    static void routeQtMessagesToLog();
    // One line into the journal under this program's name; false when there is no journal.
    static bool toJournal(const QString &line, Priority priority = Priority::info);
};

} // namespace corvane
