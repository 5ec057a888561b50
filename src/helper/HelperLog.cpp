#include "HelperLog.h"

#include "platform/log/LogDestination.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {
constexpr auto kMinute = std::chrono::minutes(1);

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
} // namespace

HelperLog::HelperLog(QString path, std::vector<int> fds, Limits limits,
                     std::function<Clock::time_point()> now)
    : m_path(std::move(path)), m_fds(std::move(fds)), m_limits(limits), m_now(std::move(now))
{
    m_toJournal = !m_fds.empty() && isJournalStream(m_fds.front());
    struct stat file = {};
    if (m_path.isEmpty() || ::lstat(QFile::encodeName(m_path).constData(), &file) != 0 ||
        !S_ISREG(file.st_mode))
        return;
    for (const int fd : m_fds) {
        struct stat opened = {};
        if (::fstat(fd, &opened) == 0 && sameFile(opened, file))
            m_fileFds.push_back(fd);
    }
}

HelperLog::~HelperLog()
{
    for (const Kind &kind : std::as_const(m_kinds))
        tellCounted(kind);
}

bool HelperLog::isJournalStream(int fd)
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat opened = {};
    return !stream.isEmpty() && ::fstat(fd, &opened) == 0 &&
           stream == QByteArray::number(static_cast<quint64>(opened.st_dev)) + ':' +
                         QByteArray::number(static_cast<quint64>(opened.st_ino));
}

QString HelperLog::kindOf(const QString &line)
{
    QString kind;
    kind.reserve(line.size());
    for (const QChar c : line) {
        if (!c.isDigit())
            kind += c;
        else if (!kind.endsWith(u'#'))
            kind += u'#';
    }
    return kind;
}

void HelperLog::write(QtMsgType level, const QString &line)
{
    const Clock::time_point now = m_now();
    QString key = kindOf(line);
    if (!m_kinds.contains(key) && m_kinds.size() >= m_limits.kinds)
        key.clear();
    Kind &kind = m_kinds[key];
    if (kind.written + kind.counted > 0 && now - kind.since >= kMinute) {
        tellCounted(kind);
        kind = Kind();
    }
    if (kind.written + kind.counted == 0)
        kind.since = now;
    if (kind.written < m_limits.repeatsPerMinute) {
        ++kind.written;
        put(level, line);
    } else {
        ++kind.counted;
        kind.lastLevel = level;
        kind.last = line;
    }
}

void HelperLog::flush()
{
    const Clock::time_point now = m_now();
    for (auto it = m_kinds.begin(); it != m_kinds.end();) {
        if (now - it->since < kMinute) {
            ++it;
            continue;
        }
        tellCounted(*it);
        it = m_kinds.erase(it);
    }
}

void HelperLog::tellCounted(const Kind &kind)
{
    if (kind.counted > 0)
        put(kind.lastLevel,
            QStringLiteral("%1 more lines like this one were left out within a minute: %2")
                .arg(kind.counted)
                .arg(kind.last));
}

void HelperLog::put(QtMsgType level, const QString &line)
{
    if (m_fds.empty())
        return;
    QByteArray bytes = line.toUtf8() + '\n';
    if (m_toJournal)
        bytes.prepend(
            '<' + QByteArray::number(static_cast<int>(LogDestination::priorityOf(level))) + '>');
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n =
            ::write(m_fds.front(), bytes.constData() + at, static_cast<size_t>(bytes.size() - at));
        if (n <= 0)
            return;
        at += n;
    }
    struct stat file = {};
    if (!m_fileFds.empty() && ::fstat(m_fileFds.front(), &file) == 0 &&
        file.st_size > m_limits.maxBytes)
        rotate();
}

void HelperLog::rotate()
{
    const QByteArray path = QFile::encodeName(m_path);
    const QByteArray older = path + ".1";
    if (::rename(path.constData(), older.constData()) != 0)
        return;
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    // Writing on into the moved file would grow it without end: better no log.
    if (fd < 0) {
        m_fds.clear();
        return;
    }
    for (const int target : m_fileFds)
        ::dup2(fd, target);
    ::close(fd);
    put(QtInfoMsg, QStringLiteral("The log goes on from %1.1").arg(m_path));
}

} // namespace corvane
