#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <vector>

namespace corvane {

// The helper's log, kept small whoever floods it: lines that differ only in their numbers are
// repeats, of which a few a minute are written and the rest counted, the count told once the
// minute is over; and the file is moved to `<path>.1` (replacing the one before) once it passes
// a size, a new one taking its place. Where the first descriptor is the journal's stream (the
// helper run by systemd), each line starts with its level's priority, as in "<4>", which the
// journal takes as the line's priority (sd-daemon(3)) and drops from the text.
class HelperLog final
{
public:
    using Clock = std::chrono::steady_clock;
    struct Limits
    {
        int repeatsPerMinute = 10;
        qint64 maxBytes = 1024 * 1024;
        // Kinds of line followed at once; lines of further kinds are counted together.
        int kinds = 256;
    };

    // Writes to the first of `fds`. Those of them that are the file at `path` when made (not a
    // terminal, a pipe or the journal) are moved on to the new file at each rotation.
    HelperLog(QString path, std::vector<int> fds, Limits limits,
              std::function<Clock::time_point()> now);
    // Whether `fd` is the journal's stream that systemd gave this process ($JOURNAL_STREAM).
    static bool isJournalStream(int fd);
    // Tells what is still counted.
    ~HelperLog();
    HelperLog(const HelperLog &) = delete;
    HelperLog &operator=(const HelperLog &) = delete;

    void write(QtMsgType level, const QString &line);
    // Tells the counts of the minutes that are over.
    void flush();

private:
    struct Kind
    {
        Clock::time_point since;
        int written = 0;
        qint64 counted = 0;
        QtMsgType lastLevel = QtInfoMsg;
        QString last;
    };

    static QString kindOf(const QString &line);
    void tellCounted(const Kind &kind);
    void put(QtMsgType level, const QString &line);
    void rotate();

    QString m_path;
    std::vector<int> m_fds;
    std::vector<int> m_fileFds;
    bool m_toJournal = false;
    Limits m_limits;
    std::function<Clock::time_point()> m_now;
    QHash<QString, Kind> m_kinds;
};

} // namespace corvane
