#include "platform/files/CorruptCopies.h"
#include "platform/files/FileLock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

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

// The locks and corrupt copies beside the application's own files. Reading and writing those
// files is tested through the settings and profile stores.
class TestFiles final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
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
        QVERIFY(QFile::link(path(QStringLiteral("elsewhere")), lockPath));
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
