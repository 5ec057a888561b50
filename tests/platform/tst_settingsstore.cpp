#include "platform/files/CorruptCopies.h"
#include "platform/log/Log.h"
#include "platform/settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace corvane;

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
        Log::setSink([this](const QString &line) { m_log << line; });
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
