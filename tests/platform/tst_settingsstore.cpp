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
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}
} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("nested/settings.json")); }

private Q_SLOTS:
    void cleanup() { QFile::remove(path()); }

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

    void corruptFileReadsEmptyUntilTheNextWrite_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage") << QByteArray::fromHex("00ff7b7b7b6e6f74206a736f6e");
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("truncated") << QByteArray("{\"phoneNum\":\"138");
    }

    void corruptFileReadsEmptyUntilTheNextWrite()
    {
        QFETCH(QByteArray, bytes);
        SettingsStore store(path());
        store.setObject(QStringLiteral("x"), QStringLiteral("k"));
        writeRaw(path(), bytes);
        QVERIFY(store.object(QStringLiteral("k")).isUndefined());
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
        file.close();
        QVERIFY(store.setObject(QStringLiteral("y"), QStringLiteral("k")));
        QCOMPARE(store.string(QStringLiteral("k")), std::optional<QString>(QStringLiteral("y")));
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
