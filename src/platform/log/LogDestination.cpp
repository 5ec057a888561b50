#include "platform/log/LogDestination.h"

#include "platform/log/Log.h"

#include <QCoreApplication>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace corvane {

namespace {

bool environmentSays(const char *name)
{
    bool ok = false;
    return qEnvironmentVariableIntValue(name, &ok) != 0 && ok;
}

void qtMessageToLog(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    Log::write(type, message);
}

} // namespace

bool LogDestination::standardErrorWanted()
{
    return environmentSays("QT_FORCE_STDERR_LOGGING") || environmentSays("QT_LOGGING_TO_CONSOLE") ||
           ::isatty(STDERR_FILENO) == 1;
}

void LogDestination::followDesktop()
{
    if (!standardErrorWanted())
        toJournalOnly();
}

void LogDestination::toJournalOnly()
{
    Log::setSink(journalSink());
    routeQtMessagesToLog();
}

Log::Sink LogDestination::journalSink(JournalSend send)
{
    return [send = std::move(send)](QtMsgType level, const QString &line) {
        send(line, priorityOf(level));
    };
}

void LogDestination::routeQtMessagesToLog()
{
    qInstallMessageHandler(qtMessageToLog);
}

LogDestination::Priority LogDestination::priorityOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return Priority::debug;
    case QtInfoMsg:
        return Priority::info;
    case QtWarningMsg:
        return Priority::warning;
    case QtCriticalMsg:
    case QtFatalMsg:
        return Priority::error;
    }
    return Priority::info;
}

bool LogDestination::toJournal(const QString &line, Priority priority)
{
    static_assert(static_cast<int>(Priority::error) == LOG_ERR &&
                  static_cast<int>(Priority::warning) == LOG_WARNING &&
                  static_cast<int>(Priority::info) == LOG_INFO &&
                  static_cast<int>(Priority::debug) == LOG_DEBUG);
    const QByteArray name = QCoreApplication::applicationName().toUtf8();
    return sd_journal_send("MESSAGE=%s", line.toUtf8().constData(), "PRIORITY=%i",
                           static_cast<int>(priority), "SYSLOG_IDENTIFIER=%s", name.constData(),
                           nullptr) == 0;
}

} // namespace corvane
