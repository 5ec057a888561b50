#pragma once

#include <QString>

namespace corvane {

// Where a program's log lines and Qt's own messages go: standard error while someone reads it
// on a terminal, the systemd journal otherwise, as Qt itself does where it is built with journal
// support. QT_FORCE_STDERR_LOGGING=1 (or the older QT_LOGGING_TO_CONSOLE=1) keeps them on
// standard error.
class LogDestination final
{
public:
    // Whether standard error is the place: a terminal, or asked for.
    static bool standardErrorWanted();
    // Sends both kinds of line to the journal unless standardErrorWanted().
    static void followDesktop();
    // Sends both kinds of line to the journal, wherever standard error goes.
    static void toJournalOnly();
    // Sends Qt's messages into Log::write, wherever its sink takes them.
    static void routeQtMessagesToLog();
    // One line into the journal under this program's name; false when there is no journal.
    static bool toJournal(const QString &line);
};

} // namespace corvane
