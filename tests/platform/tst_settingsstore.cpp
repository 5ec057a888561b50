#include "platform/files/CorruptCopies.h"
#include "platform/files/PrivateFile.h"
#include "platform/log/Log.h"
#include "platform/settings/SettingsStore.h"
#include "platform/tunnel/linux/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {
mode_t modeOf(const QString &path)
{
    struct stat info
    {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

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

// Stand-ins for write(2): half of what is asked and then a full disk, or one byte at a time.
bool g_wroteOnce = false;
ssize_t halfThenFull(int fd, const void *data, size_t size)
{
    errno = ENOSPC;
    return std::exchange(g_wroteOnce, true) ? -1 : ::write(fd, data, size / 2);
}
ssize_t oneByteEach(int fd, const void *data, size_t)
{
    return ::write(fd, data, 1);
}
} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("nested/settings.json")); }

    QStringList m_log;

private Q_SLOTS:
    void init()
    {
        m_log.clear();
        Log::setSink([this](QtMsgType, const QString &line) { m_log << line; });
    }

    void cleanup()
    {
        Log::setSink({});
        QDir(QFileInfo(path()).path()).removeRecursively();
        QDir(m_dir.filePath(QStringLiteral("Corvane"))).removeRecursively();
        QFile::remove(m_dir.filePath(QStringLiteral("elsewhere.json")));
    }

    void secondStoreSeesTheLastWrite()
    {
        SettingsStore first(path());
        SettingsStore second(path());
        QVERIFY(first.setObject(QStringLiteral("a"), QStringLiteral("k")));
        QCOMPARE(second.string(QStringLiteral("k")), std::optional<QString>(QStringLiteral("a")));
        QVERIFY(second.setObject(QStringLiteral("b"), QStringLiteral("k")));
        QCOMPARE(first.string(QStringLiteral("k")), std::optional<QString>(QStringLiteral("b")));
    }

    void fileIsOwnerOnlyWhateverTheUmask()
    {
        const mode_t old = ::umask(0);
        SettingsStore store(path());
        store.setObject(QStringLiteral("secret"), QStringLiteral("pwdNum"));
        ::umask(old);
        QCOMPARE(modeOf(path()), mode_t(0600));
    }

    void looseModeIsTightenedAtStart()
    {
        SettingsStore(path()).setObject(QStringLiteral("x"), QStringLiteral("k"));
        QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ReadOther);
        SettingsStore reopened(path());
        QCOMPARE(modeOf(path()), mode_t(0600));
    }

    void corruptFileIsKeptAsideAndLogged_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage") << QByteArray::fromHex("00ff7b7b7b6e6f74206a736f6e");
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("truncated") << QByteArray("{\"phoneNum\":\"138");
        QTest::newRow("larger than a settings file")
            << QByteArray("{\"k\":\"") + QByteArray(SettingsStore::kMaxFileSize, 'x') + "\"}";
    }

    // The other keys of a broken file cannot be read back, but the next write must not be the
    // end of them: the file is kept aside, and the log says where.
    void corruptFileIsKeptAsideAndLogged()
    {
        QFETCH(QByteArray, bytes);
        SettingsStore store(path());
        QVERIFY(store.setObject(QStringLiteral("x"), QStringLiteral("k")));
        writeRaw(path(), bytes);
        QVERIFY(store.object(QStringLiteral("k")).isUndefined());
        QCOMPARE(m_log.size(), 1);
        QVERIFY2(m_log.first().contains(path()) &&
                     m_log.first().contains(QStringLiteral("corrupt")),
                 qPrintable(m_log.first()));

        QVERIFY(store.setObject(QStringLiteral("y"), QStringLiteral("k")));
        QCOMPARE(store.string(QStringLiteral("k")), std::optional<QString>(QStringLiteral("y")));
        const QStringList copies = CorruptCopies::copies(path());
        QCOMPARE(copies.size(), 1);
        QVERIFY(m_log.first().contains(copies.first()));
        QCOMPARE(readRaw(copies.first()), bytes);
        QCOMPARE(modeOf(copies.first()), mode_t(0600));
    }

    // A file that exists but cannot be read holds keys this store cannot see: writing the one
    // key would drop them all.
    void unreadableFileIsNeverWrittenOver_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symlink") << QStringLiteral("symlink");
        QTest::newRow("fifo") << QStringLiteral("fifo");
    }

    void unreadableFileIsNeverWrittenOver()
    {
        QFETCH(QString, kind);
        const QString target = m_dir.filePath(QStringLiteral("elsewhere.json"));
        writeRaw(target, "{\"pwdNum\":\"kept\"}");
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadOther));
        QVERIFY(QDir().mkpath(QFileInfo(path()).path()));
        if (kind == QLatin1String("symlink"))
            QVERIFY(QFile::link(target, path()));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);

        SettingsStore store(path());
        // A FIFO would block this read for good if it were opened the ordinary way.
        QVERIFY(store.object(QStringLiteral("pwdNum")).isUndefined());
        QVERIFY(!store.setObject(QStringLiteral("new"), QStringLiteral("phoneNum")));
        QCOMPARE(readRaw(target), QByteArray("{\"pwdNum\":\"kept\"}"));
        QCOMPARE(modeOf(target), mode_t(0604));
        QVERIFY(QFileInfo(path()).isSymLink() == (kind == QLatin1String("symlink")));
        QVERIFY(CorruptCopies::copies(path()).isEmpty());
        QVERIFY(!m_log.isEmpty());
        for (const QString &line : std::as_const(m_log))
            QVERIFY2(line.contains(path()), qPrintable(line));
    }

    void folderIsOwnerOnly()
    {
        const mode_t old = ::umask(022);
        QVERIFY(SettingsStore(path()).setObject(QStringLiteral("x"), QStringLiteral("k")));
        ::umask(old);
        QCOMPARE(modeOf(QFileInfo(path()).path()), mode_t(0700));
    }

    void legacyFileMovesOnce()
    {
        const QString legacy = m_dir.filePath(QStringLiteral("Corvane/settings.json"));
        QVERIFY(QDir().mkpath(QFileInfo(legacy).path()));
        writeRaw(legacy, "{\"phoneNum\":\"138\"}");
        QVERIFY(SettingsStore::moveLegacyFile(legacy, path()));
        QCOMPARE(SettingsStore(path()).string(QStringLiteral("phoneNum")),
                 std::optional<QString>(QStringLiteral("138")));
        QVERIFY(!QFileInfo::exists(QFileInfo(legacy).path()));
        QCOMPARE(modeOf(QFileInfo(path()).path()), mode_t(0700));

        // A file at both places: the new one wins and the old one stays untouched.
        QVERIFY(QDir().mkpath(QFileInfo(legacy).path()));
        writeRaw(legacy, "{\"phoneNum\":\"old\"}");
        QVERIFY(!SettingsStore::moveLegacyFile(legacy, path()));
        QCOMPARE(SettingsStore(path()).string(QStringLiteral("phoneNum")),
                 std::optional<QString>(QStringLiteral("138")));
        QCOMPARE(readRaw(legacy), QByteArray("{\"phoneNum\":\"old\"}"));
    }

    void failedWriteKeepsTheOldFiles_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("saved");
        QTest::newRow("short write, then the disk is full") << u"short"_s << false;
        QTest::newRow("a full file system") << u"tmpfs"_s << false;
        QTest::newRow("one byte per write") << u"bytewise"_s << true;
    }

    // A write that fails anywhere up to its commit is reported and changes nothing on disk:
    // the next read finds the old content, not a file to call corrupt.
    void failedWriteKeepsTheOldFiles()
    {
        QFETCH(QString, failure);
        QFETCH(bool, saved);
        const QString folder = m_dir.filePath(u"disk"_s);
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {folder}); });
        if (failure == u"tmpfs"_s &&
            QProcess::execute(u"mount"_s, {u"-ttmpfs"_s, u"-osize=64k"_s, u"tmpfs"_s, folder}) != 0)
            QSKIP("mounting a small tmpfs is not allowed here (it needs root)");

        SettingsStore settings(folder + u"/settings.json"_s);
        const ProfileFile profiles(folder + u"/profiles.json"_s);
        const auto add = [](QList<StoredProfile> &list) {
            list << StoredProfile{QString::number(list.size()), true, {}, std::nullopt};
            return std::optional<TunnelError>();
        };
        QVERIFY(settings.setObject(u"13800000001"_s, u"phoneNum"_s) && !profiles.modify(add));
        const QByteArray before = readRaw(settings.filePath()) + readRaw(profiles.path());

        g_wroteOnce = false;
        if (failure == u"short"_s)
            PrivateFile::setWriteCall(&halfThenFull);
        else if (failure == u"bytewise"_s)
            PrivateFile::setWriteCall(&oneByteEach);
        else
            writeRaw(folder + u"/filler"_s, QByteArray(64 * 1024, 'x'));
        const bool settingsSaved = settings.setObject(u"secret"_s, u"pwdNum"_s);
        const bool profilesSaved = !profiles.modify(add);
        PrivateFile::setWriteCall(nullptr);
        QCOMPARE(settingsSaved, saved);
        QCOMPARE(profilesSaved, saved);
        QCOMPARE(settings.string(u"pwdNum"_s).has_value(), saved);
        QCOMPARE(std::get<QList<StoredProfile>>(profiles.read()).size(), saved ? 2 : 1);
        QCOMPARE(readRaw(settings.filePath()) + readRaw(profiles.path()) == before, !saved);
        // Nothing was called corrupt, and nothing half-written is left beside the files.
        QCOMPARE(QDir(folder).entryList(QDir::Files).filter(u"."_s),
                 QStringList({u"profiles.json"_s, u"profiles.json.lock"_s, u"settings.json"_s}));
    }

    void folderInPlaceOfTheFileFailsCleanly()
    {
        const QString blocked = m_dir.filePath(QStringLiteral("blocked.json"));
        QVERIFY(QDir().mkpath(blocked));
        SettingsStore store(blocked);
        QVERIFY(store.object(QStringLiteral("k")).isUndefined());
        QVERIFY(!store.setObject(QStringLiteral("v"), QStringLiteral("k")));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
