#include "platform/autostart/AutostartEntry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvane;
using namespace Qt::StringLiterals;

class TestAutostartEntry final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void execQuotesAndEscapes_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << u"/usr/bin/corvane"_s << u"\"/usr/bin/corvane\""_s;
        QTest::newRow("space") << u"/opt/my apps/corvane"_s << u"\"/opt/my apps/corvane\""_s;
        QTest::newRow("dollar and quote")
            << u"/home/a$b/\"q\"/corvane"_s << u"\"/home/a\\\\$b/\\\\\"q\\\\\"/corvane\""_s;
        QTest::newRow("backslash") << u"/x\\y/corvane"_s << u"\"/x\\\\\\\\y/corvane\""_s;
        QTest::newRow("percent is no field code") << u"/x%f/corvane"_s << u"\"/x%%f/corvane\""_s;
    }

    void execQuotesAndEscapes()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(AutostartEntry::execValue(program), exec);
    }

    void switchesOnAndOff()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"autostart/com.corvane.Corvane.desktop"_s);
        AutostartEntry entry(path, u"/usr/bin/corvane"_s);
        QVERIFY(!entry.isEnabled());

        QVERIFY(entry.setEnabled(true, u"Corvane"_s, u"com.corvane.Corvane"_s));
        QVERIFY(entry.isEnabled());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        // Starting at login opens the window and nothing else: no option that connects.
        QVERIFY(text.contains("\nExec=\"/usr/bin/corvane\"\n"));
        QVERIFY(text.startsWith("[Desktop Entry]\nType=Application\n"));
        file.close();

        QVERIFY(entry.setEnabled(false, u"Corvane"_s, u"com.corvane.Corvane"_s));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!entry.isEnabled());
        // Switching off what is already off is no failure.
        QVERIFY(entry.setEnabled(false, u"Corvane"_s, u"com.corvane.Corvane"_s));
    }

    void entryHiddenByTheDesktopCountsAsOff()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"corvane.desktop"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nExec=corvane\nHidden=true\n");
        file.close();
        QVERIFY(!AutostartEntry(path, u"corvane"_s).isEnabled());
    }
};

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "tst_autostartentry.moc"
