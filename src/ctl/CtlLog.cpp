#include "ctl/CtlLog.h"

#include "ctl/TerminalText.h"
#include "platform/log/Log.h"
#include "platform/log/LogDestination.h"

#include <cstdio>

namespace corvane {

namespace {

struct State
{
    bool verbose = false;
    QStringList kept;
};

State &state()
{
    static State current;
    return current;
}

void toStandardError(const QString &line)
{
    // Log lines quote the service and files too.
    const QByteArray bytes = TerminalText::printable(line).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

void CtlLog::install()
{
    // Qt's own warnings are of no use to replay: corvanectl says what matters in its words.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        LogDestination::toJournal(message, LogDestination::priorityOf(type));
        if (state().verbose)
            toStandardError(message);
    });
    Log::setSink(&CtlLog::write);
    Log::setWarningSink([](QtMsgType level, const QString &line) {
        LogDestination::toJournal(line, LogDestination::priorityOf(level));
        toStandardError(line);
    });
}

void CtlLog::setVerbose()
{
    state().verbose = true;
    showKept();
}

void CtlLog::showKept()
{
    for (const QString &line : std::exchange(state().kept, {}))
        toStandardError(line);
}

void CtlLog::write(QtMsgType level, const QString &line)
{
    LogDestination::toJournal(line, LogDestination::priorityOf(level));
    if (state().verbose) {
        toStandardError(line);
        return;
    }
    state().kept.append(line);
    if (state().kept.size() > kKept)
        state().kept.removeFirst();
}

} // namespace corvane
