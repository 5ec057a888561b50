#include "platform/log/Log.h"
#include "platform/scheduling/ManualClock.h"
#include "support/Flush.h"
#include "support/RecordingScreen.h"
#include "ui/shell/SCBaseNavigationController.h"
#include "ui/shell/SCBaseRootViewController.h"
#include "ui/shell/SCRootTabBarController.h"
#include "ui/shell/ScreenNavigation.h"
#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/NavigationBar.h"
#include "ui/toolkit/TabBar.h"

#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QTest>

using namespace std::chrono_literals;

using namespace corvane;
using corvane::test::RecordingScreen;

namespace {
constexpr auto kLongEnough = 1s;

ViewController *screen(const QString &name)
{
    return new RecordingScreen(name, nullptr);
}

// A navigation stack shown in a window of the layouts' design size.
std::unique_ptr<SCBaseNavigationController> shownStack(ViewController *root)
{
    auto navigation = std::make_unique<SCBaseNavigationController>(root);
    navigation->resize(375, 812);
    navigation->show();
    return navigation;
}
} // namespace

class TestScreenNavigation final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void barLook()
    {
        auto navigation = shownStack(screen(QStringLiteral("root")));
        const NavigationBar *bar = navigation->navigationBar();
        QCOMPARE(bar->barTintColor(), QColor(46, 69, 139));
        QCOMPARE(bar->titleColor(), QColor(Qt::white));
        QCOMPARE(bar->tintColor(), QColor(Qt::white));
        QVERIFY(bar->titleFont().bold());
        QCOMPARE(bar->titleFont().pixelSize(), 19);
        QVERIFY(!bar->isTranslucent());
    }

    void rootKeepsBottomBarLaterPushesHideIt()
    {
        ManualClock clock;
        auto *root = screen(QStringLiteral("root"));
        auto *navigation = new SCBaseNavigationController(root);
        SCRootTabBarController tabs;
        tabs.setViewControllers({navigation});
        tabs.resize(375, 812);
        tabs.show();
        QVERIFY(!root->hidesBottomBarWhenPushed());
        QVERIFY(tabs.tabBar()->isVisible());

        auto *second = screen(QStringLiteral("second"));
        auto *third = screen(QStringLiteral("third"));
        navigation->pushViewController(second, true);
        navigation->pushViewController(third, false);
        QVERIFY(second->hidesBottomBarWhenPushed());
        QVERIFY(third->hidesBottomBarWhenPushed());
        QVERIFY(!root->hidesBottomBarWhenPushed());
        QVERIFY(!tabs.tabBar()->isVisible());

        navigation->popViewController(true);
        navigation->popViewController(true);
        clock.advance(kLongEnough);
        QCOMPARE(navigation->viewControllers(), QList<ViewController *>{root});
        QVERIFY(tabs.tabBar()->isVisible());
    }

    void tabBarWritesEachFrame()
    {
        QStringList lines;
        Log::setSink([&lines](QtMsgType, const QString &line) { lines.append(line); });
        SCRootTabBarController tabs;
        tabs.setViewControllers({screen(QStringLiteral("only"))});
        tabs.resize(375, 812);
        tabs.show();
        Log::setSink({});
        QVERIFY(lines.contains(QStringLiteral("(0.0, 763.0, 375.0, 49.0)")));
    }

    void popWithoutAnimationStillAnimates()
    {
        ManualClock clock;
        auto navigation = shownStack(screen(QStringLiteral("root")));
        QPointer<ViewController> second = screen(QStringLiteral("second"));
        navigation->pushViewController(second, false);
        QCOMPARE(second->pos(), QPoint(0, 0));

        QCOMPARE(navigation->popViewController(false), second.data());
        QVERIFY(navigation->isTransitioning());
        clock.advance(100ms);
        QVERIFY(second);
        QVERIFY(second->isVisible());
        QVERIFY(second->x() > 0 && second->x() < navigation->width());

        clock.advance(kLongEnough);
        QVERIFY(!navigation->isTransitioning());
        test::flushDeletes();
        QVERIFY(!second);
    }

    void popOfTheRootDoesNothing()
    {
        auto *root = screen(QStringLiteral("root"));
        auto navigation = shownStack(root);
        QCOMPARE(navigation->popViewController(true), nullptr);
        QCOMPARE(navigation->viewControllers(), QList<ViewController *>{root});
    }

    void dismissOnRootClosesPresentationDeeperPops()
    {
        ManualClock clock;
        ViewController host;
        host.resize(375, 812);
        host.show();
        auto *root = screen(QStringLiteral("root"));
        QPointer<SCBaseNavigationController> navigation = new SCBaseNavigationController(root);
        host.presentViewController(navigation, true);
        auto *second = screen(QStringLiteral("second"));
        navigation->pushViewController(second, true);
        clock.advance(kLongEnough);

        sc_dismissViewController(second);
        clock.advance(kLongEnough);
        QCOMPARE(navigation->viewControllers(), QList<ViewController *>{root});
        QCOMPARE(host.presentedViewController(), navigation.data());

        back(root);
        QCOMPARE(host.presentedViewController(), navigation.data());
        clock.advance(kLongEnough);
        test::flushDeletes();
        QCOMPARE(host.presentedViewController(), nullptr);
        QVERIFY(!navigation);
    }

    void dismissOutsideAnyStackClosesOwnPresentation()
    {
        ManualClock clock;
        ViewController host;
        host.resize(375, 812);
        host.show();
        QPointer<ViewController> presented = screen(QStringLiteral("presented"));
        presented->setModalPresentationStyle(ViewController::ModalPresentationStyle::FullScreen);
        host.presentViewController(presented, false);
        sc_dismissViewController(presented);
        clock.advance(kLongEnough);
        test::flushDeletes();
        QVERIFY(!presented);
        QCOMPARE(host.presentedViewController(), nullptr);
    }

    void pushOutsideAnyStackPresentsNewStack()
    {
        ManualClock clock;
        ViewController host;
        host.resize(375, 812);
        host.show();
        QPointer<ViewController> next = screen(QStringLiteral("next"));
        sc_pushViewController(&host, next, false);

        auto *navigation =
            qobject_cast<SCBaseNavigationController *>(host.presentedViewController());
        QVERIFY(navigation);
        QCOMPARE(navigation->viewControllers(), QList<ViewController *>{next.data()});
        QCOMPARE(next->presentingViewController(), &host);
        QCOMPARE(navigation->modalPresentationStyle(),
                 ViewController::ModalPresentationStyle::Default);
        QVERIFY(navigation->isTransitioning() == false);
        clock.advance(kLongEnough);

        BarButtonItem *item = next->leftBarButtonItem();
        QVERIFY(item);
        auto *button = qobject_cast<QPushButton *>(item->customView());
        QVERIFY(button);
        QCOMPARE(navigation->navigationBar()->leftView(), button);
        QVERIFY(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        clock.advance(kLongEnough);
        test::flushDeletes();
        QCOMPARE(host.presentedViewController(), nullptr);
        QVERIFY(!next);
    }

    void pushInsideStackPushes()
    {
        ManualClock clock;
        auto *root = screen(QStringLiteral("root"));
        auto navigation = shownStack(root);
        auto *next = screen(QStringLiteral("next"));
        sc_pushViewController(root, next, true);
        QCOMPARE(navigation->viewControllers(), (QList<ViewController *>{root, next}));
        QCOMPARE(next->leftBarButtonItem(), nullptr);
        QCOMPARE(navigation->presentedViewController(), nullptr);
    }

    void barButtonItemShape()
    {
        int calls = 0;
        QObject target;
        std::unique_ptr<BarButtonItem> item(sc_barButtonItem(&target, [&calls] { ++calls; }));
        auto *button = qobject_cast<QPushButton *>(item->customView());
        QVERIFY(button);
        QVERIFY(button->text().isEmpty());
        QVERIFY(button->icon().isNull());
        QCOMPARE(button->geometry(), QRect(20, 0, 44, 44));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(calls, 1);
    }

    void backItemIsNamedAndShowsFocus()
    {
        QObject target;
        std::unique_ptr<BarButtonItem> item(sc_barButtonItem(&target, [] {}));
        QWidget *button = item->customView();
        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(button);
        QVERIFY(reader);
        QCOMPARE(reader->role(), QAccessible::Button);
        QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("返回"));

        // It shows nothing of its own, so keyboard focus must draw something.
        QWidget bar;
        bar.resize(375, 44);
        button->setParent(&bar);
        button->show();
        bar.show();
        QApplication::setActiveWindow(&bar);
        QVERIFY(QTest::qWaitForWindowActive(&bar));
        button->clearFocus();
        const QImage unfocused = bar.grab().toImage();
        button->setFocus(Qt::TabFocusReason);
        QVERIFY(button->hasFocus());
        QVERIFY(bar.grab().toImage() != unfocused);
        button->setParent(nullptr);
    }

    void backGestureOnAfterEveryPush_data()
    {
        QTest::addColumn<bool>("animated");
        QTest::newRow("animated") << true;
        QTest::newRow("at once") << false;
    }

    void backGestureOnAfterEveryPush()
    {
        QFETCH(bool, animated);
        ManualClock clock;
        auto *root = new SCBaseRootViewController;
        auto navigation = shownStack(root);
        QVERIFY(root->isAppeared());
        QVERIFY(!navigation->isBackGestureEnabled());

        navigation->pushViewController(screen(QStringLiteral("second")), animated);
        QVERIFY(navigation->isBackGestureEnabled());
        clock.advance(kLongEnough);

        navigation->popViewController(true);
        clock.advance(kLongEnough);
        QVERIFY(root->isAppeared());
        QVERIFY(!navigation->isBackGestureEnabled());

        navigation->setBackGestureEnabled(false);
        navigation->pushViewController(screen(QStringLiteral("third")), animated);
        QVERIFY(navigation->isBackGestureEnabled());
    }

    void backGestureInputsHonourEnabledFlag_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("enabled");
        for (const char *input : {"back button", "alt+left", "edge drag"}) {
            QTest::addRow("%s enabled", input) << QString::fromLatin1(input) << true;
            QTest::addRow("%s disabled", input) << QString::fromLatin1(input) << false;
        }
    }

    void backGestureInputsHonourEnabledFlag()
    {
        QFETCH(QString, input);
        QFETCH(bool, enabled);
        ManualClock clock;
        auto *root = screen(QStringLiteral("root"));
        auto navigation = shownStack(root);
        auto *second = screen(QStringLiteral("second"));
        navigation->pushViewController(second, false);
        // A custom left item must not block the stack's own gesture.
        second->setLeftBarButtonItem(sc_barButtonItem(second, [] {}));
        navigation->setBackGestureEnabled(enabled);

        const QPoint middle = second->rect().center();
        if (input == QLatin1String("back button")) {
            QTest::mousePress(second, Qt::BackButton, {}, middle);
        } else if (input == QLatin1String("alt+left")) {
            QTest::keyClick(second, Qt::Key_Left, Qt::AltModifier);
        } else {
            // The drag starts on the left edge of the content and ends well past a third.
            QWidget *window = navigation.get();
            const QPoint start = second->mapTo(window, QPoint(5, middle.y()));
            QWidget *edge = window->childAt(start);
            QVERIFY(edge);
            if (enabled)
                QVERIFY(edge != second && !second->isAncestorOf(edge));
            const QPoint local = edge->mapFrom(window, start);
            QTest::mousePress(edge, Qt::LeftButton, {}, local);
            QTest::mouseMove(edge, local + QPoint(200, 0));
            QTest::mouseRelease(edge, Qt::LeftButton, {}, local + QPoint(200, 0));
        }
        clock.advance(kLongEnough);
        const QList<ViewController *> expected =
            enabled ? QList<ViewController *>{root} : QList<ViewController *>{root, second};
        QCOMPARE(navigation->viewControllers(), expected);
    }

    void tapOnTheEdgeReachesTheScreen()
    {
        auto *root = screen(QStringLiteral("root"));
        auto navigation = shownStack(root);
        auto *second = screen(QStringLiteral("second"));
        auto *button = new QPushButton(QStringLiteral("edge"), second);
        button->setGeometry(0, 100, 100, 44);
        navigation->pushViewController(second, false);
        int clicks = 0;
        connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        QWidget *window = navigation.get();
        const QPoint start = second->mapTo(window, QPoint(5, 120));
        QWidget *edge = window->childAt(start);
        QVERIFY(edge != button);
        QTest::mouseClick(edge, Qt::LeftButton, {}, edge->mapFrom(window, start));
        QCOMPARE(clicks, 1);
        QCOMPARE(navigation->viewControllers(), (QList<ViewController *>{root, second}));
    }

    void shortEdgeDragPutsScreenBack()
    {
        ManualClock clock;
        auto *root = screen(QStringLiteral("root"));
        auto navigation = shownStack(root);
        auto *second = screen(QStringLiteral("second"));
        navigation->pushViewController(second, false);
        QWidget *window = navigation.get();
        const QPoint start = second->mapTo(window, QPoint(5, 300));
        QWidget *edge = window->childAt(start);
        const QPoint local = edge->mapFrom(window, start);
        QTest::mousePress(edge, Qt::LeftButton, {}, local);
        QTest::mouseMove(edge, local + QPoint(60, 0));
        QCOMPARE(second->x(), 60);
        QVERIFY(root->isVisible());
        QTest::mouseRelease(edge, Qt::LeftButton, {}, local + QPoint(60, 0));
        clock.advance(kLongEnough);
        QCOMPARE(navigation->viewControllers(), (QList<ViewController *>{root, second}));
        QCOMPARE(second->x(), 0);
        QVERIFY(!root->isVisible());
    }
};

QTEST_MAIN(TestScreenNavigation)
#include "tst_screennavigation.moc"
