#include "platform/log/Log.h"
#include "platform/log/LogDestination.h"

#include <QtTest>

using namespace corvane;

class TestLogDestination final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void levelBecomesTheJournalsPriority_data()
    {
        QTest::addColumn<bool>("fromQt");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("priority");
        QTest::newRow("warning") << false << int(QtWarningMsg) << 4;
        QTest::newRow("info") << false << int(QtInfoMsg) << 6;
        QTest::newRow("debug") << false << int(QtDebugMsg) << 7;
        QTest::newRow("critical") << false << int(QtCriticalMsg) << 3;
        QTest::newRow("Qt's warning") << true << int(QtWarningMsg) << 4;
    }

    void levelBecomesTheJournalsPriority()
    {
        QFETCH(bool, fromQt);
        QFETCH(int, level);
        QFETCH(int, priority);
        QList<std::pair<QString, int>> sent;
        const Log::Sink previous = Log::setSink(
            LogDestination::journalSink([&sent](const QString &line, auto journalPriority) {
                sent.append({line, static_cast<int>(journalPriority)});
                return true;
            }));
        const auto restore = qScopeGuard([&previous] {
            Log::setSink(previous);
            qInstallMessageHandler(nullptr);
        });
        if (fromQt) {
            LogDestination::routeQtMessagesToLog();
            QMessageLogger().warning("a line");
        } else {
            Log::write(static_cast<QtMsgType>(level), QStringLiteral("a line"));
        }
        QCOMPARE(sent, (QList<std::pair<QString, int>>{{QStringLiteral("a line"), priority}}));
    }
};

QTEST_GUILESS_MAIN(TestLogDestination)
#include "tst_logdestination.moc"
