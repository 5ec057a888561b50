#include "launch/SingleInstance.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

// Run as `app_tests tst_singleinstance --probe <folder> <hand-off ms>`: claims, prints the
// outcome and, as the first instance, waits for one hand-off before it ends.
int probe(const QString &folder, int handOffMs)
{
    SingleInstance instance(folder, handOffMs);
    const SingleInstance::Claim claim = instance.claim();
    const char *names[] = {"first", "handedOff", "noAnswer"};
    std::printf("%s\n", names[static_cast<int>(claim)]);
    std::fflush(stdout);
    if (claim != SingleInstance::Claim::first)
        return 0;
    QObject::connect(&instance, &SingleInstance::activationRequested, &instance, [] {
        std::printf("activated\n");
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    QObject::connect(&instance, &SingleInstance::signOutRequested, &instance, [] {
        std::printf("signed out\n");
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

// This suite's process again, as a probe claiming `folder`.
void startProbe(QProcess &process, const QString &folder, const QString &handOffMs)
{
    process.start(QCoreApplication::applicationFilePath(),
                  {u"tst_singleinstance"_s, u"--probe"_s, folder, handOffMs});
}

} // namespace

class TestSingleInstance final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void laterLaunchHandsOffToTheFirst()
    {
        QTemporaryDir dir;
        QProcess first;
        startProbe(first, dir.path(), u"5000"_s);
        QVERIFY(first.waitForReadyRead(10000));
        QCOMPARE(first.readLine(), "first\n");

        QProcess second;
        startProbe(second, dir.path(), u"5000"_s);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAll(), "handedOff\n");

        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.readAll(), "activated\n");
    }

    void firstInstanceInThisProcessIsRaised()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        QCOMPARE(instance.claim(), SingleInstance::Claim::first);
        QCOMPARE(QFile::permissions(dir.filePath(u"instance.lock"_s)),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                     QFileDevice::WriteUser);
        QSignalSpy raised(&instance, &SingleInstance::activationRequested);
        QProcess later;
        startProbe(later, dir.path(), u"5000"_s);
        QTRY_COMPARE_WITH_TIMEOUT(later.state(), QProcess::NotRunning, 10000);
        QCOMPARE(later.readAll(), "handedOff\n");
        QCOMPARE(raised.size(), 1);
    }

    // What corvanectl logout tells an open window, and that nobody listening costs no wait.
    void signOutReachesTheWindow()
    {
        QTemporaryDir dir;
        QElapsedTimer nobody;
        nobody.start();
        QVERIFY(!SingleInstance::tellSignedOut(dir.path(), 5000));
        QVERIFY(nobody.elapsed() < 4000);

        QProcess window;
        startProbe(window, dir.path(), u"5000"_s);
        QVERIFY(window.waitForReadyRead(10000));
        QCOMPARE(window.readLine(), "first\n");
        QVERIFY(SingleInstance::tellSignedOut(dir.path(), 5000));
        QVERIFY(window.waitForFinished(10000));
        QCOMPARE(window.readAll(), "signed out\n");
    }

    void endlessLineIsCutOff()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        QCOMPARE(instance.claim(), SingleInstance::Claim::first);
        QLocalSocket stranger;
        stranger.connectToServer(dir.filePath(u"instance.sock"_s));
        QVERIFY(stranger.waitForConnected(5000));
        stranger.write(QByteArray(100000, 'x'));
        QTRY_COMPARE(stranger.state(), QLocalSocket::UnconnectedState);
    }

    void lockOfAProcessThatIsGoneIsTakenOver()
    {
        QTemporaryDir dir;
        QProcess crashed;
        startProbe(crashed, dir.path(), u"5000"_s);
        QVERIFY(crashed.waitForReadyRead(10000));
        crashed.kill();
        QVERIFY(crashed.waitForFinished(10000));

        SingleInstance instance(dir.path());
        QCOMPARE(instance.claim(), SingleInstance::Claim::first);
    }

    // A corvane of the QLockFile days, started after this one ended, must find no lock held.
    void endedWindowLeavesNoLock()
    {
        QTemporaryDir dir;
        {
            SingleInstance instance(dir.path());
            QCOMPARE(instance.claim(), SingleInstance::Claim::first);
        }
        QLockFile earlier(dir.filePath(u"instance.lock"_s));
        QVERIFY(earlier.tryLock(0));
    }

    void lockHolderThatNeverAnswers()
    {
        QTemporaryDir dir;
        // A live process (this one) holds the lock but listens on nothing.
        QLockFile held(dir.filePath(u"instance.lock"_s));
        QVERIFY(held.tryLock(0));
        QProcess later;
        startProbe(later, dir.path(), u"100"_s);
        QVERIFY(later.waitForFinished(10000));
        QCOMPARE(later.readAll(), "noAnswer\n");
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--probe") == 0)
        return probe(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
