#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

// Where corvanectl's log lines go: the journal, always; standard error as they come with
// --verbose. Without it they are kept, so that a command that fails can show them before its
// reason ("the line above says why"), and one that succeeds prints nothing but its result.
class CtlLog final
{
public:
    // Takes over Log and Qt's messages (to the journal, and with --verbose standard error).
    static void install();
    // From now on lines go to standard error too, those kept first.
    static void setVerbose();
    // The lines kept, to standard error, once.
    static void showKept();
    static void write(QtMsgType level, const QString &line);

private:
    static constexpr qsizetype kKept = 50;
};

} // namespace corvane
