#include "platform/settings/ReconnectMark.h"
#include "platform/settings/ReconnectSetting.h"

#include <QTemporaryDir>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

class TestReconnectSetting final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // On unless set off: a value that is not a boolean keeps the tunnel coming back.
    void onUnlessTurnedOff_data()
    {
        QTest::addColumn<QJsonValue>("stored");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << true;
        QTest::newRow("off") << QJsonValue(false) << false;
        QTest::newRow("on") << QJsonValue(true) << true;
        QTest::newRow("not a boolean") << QJsonValue(u"off"_s) << true;
    }

    void onUnlessTurnedOff()
    {
        QFETCH(QJsonValue, stored);
        QFETCH(bool, enabled);
        QTemporaryDir folder;
        SettingsStore store(folder.filePath(u"settings.json"_s));
        if (stored.isBool())
            QVERIFY(ReconnectSetting::setEnabled(store, stored.toBool()));
        else if (!stored.isUndefined())
            QVERIFY(store.setObject(stored, ReconnectSetting::kKey));
        QCOMPARE(ReconnectSetting::enabled(store), enabled);
    }

    // Another holder sees the mark while it is held, and not once it is let go.
    void theMarkIsSeenByOthersOnly()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"run/reconnect.lock"_s);
        ReconnectMark holder(path);
        ReconnectMark other(path);
        QVERIFY(!other.heldElsewhere());
        holder.hold(true);
        QVERIFY(other.heldElsewhere());
        QVERIFY(!holder.heldElsewhere());
        holder.hold(false);
        QVERIFY(!other.heldElsewhere());
    }
};

QTEST_GUILESS_MAIN(TestReconnectSetting)
#include "tst_reconnectsetting.moc"
