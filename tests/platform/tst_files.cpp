#include "platform/files/CorruptCopies.h"
#include "platform/files/FileLock.h"
#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readRaw(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString &path)
{
    struct stat info
    {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

// The files the application keeps for itself: what is refused, and that nothing blocks.
class TestFiles final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }

    // Puts a file of the kind `kind` at `at`: "regular", "symlink", "dangling", "folder", "fifo".
    void place(const QString &kind, const QString &at)
    {
        const QString target = path(QStringLiteral("target"));
        writeRaw(target, "{\"kept\":true}");
        if (kind == QLatin1String("regular"))
            writeRaw(at, "{\"kept\":true}");
        else if (kind == QLatin1String("symlink"))
            QVERIFY(QFile::link(target, at));
        else if (kind == QLatin1String("dangling"))
            QVERIFY(QFile::link(path(QStringLiteral("nowhere")), at));
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(at));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(at).constData(), 0600), 0);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("reason");
        using O = RegularFile::Content::Outcome;
        QTest::newRow("regular") << QStringLiteral("regular") << int(O::Read) << QString();
        QTest::newRow("missing") << QStringLiteral("missing") << int(O::Missing) << QString();
        QTest::newRow("symlink") << QStringLiteral("symlink") << int(O::Refused)
                                 << QStringLiteral("it is a symbolic link");
        QTest::newRow("dangling symlink") << QStringLiteral("dangling") << int(O::Refused)
                                          << QStringLiteral("it is a symbolic link");
        QTest::newRow("folder") << QStringLiteral("folder") << int(O::Refused)
                                << QStringLiteral("it is a folder");
        // Opening a FIFO for reading waits for a writer: this row hangs without O_NONBLOCK.
        QTest::newRow("fifo") << QStringLiteral("fifo") << int(O::Refused)
                              << QStringLiteral("it is a FIFO");
    }

    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, kind);
        QFETCH(int, outcome);
        QFETCH(QString, reason);
        const QString at = path(QStringLiteral("settings.json"));
        place(kind, at);
        const RegularFile::Content content = RegularFile::read(at, 1024);
        QCOMPARE(int(content.outcome), outcome);
        QCOMPARE(content.reason, reason);
        QCOMPARE(content.data, outcome == int(RegularFile::Content::Outcome::Read)
                                   ? QByteArray("{\"kept\":true}")
                                   : QByteArray());
    }

    void largerThanAllowedIsTooLarge()
    {
        const QString at = path(QStringLiteral("big"));
        writeRaw(at, QByteArray(1025, 'x'));
        QCOMPARE(RegularFile::read(at, 1024).outcome, RegularFile::Content::Outcome::TooLarge);
        QCOMPARE(RegularFile::read(at, 1025).data.size(), 1025);
    }

    void writesNeverGoThroughALinkOrIntoASpecialFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("written");
        QTest::newRow("missing") << QStringLiteral("missing") << true;
        QTest::newRow("regular") << QStringLiteral("regular") << true;
        QTest::newRow("symlink") << QStringLiteral("symlink") << false;
        QTest::newRow("dangling symlink") << QStringLiteral("dangling") << false;
        QTest::newRow("folder") << QStringLiteral("folder") << false;
        QTest::newRow("fifo") << QStringLiteral("fifo") << false;
    }

    void writesNeverGoThroughALinkOrIntoASpecialFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, written);
        const QString at = path(QStringLiteral("profiles.json"));
        place(kind, at);
        const QString target = path(QStringLiteral("target"));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther));
        const std::optional<QString> error = PrivateFile::write(at, "new");
        QCOMPARE(!error.has_value(), written);
        // The link's target keeps its content and its mode; nothing was created behind a
        // dangling link.
        QCOMPARE(readRaw(target), QByteArray("{\"kept\":true}"));
        QCOMPARE(modeOf(target), 0644);
        QVERIFY(!QFile::exists(path(QStringLiteral("nowhere"))));
        if (written) {
            QCOMPARE(readRaw(at), QByteArray("new"));
            QCOMPARE(modeOf(at), 0600);
        }
    }

    void privateFolderIsOwnerOnly()
    {
        const mode_t old = ::umask(0);
        const QString folder = path(QStringLiteral("a/b"));
        QVERIFY(PrivateFile::makeFolder(folder));
        ::umask(old);
        QCOMPARE(modeOf(folder), 0700);
    }

    void lockIsExclusiveAcrossOpenFiles()
    {
        const QString lockPath = path(QStringLiteral("store.lock"));
        {
            FileLock first(lockPath, std::chrono::milliseconds(0));
            QVERIFY(first.isLocked());
            QCOMPARE(modeOf(lockPath), 0600);
            // flock() locks belong to the open file: a second open conflicts even in one
            // process, as a second window process would.
            FileLock second(lockPath, std::chrono::milliseconds(30));
            QVERIFY(!second.isLocked());
            QVERIFY2(second.error().contains(lockPath), qPrintable(second.error()));
        }
        FileLock again(lockPath, std::chrono::milliseconds(0));
        QVERIFY(again.isLocked());
    }

    void lockFileMustBeRegular()
    {
        const QString lockPath = path(QStringLiteral("store.lock"));
        place(QStringLiteral("symlink"), lockPath);
        FileLock lock(lockPath, std::chrono::milliseconds(0));
        QVERIFY(!lock.isLocked());
        QVERIFY2(lock.error().contains(QStringLiteral("symbolic link")), qPrintable(lock.error()));
    }

    void corruptCopiesKeepTheNewestFive()
    {
        const QString at = path(QStringLiteral("settings.json"));
        QStringList made;
        for (int i = 0; i < 7; ++i) {
            writeRaw(at, QByteArray::number(i));
            QFile::setPermissions(at, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
            const std::optional<QString> copy = CorruptCopies::moveAside(at);
            QVERIFY(copy);
            QVERIFY(!QFile::exists(at));
            QCOMPARE(modeOf(*copy), 0600);
            made << *copy;
        }
        const QStringList kept = CorruptCopies::copies(at);
        QCOMPARE(kept, made.mid(2));
        for (int i = 0; i < kept.size(); ++i)
            QCOMPARE(readRaw(kept.at(i)), QByteArray::number(i + 2));
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
