#include "core/state/LocalState.h"
#include "platform/keyring/memory/MemoryKeyring.h"
#include "platform/scheduling/ManualScheduler.h"
#include "platform/settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {
// What the state handed back: unset while it has not answered, an empty password inside when
// it answered "none".
using Answer = std::optional<std::optional<QString>>;

Answer readPassword(LocalState &state, const QObject &context)
{
    Answer answer;
    state.pwdNum(&context,
                 [&answer](const std::optional<QString> &password) { answer.emplace(password); });
    return answer;
}

Answer answered(const QString &password)
{
    return Answer(std::in_place, password);
}

const Answer kAnsweredNone(std::in_place);
} // namespace

class TestLocalState final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("settings.json")); }
    QByteArray fileText() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void cleanup() { QFile::remove(path()); }

    void firstLaunchHasNoCredentials()
    {
        SettingsStore store(path());
        LocalState state(store);
        QVERIFY(!state.phoneNum());
        QCOMPARE(readPassword(state, *this), kAnsweredNone);
        QVERIFY(!currentOrderContent());
    }

    void credentialsAreTrimmedAndSurviveARestart()
    {
        {
            SettingsStore store(path());
            LocalState state(store);
            state.setPhoneNum(QStringLiteral(" \t13800138000  "));
            state.setPwdNum(QStringLiteral("\tpa ss\n "));
        }
        SettingsStore reopened(path());
        LocalState state(reopened);
        QCOMPARE(state.phoneNum(), std::optional<QString>(QStringLiteral("13800138000")));
        QCOMPARE(readPassword(state, *this), answered(u"pa ss\n"_s));
    }

    void nonTextValueCountsAsAbsent()
    {
        SettingsStore store(path());
        store.setObject(13800138000.0, LocalState::kPhoneNumKey);
        store.setObject(QJsonValue(true), LocalState::kPwdNumKey);
        LocalState state(store);
        QVERIFY(!state.phoneNum());
        QCOMPARE(readPassword(state, *this), kAnsweredNone);
    }

    void withAKeyringThePasswordNeverReachesTheFile()
    {
        SettingsStore store(path());
        MemoryKeyring keyring;
        LocalState state(store, &keyring);
        state.setPhoneNum(QStringLiteral("13800138000"));
        state.setPwdNum(QStringLiteral(" secret1 "));
        QCOMPARE(keyring.entries.value(LocalState::kPwdNumKey), u"secret1"_s);
        QVERIFY(!store.string(LocalState::kPwdNumKey));
        QVERIFY(!fileText().contains("secret1"));
        QCOMPARE(store.string(LocalState::kPhoneNumKey), u"13800138000"_s);
        QCOMPARE(readPassword(state, *this), answered(u"secret1"_s));
    }

    void passwordIsKeptWhereItCanBeRead_data()
    {
        QTest::addColumn<QString>("keyringDoes");
        QTest::addColumn<bool>("inFile");
        QTest::newRow("keyring confirms") << u"confirm"_s << false;
        QTest::newRow("keyring refuses") << u"refuse"_s << true;
        QTest::newRow("keyring never answers") << u"hold"_s << true;
    }

    // The write ends within the keyring's wait, and a password that the keyring does not take
    // falls back to the owner-only file rather than being kept nowhere.
    void passwordIsKeptWhereItCanBeRead()
    {
        QFETCH(QString, keyringDoes);
        QFETCH(bool, inFile);
        ManualScheduler clock;
        SettingsStore store(path());
        MemoryKeyring keyring;
        keyring.setRefuseWrites(keyringDoes == u"refuse"_s);
        keyring.setHoldAnswers(keyringDoes == u"hold"_s);
        LocalState state(store, &keyring);
        std::optional<bool> stored;
        bool settled = false;
        state.setPwdNum(u"secret1"_s, [&stored](bool done) { stored = done; });
        state.whenSettled([&settled] { settled = true; });
        QCOMPARE(settled, keyringDoes != u"hold"_s);
        clock.advance(LocalState::kKeyringWait);
        QCOMPARE(stored, std::optional<bool>(true));
        QVERIFY(settled);
        QCOMPARE(store.string(LocalState::kPwdNumKey).has_value(), inFile);
        keyring.setHoldAnswers(false);
        QCOMPARE(readPassword(state, *this), answered(u"secret1"_s));
    }

    void migration_data()
    {
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<bool>("keptInFile");
        QTest::addColumn<QString>("inKeyring");
        QTest::newRow("confirmed write removes the plain copy") << false << false << u"plain"_s;
        QTest::newRow("refused write keeps the plain copy") << true << true << QString();
    }

    // A password stored in plain form by an earlier run moves into the keyring at the first
    // read; the file keeps it until the keyring confirms the write.
    void migration()
    {
        QFETCH(bool, refuse);
        QFETCH(bool, keptInFile);
        QFETCH(QString, inKeyring);
        SettingsStore store(path());
        store.setObject(u"plain"_s, LocalState::kPwdNumKey);
        MemoryKeyring keyring;
        keyring.entries.insert(LocalState::kPwdNumKey, u"older"_s);
        keyring.setHoldAnswers(true);
        keyring.setRefuseWrites(refuse);
        LocalState state(store, &keyring);

        QCOMPARE(readPassword(state, *this), answered(u"plain"_s));
        QCOMPARE(store.string(LocalState::kPwdNumKey), u"plain"_s);
        // A second read while the write is pending starts no second move.
        readPassword(state, *this);
        QCOMPARE(keyring.writeCount, 1);

        keyring.releaseAnswers();
        QCOMPARE(store.string(LocalState::kPwdNumKey).has_value(), keptInFile);
        QCOMPARE(keyring.entries.value(LocalState::kPwdNumKey),
                 inKeyring.isEmpty() ? u"older"_s : inKeyring);

        // Moved once: later reads come from the keyring and write nothing.
        keyring.setHoldAnswers(false);
        keyring.setRefuseWrites(false);
        if (!keptInFile) {
            QCOMPARE(readPassword(state, *this), answered(u"plain"_s));
            QCOMPARE(keyring.writeCount, 1);
        }
    }

    void aNewerPlainPasswordIsNotRemovedByAnOlderMove()
    {
        SettingsStore store(path());
        store.setObject(u"first"_s, LocalState::kPwdNumKey);
        MemoryKeyring keyring;
        keyring.setHoldAnswers(true);
        LocalState state(store, &keyring);
        readPassword(state, *this);
        // Another process without a keyring stores a newer password meanwhile.
        store.setObject(u"second"_s, LocalState::kPwdNumKey);
        keyring.releaseAnswers();
        QCOMPARE(store.string(LocalState::kPwdNumKey), u"second"_s);
    }

    void forgetting_data()
    {
        QTest::addColumn<QString>("keyringDoes");
        QTest::addColumn<QString>("storedIn");
        QTest::addColumn<bool>("wasStored");
        QTest::addColumn<bool>("failed");
        QTest::newRow("no keyring") << u"none"_s << u"file"_s << true << false;
        QTest::newRow("nothing stored") << u"none"_s << u"nowhere"_s << false << false;
        QTest::newRow("keyring deletes") << u"confirm"_s << u"keyring"_s << true << false;
        QTest::newRow("keyring refuses") << u"refuse"_s << u"keyring"_s << true << true;
        QTest::newRow("keyring never answers") << u"hold"_s << u"keyring"_s << true << true;
        // Its fallback to the file comes after the forgetting asked: the password must not stay.
        QTest::newRow("refused write on its way") << u"confirm"_s << u"writing"_s << true << false;
    }

    // The password goes from everywhere it is kept, or the outcome says why not; the mobile
    // number stays.
    void forgetting()
    {
        QFETCH(QString, keyringDoes);
        QFETCH(QString, storedIn);
        QFETCH(bool, wasStored);
        QFETCH(bool, failed);
        ManualScheduler clock;
        SettingsStore store(path());
        MemoryKeyring keyring;
        LocalState state(store, keyringDoes == u"none"_s ? nullptr : &keyring);
        QVERIFY(state.setPhoneNum(u"13800000001"_s));
        if (storedIn == u"file"_s)
            store.setObject(u"plain"_s, LocalState::kPwdNumKey);
        else if (storedIn == u"keyring"_s)
            keyring.entries.insert(LocalState::kPwdNumKey, u"kept"_s);
        keyring.setHoldAnswers(keyringDoes == u"hold"_s || storedIn == u"writing"_s);
        keyring.setRefuseWrites(storedIn == u"writing"_s);
        if (storedIn == u"writing"_s)
            state.setPwdNum(u"typed"_s);
        keyring.setRefuseRemovals(keyringDoes == u"refuse"_s);

        std::optional<LocalState::Forgetting> outcome;
        state.forgetPwdNum(
            [&outcome](const LocalState::Forgetting &forgetting) { outcome = forgetting; });
        if (storedIn == u"writing"_s) {
            keyring.setHoldAnswers(false);
            keyring.releaseAnswers();
        }
        clock.advance(LocalState::kKeyringWait);
        QVERIFY(outcome);
        QCOMPARE(outcome->wasStored, wasStored);
        QCOMPARE(outcome->failure.has_value(), failed);
        QVERIFY(store.object(LocalState::kPwdNumKey).isUndefined());
        QCOMPARE(keyring.entries.contains(LocalState::kPwdNumKey), failed);
        QCOMPARE(state.phoneNum(), u"13800000001"_s);
    }

    void keyringAnswersReachOnlyLiveReceivers()
    {
        SettingsStore store(path());
        MemoryKeyring keyring;
        keyring.entries.insert(LocalState::kPwdNumKey, u"kept"_s);
        keyring.setHoldAnswers(true);
        LocalState state(store, &keyring);
        bool reached = false;
        {
            QObject screen;
            state.pwdNum(&screen, [&reached](const std::optional<QString> &) { reached = true; });
        }
        keyring.releaseAnswers();
        QVERIFY(!reached);

        keyring.setRefuseReads(true);
        keyring.setHoldAnswers(false);
        QCOMPARE(readPassword(state, *this), kAnsweredNone);
    }
};

QTEST_GUILESS_MAIN(TestLocalState)
#include "tst_localstate.moc"
