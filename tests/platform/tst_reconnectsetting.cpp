#include "platform/settings/ReconnectMark.h"
#include "platform/settings/ReconnectSetting.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
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

    // A holder that died left its mark; the number it had is now a later process's.
    void aDeadHoldersNumberTakenSinceIsNoHolder()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"reconnect.lock"_s);
        QProcess later;
        later.start(u"sleep"_s, {u"30"_s});
        QVERIFY(later.waitForStarted());
        QFile mark(path);
        QVERIFY(mark.open(QIODevice::WriteOnly));
        mark.write(QByteArray::number(later.processId()) + "\ncorvane\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
        QVERIFY(mark.flush());
        QVERIFY(mark.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
        mark.close();
        QVERIFY(!ReconnectMark(path).heldElsewhere());
        later.kill();
        later.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestReconnectSetting)
#include "tst_reconnectsetting.moc"
