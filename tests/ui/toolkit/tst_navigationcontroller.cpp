#include "platform/scheduling/ManualClock.h"
#include "support/Flush.h"
#include "support/RecordingScreen.h"
#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/NavigationBar.h"
#include "ui/toolkit/NavigationController.h"
#include "ui/toolkit/TabBar.h"
#include "ui/toolkit/TabBarController.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

using namespace corvane;
using corvane::test::RecordingScreen;

namespace {
constexpr auto kLongEnough = 1s;
} // namespace

class TestNavigationController final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lifecycleAcrossPushAndPop()
    {
        ManualClock clock;
        QStringList journal;
        auto *root = new RecordingScreen(QStringLiteral("root"), &journal);
        NavigationController navigation(root);
        navigation.resize(375, 812);
        QVERIFY(journal.isEmpty());
        navigation.show();
        QCOMPARE(journal,
                 (QStringList{QStringLiteral("root:load"), QStringLiteral("root:willAppear"),
                              QStringLiteral("root:didAppear")}));

        journal.clear();
        navigation.pushViewController(new RecordingScreen(QStringLiteral("next"), &journal), true);
        QCOMPARE(journal,
                 (QStringList{QStringLiteral("next:load"), QStringLiteral("next:willAppear"),
                              QStringLiteral("root:willDisappear")}));
        journal.clear();
        clock.advance(kLongEnough);
        QCOMPARE(journal, (QStringList{QStringLiteral("next:didAppear"),
                                       QStringLiteral("root:didDisappear")}));

        journal.clear();
        navigation.popViewController(true);
        QCOMPARE(journal, (QStringList{QStringLiteral("root:willAppear"),
                                       QStringLiteral("next:willDisappear")}));
        journal.clear();
        clock.advance(kLongEnough);
        QCOMPARE(journal, (QStringList{QStringLiteral("root:didAppear"),
                                       QStringLiteral("next:didDisappear")}));
    }

    void theKeyboardComesBackWhereItWasAfterAPop()
    {
        ManualClock clock;
        QStringList journal;
        auto *root = new RecordingScreen(QStringLiteral("root"), &journal);
        auto *first = new QPushButton(QStringLiteral("first"), root);
        auto *second = new QPushButton(QStringLiteral("second"), root);
        second->move(0, 60);
        Q_UNUSED(first)
        NavigationController navigation(root);
        navigation.resize(375, 812);
        navigation.show();
        QApplication::setActiveWindow(&navigation);
        second->setFocus();
        auto *next = new RecordingScreen(QStringLiteral("next"), &journal);
        auto *field = new QPushButton(QStringLiteral("field"), next);
        navigation.pushViewController(next, true);
        clock.advance(kLongEnough);
        field->setFocus();
        navigation.popViewController(true);
        clock.advance(kLongEnough);
        test::flushDeletes();
        QCOMPARE(QApplication::focusWidget(), second);
    }

    void tabsForwardAppearanceToTheSelectedScreen()
    {
        QStringList journal;
        auto *first = new RecordingScreen(QStringLiteral("first"), &journal);
        auto *second = new RecordingScreen(QStringLiteral("second"), &journal);
        TabBarController tabs;
        tabs.setViewControllers({first, second});
        tabs.resize(375, 812);
        tabs.show();
        QCOMPARE(journal,
                 (QStringList{QStringLiteral("first:load"), QStringLiteral("first:willAppear"),
                              QStringLiteral("first:didAppear")}));
        journal.clear();
        tabs.setSelectedIndex(1);
        QCOMPARE(
            journal,
            (QStringList{QStringLiteral("first:willDisappear"), QStringLiteral("second:load"),
                         QStringLiteral("second:willAppear"), QStringLiteral("first:didDisappear"),
                         QStringLiteral("second:didAppear")}));
        QVERIFY(second->isVisible() && !first->isVisible());
        QCOMPARE(second->height(), 812 - TabBar::kHeight);
    }

    void plainStackPopsAtOnceWhenAsked()
    {
        NavigationController navigation(new RecordingScreen(QStringLiteral("root"), nullptr));
        navigation.resize(375, 812);
        navigation.show();
        navigation.pushViewController(new RecordingScreen(QStringLiteral("next"), nullptr), false);
        QVERIFY(navigation.popViewController(false));
        QVERIFY(!navigation.isTransitioning());
    }

    void barShowsTopScreenItems()
    {
        ManualClock clock;
        auto *root = new RecordingScreen(QStringLiteral("root"), nullptr);
        NavigationController navigation(root);
        navigation.resize(375, 812);
        navigation.show();
        NavigationBar *bar = navigation.navigationBar();
        QCOMPARE(bar->title(), QStringLiteral("root"));

        auto *next = new RecordingScreen(QStringLiteral("next"), nullptr);
        auto *save = new BarButtonItem(QStringLiteral("保存"));
        int saves = 0;
        connect(save, &BarButtonItem::triggered, this, [&saves] { ++saves; });
        next->setRightBarButtonItem(save);
        navigation.pushViewController(next, false);
        QCOMPARE(bar->title(), QStringLiteral("next"));
        QVERIFY(bar->rightView());
        QTest::mouseClick(bar->rightView(), Qt::LeftButton);
        QCOMPARE(saves, 1);
        next->setTitle(QStringLiteral("renamed"));
        QCOMPARE(bar->title(), QStringLiteral("renamed"));

        // Without a left item the bar offers the way back.
        auto *backButton = bar->childAt(20, NavigationBar::kHeight / 2);
        QVERIFY(backButton);
        QTest::mouseClick(backButton, Qt::LeftButton);
        clock.advance(kLongEnough);
        QCOMPARE(navigation.viewControllers(), QList<ViewController *>{root});
        QCOMPARE(bar->title(), QStringLiteral("root"));
        QCOMPARE(bar->rightView(), nullptr);
    }

    void barButtonsShowKeyboardFocus()
    {
        QWidget window;
        auto *bar = new NavigationBar(&window);
        bar->resize(375, NavigationBar::kHeight);
        std::unique_ptr<BarButtonItem> save(new BarButtonItem(QStringLiteral("保存")));
        bar->setItems(QStringLiteral("选择省份"), nullptr, save.get(), QStringLiteral("首页"));
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget *back = bar->childAt(20, NavigationBar::kHeight / 2);
        QVERIFY(back);
        for (QWidget *button : {back, bar->rightView()}) {
            button->clearFocus();
            const QImage unfocused = bar->grab().toImage();
            button->setFocus(Qt::TabFocusReason);
            QVERIFY(button->hasFocus());
            QVERIFY(bar->grab().toImage() != unfocused);
        }
    }

    void navigationBarHidesAnimated()
    {
        ManualClock clock;
        auto *root = new RecordingScreen(QStringLiteral("root"), nullptr);
        NavigationController navigation(root);
        navigation.resize(375, 812);
        navigation.show();
        QCOMPARE(root->mapTo(&navigation, QPoint()).y(), NavigationBar::kHeight);

        navigation.setNavigationBarHidden(true, true);
        clock.advance(100ms);
        const int midway = root->mapTo(&navigation, QPoint()).y();
        QVERIFY(midway > 0 && midway < NavigationBar::kHeight);
        clock.advance(kLongEnough);
        QCOMPARE(root->mapTo(&navigation, QPoint()).y(), 0);
        QVERIFY(!navigation.navigationBar()->isVisible());
        QCOMPARE(root->height(), 812);

        navigation.setNavigationBarHidden(false, false);
        QCOMPARE(root->mapTo(&navigation, QPoint()).y(), NavigationBar::kHeight);
    }

    void presentationStyles_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<QStringList>("presented");
        QTest::addColumn<QStringList>("dismissed");
        QTest::newRow("full screen covers the presenter")
            << true
            << QStringList{QStringLiteral("modal:load"), QStringLiteral("modal:willAppear"),
                           QStringLiteral("host:willDisappear"), QStringLiteral("modal:didAppear"),
                           QStringLiteral("host:didDisappear")}
            << QStringList{QStringLiteral("modal:willDisappear"), QStringLiteral("host:willAppear"),
                           QStringLiteral("modal:didDisappear"), QStringLiteral("host:didAppear")};
        QTest::newRow("default sheet leaves it in view")
            << false
            << QStringList{QStringLiteral("modal:load"), QStringLiteral("modal:willAppear"),
                           QStringLiteral("modal:didAppear")}
            << QStringList{QStringLiteral("modal:willDisappear"),
                           QStringLiteral("modal:didDisappear")};
    }

    void presentationStyles()
    {
        QFETCH(bool, fullScreen);
        QFETCH(QStringList, presented);
        QFETCH(QStringList, dismissed);
        ManualClock clock;
        QStringList journal;
        RecordingScreen host(QStringLiteral("host"), &journal);
        host.resize(375, 812);
        host.show();
        journal.clear();

        QPointer<ViewController> modal = new RecordingScreen(QStringLiteral("modal"), &journal);
        modal->setModalPresentationStyle(fullScreen
                                             ? ViewController::ModalPresentationStyle::FullScreen
                                             : ViewController::ModalPresentationStyle::Default);
        bool completed = false;
        host.presentViewController(modal, true, [&completed] { completed = true; });
        QVERIFY(!completed);
        clock.advance(100ms);
        QVERIFY(modal->y() > 0);
        clock.advance(kLongEnough);
        QVERIFY(completed);
        QCOMPARE(journal, presented);
        QCOMPARE(modal->geometry().bottom(), host.rect().bottom());
        QCOMPARE(modal->y() == 0, fullScreen);

        // The presented screen follows its window's size.
        host.resize(400, 700);
        QCOMPARE(modal->width(), 400);
        QCOMPARE(modal->geometry().bottom(), host.rect().bottom());

        journal.clear();
        bool gone = false;
        modal->dismissViewController(true, [&gone] { gone = true; });
        QVERIFY(!gone);
        clock.advance(kLongEnough);
        QVERIFY(gone);
        QCOMPARE(journal, dismissed);
        test::flushDeletes();
        QVERIFY(!modal);
    }

    void secondPresentationIsRefused()
    {
        ViewController host;
        host.resize(375, 812);
        host.show();
        auto *first = new RecordingScreen(QStringLiteral("first"), nullptr);
        host.presentViewController(first, false);
        QPointer<ViewController> second = new RecordingScreen(QStringLiteral("second"), nullptr);
        host.presentViewController(second, false);
        QCOMPARE(host.presentedViewController(), first);
        test::flushDeletes();
        QVERIFY(!second);
    }

    void dismissingTakesScreensPresentedOnTopAlong()
    {
        ManualClock clock;
        ViewController host;
        host.resize(375, 812);
        host.show();
        QPointer<ViewController> first = new RecordingScreen(QStringLiteral("first"), nullptr);
        host.presentViewController(first, false);
        QPointer<ViewController> second = new RecordingScreen(QStringLiteral("second"), nullptr);
        first->presentViewController(second, false);
        host.dismissViewController(true);
        clock.advance(kLongEnough);
        test::flushDeletes();
        QVERIFY(!first);
        QVERIFY(!second);
    }
};

QTEST_MAIN(TestNavigationController)
#include "tst_navigationcontroller.moc"
