#include "HelperLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using namespace std::chrono_literals;

// The helper's log under a flood, on a clock the test moves: repeats are counted past a few a
// minute, and the file is rotated at its size.
class tst_HelperLog final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void repeatsAreCountedPastAFewAMinute();
    void theFileIsRotatedAtItsSize();

private:
    QByteArray read(const QString &suffix = {}) const;
    std::unique_ptr<HelperLog> open(HelperLog::Limits limits);

    QTemporaryDir m_dir;
    QString m_path;
    int m_fd = -1;
    HelperLog::Clock::time_point m_now;
};

void tst_HelperLog::init()
{
    m_path = m_dir.filePath(QStringLiteral("tunnel.log"));
    QFile::remove(m_path);
    QFile::remove(m_path + QStringLiteral(".1"));
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    QVERIFY(m_fd >= 0);
}

void tst_HelperLog::cleanup()
{
    ::close(m_fd);
}

QByteArray tst_HelperLog::read(const QString &suffix) const
{
    QFile file(m_path + suffix);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::unique_ptr<HelperLog> tst_HelperLog::open(HelperLog::Limits limits)
{
    return std::make_unique<HelperLog>(m_path, std::vector<int>{m_fd}, limits,
                                       [this] { return m_now; });
}

void tst_HelperLog::repeatsAreCountedPastAFewAMinute()
{
    auto log = open({});
    const auto refusal = [](int i) {
        return QStringLiteral("Refused a connection from 127.0.0.1:%1: it belongs to uid 1001")
            .arg(40000 + i);
    };
    for (int i = 0; i < 1000; ++i)
        log->write(QtInfoMsg, refusal(i));
    log->write(QtInfoMsg, QStringLiteral("Local proxies are up"));
    QCOMPARE(read().count("Refused a connection"), 10);
    QVERIFY(read().contains("Local proxies are up"));
    m_now += 59s;
    log->flush();
    QVERIFY(!read().contains("left out"));
    m_now += 1s;
    log->flush();
    QVERIFY2(read().contains("990 more lines like this one were left out within a minute: "
                             "Refused a connection from 127.0.0.1:40999"),
             read().constData());
    // A new minute starts with a clean slate, and what is counted at the end is told too.
    for (int i = 0; i < 12; ++i)
        log->write(QtInfoMsg, refusal(i));
    log.reset();
    QCOMPARE(read().count("Refused a connection"), 10 + 1 + 10 + 1);
    QVERIFY(read().contains("2 more lines like this one"));
}

void tst_HelperLog::theFileIsRotatedAtItsSize()
{
    HelperLog::Limits limits;
    limits.maxBytes = 4096;
    limits.repeatsPerMinute = 1000000;
    auto log = open(limits);
    const QString line = QStringLiteral("a line of the log, %1 bytes long with its number ");
    for (int i = 0; i < 1000; ++i)
        log->write(QtInfoMsg, line.arg(i));
    const QByteArray current = read();
    const QByteArray older = read(QStringLiteral(".1"));
    QVERIFY2(current.size() <= limits.maxBytes + 100,
             QByteArray::number(current.size()).constData());
    QVERIFY(older.size() > limits.maxBytes && older.size() <= limits.maxBytes + 100);
    QVERIFY(current.startsWith(
        QByteArray("The log goes on from " + QFile::encodeName(m_path) + ".1\n")));
    QVERIFY(current.endsWith(QByteArray(line.arg(999).toUtf8() + '\n')));
    // Only the file it was given is rotated: a pipe or a terminal is written on unchanged.
    int ends[2];
    QCOMPARE(::pipe(ends), 0);
    // Made the journal's stream, it takes each line's priority before the line.
    struct stat pipe = {};
    QCOMPARE(::fstat(ends[1], &pipe), 0);
    qputenv("JOURNAL_STREAM", QByteArray::number(static_cast<quint64>(pipe.st_dev)) + ':' +
                                  QByteArray::number(static_cast<quint64>(pipe.st_ino)));
    HelperLog toPipe(m_path, {ends[1]}, limits, [this] { return m_now; });
    qunsetenv("JOURNAL_STREAM");
    toPipe.write(QtWarningMsg, QString(5000, u'x'));
    char priority[4] = {};
    QCOMPARE(::read(ends[0], priority, 3), 3);
    QCOMPARE(QByteArray(priority), QByteArray("<4>"));
    QCOMPARE(read(QStringLiteral(".1")), older);
    ::close(ends[0]);
    ::close(ends[1]);
}

QTEST_GUILESS_MAIN(tst_HelperLog)
#include "tst_helperlog.moc"
