#include "app/Application.h"
#include "app/DesktopSession.h"
#include "app/FirstFrame.h"
#include "launch/SingleInstance.h"
#include "platform/scheduling/ManualScheduler.h"
#include "ui/toolkit/ViewController.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace std::chrono_literals;

using namespace corvane;
using namespace Qt::StringLiterals;

// What a launch leaves until its window is on screen, on the manual clock.
class TestFirstFrame final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    // One per process: it installs the tunnel store.
    std::unique_ptr<Application> m_application;

    QString runtime() const { return m_home.filePath(u"runtime/corvane"_s); }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, QFile::encodeName(m_home.filePath(QString::fromLatin1(name))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home.filePath(u"runtime"_s)));
        QVERIFY(QDir().mkpath(runtime()));
        QVERIFY(QFile::setPermissions(m_home.filePath(u"runtime"_s), QFileDevice::ReadOwner |
                                                                         QFileDevice::WriteOwner |
                                                                         QFileDevice::ExeOwner));
        // A theme that has Corvane's icon, as the package installs it.
        const QString apps = m_home.filePath(u"icons/test/48x48/apps"_s);
        QVERIFY(QDir().mkpath(apps));
        QVERIFY(QFile::copy(u":/icons/48x48/com.corvane.Corvane.png"_s,
                            apps + u"/com.corvane.Corvane.png"_s));
        QFile index(m_home.filePath(u"icons/test/index.theme"_s));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=test\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\n");
        index.close();
        QIcon::setThemeSearchPaths({m_home.filePath(u"icons"_s)});
        QIcon::setThemeName(u"test"_s);
        m_application = std::make_unique<Application>(*qApp);
    }

    void cleanupTestCase() { m_application.reset(); }

    void workWaitsForTheFirstFrame_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<double>("due");
        QTest::newRow("a moment after the frame")
            << true << std::chrono::duration<double>(FirstFrame::kSettle).count();
        QTest::newRow("a window never exposed")
            << false << std::chrono::duration<double>(FirstFrame::kLongestWait).count();
    }

    void workWaitsForTheFirstFrame()
    {
        QFETCH(bool, shown);
        QFETCH(double, due);
        ManualScheduler clock;
        QWidget window;
        int runs = 0;
        FirstFrame frame(&window, [&] { ++runs; });
        if (shown) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        clock.advance(0s);
        clock.advance(std::chrono::duration<double>(due) - 1ms);
        QCOMPARE(runs, 0);
        clock.advance(1ms);
        QCOMPARE(runs, 1);
        frame.hurry();
        clock.advance(FirstFrame::kLongestWait);
        QCOMPARE(runs, 1);
    }

    // The tray, the theme's icon and the tidying of the tunnel's runtime folder come after the
    // frame; a later launch asking for the window brings the tray at once.
    void windowedLaunchLeavesTheRestUntilTheFirstFrame_data()
    {
        QTest::addColumn<bool>("handedOver");
        QTest::newRow("first frame") << false;
        QTest::newRow("a later launch") << true;
    }

    void windowedLaunchLeavesTheRestUntilTheFirstFrame()
    {
        QFETCH(bool, handedOver);
        ManualScheduler clock;
        // Left by a helper killed before it read it; no helper runs here.
        QFile stale(runtime() + u"/left.conf"_s);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        SingleInstance instance(runtime());
        Application::nameProcess();
        ViewController *window = m_application->openScreen(u"quick"_s);
        const DesktopSession session(window, instance);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(!session.tray());
        QVERIFY(stale.exists());
        // The theme's icons have names; the one built in has none.
        QVERIFY(window->windowIcon().name().isEmpty());
        if (handedOver) {
            Q_EMIT instance.activationRequested();
            QVERIFY(session.tray());
        }
        clock.advance(0s);
        clock.advance(FirstFrame::kSettle);
        QVERIFY(session.tray());
        QVERIFY(!stale.exists());
        QCOMPARE(window->windowIcon().name(), u"com.corvane.Corvane"_s);
    }
};

QTEST_MAIN(TestFirstFrame)
#include "tst_firstframe.moc"
