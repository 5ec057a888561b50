#include "core/state/LocalState.h"
#include "platform/settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvane;

class TestLocalState final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("settings.json")); }

private Q_SLOTS:
    void cleanup() { QFile::remove(path()); }

    void firstLaunchHasNoCredentials()
    {
        SettingsStore store(path());
        LocalState state(store);
        QVERIFY(!state.phoneNum());
        QVERIFY(!state.pwdNum());
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
        QCOMPARE(state.pwdNum(), std::optional<QString>(QStringLiteral("pa ss\n")));
    }

    void nonTextValueCountsAsAbsent()
    {
        SettingsStore store(path());
        store.setObject(13800138000.0, LocalState::kPhoneNumKey);
        store.setObject(QJsonValue(true), LocalState::kPwdNumKey);
        LocalState state(store);
        QVERIFY(!state.phoneNum());
        QVERIFY(!state.pwdNum());
    }
};

QTEST_GUILESS_MAIN(TestLocalState)
#include "tst_localstate.moc"
