#include "platform/scheduling/ManualClock.h"
#include "platform/scheduling/Scheduler.h"
#include "support/RecordingScreen.h"
#include "ui/toolkit/LayoutConstraint.h"
#include "ui/toolkit/ScreenFactory.h"
#include "ui/toolkit/Switch.h"
#include "ui/toolkit/UserInteraction.h"
#include "ui/toolkit/ViewAnimation.h"
#include "ui/toolkit/ViewTag.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace std::chrono_literals;

using namespace corvane;
using corvane::test::RecordingScreen;

class TestControls final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void alphaAndConstraintAnimateTogether()
    {
        ManualClock clock;
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *area = new QWidget(&window);
        auto *areaLayout = new QVBoxLayout(area);
        auto *label = new QLabel(QStringLiteral("IP"), area);
        areaLayout->addWidget(label);
        layout->addWidget(area);
        area->setContentsMargins(0, 50, 0, 0);
        window.show();
        LayoutConstraint top(area, LayoutConstraint::Attribute::TopMargin);
        QCOMPARE(top.constant(), 50);

        QList<bool> completions;
        ViewAnimation::animate(
            0.5,
            [&] {
                setAlpha(label, 0.0);
                top.setConstant(0);
            },
            [&completions](bool finished) { completions.append(finished); });
        // Inside an animation nothing jumps.
        QCOMPARE(alpha(label), 1.0);
        QCOMPARE(area->contentsMargins().top(), 50);

        clock.advance(250ms);
        QVERIFY(alpha(label) > 0.0 && alpha(label) < 1.0);
        QVERIFY(area->contentsMargins().top() > 0 && area->contentsMargins().top() < 50);
        QVERIFY(completions.isEmpty());

        clock.advance(300ms);
        QCOMPARE(alpha(label), 0.0);
        QCOMPARE(area->contentsMargins().top(), 0);
        QCOMPARE(completions, QList<bool>{true});

        // Outside an animation the change is immediate.
        setAlpha(label, 1.0);
        top.setConstant(50);
        QCOMPARE(alpha(label), 1.0);
        QCOMPARE(area->contentsMargins().top(), 50);
    }

    void emptyAnimationStillCompletesAfterItsDuration()
    {
        ManualClock clock;
        int completions = 0;
        ViewAnimation::animate(0.5, {}, [&completions](bool) { ++completions; });
        clock.advance(400ms);
        QCOMPARE(completions, 0);
        clock.advance(200ms);
        QCOMPARE(completions, 1);
    }

    void sizeConstraints()
    {
        QWidget view;
        LayoutConstraint height(&view, LayoutConstraint::Attribute::Height);
        height.setConstant(64);
        QCOMPARE(view.minimumHeight(), 64);
        QCOMPARE(view.maximumHeight(), 64);
        LayoutConstraint width(&view, LayoutConstraint::Attribute::Width);
        width.setConstant(120);
        QCOMPARE(view.maximumWidth(), 120);
    }

    void userInteractionFlagKeepsLookButStopsClicks()
    {
        QWidget window;
        auto *button = new QPushButton(QStringLiteral("连接"), &window);
        button->setGeometry(10, 10, 100, 40);
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicked(button, &QPushButton::clicked);
        // Clicks go through the window, which is where hit testing happens.
        auto click = [&window] {
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(50, 30));
        };
        setUserInteractionEnabled(button, false);
        QVERIFY(!isUserInteractionEnabled(button));
        QVERIFY(button->isEnabled());
        click();
        QCOMPARE(clicked.count(), 0);
        setUserInteractionEnabled(button, true);
        QCOMPARE(button->focusPolicy(), Qt::StrongFocus);
        click();
        QCOMPARE(clicked.count(), 1);
    }

    void keysActivateAndFocusStays_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
    }

    void keysActivateAndFocusStays()
    {
        QFETCH(int, key);
        ManualClock clock;
        ViewController screen;
        auto *layout = new QVBoxLayout(&screen);
        auto *button = new QPushButton(QStringLiteral("连接"), &screen);
        auto *next = new QPushButton(QStringLiteral("下一个"), &screen);
        layout->addWidget(button);
        layout->addWidget(next);
        // What a screen does with a long operation: ignore the user for a second.
        connect(button, &QPushButton::clicked, &screen, [button] {
            setUserInteractionEnabled(button, false);
            delay(1s, button, [button] { setUserInteractionEnabled(button, true); });
        });
        QSignalSpy clicked(button, &QPushButton::clicked);
        screen.show();
        QApplication::setActiveWindow(&screen);
        QVERIFY(QTest::qWaitForWindowActive(&screen));
        button->setFocus(Qt::TabFocusReason);

        QTest::keyClick(screen.windowHandle(), Qt::Key(key));
        QCOMPARE(clicked.count(), 1);
        // Ignoring the user keeps the focus where the user left it, and keys do nothing.
        QCOMPARE(QApplication::focusWidget(), button);
        QTest::keyClick(screen.windowHandle(), Qt::Key(key));
        QCOMPARE(clicked.count(), 1);

        clock.advance(1s);
        QVERIFY(isUserInteractionEnabled(button));
        QCOMPARE(QApplication::focusWidget(), button);
        QTest::keyClick(screen.windowHandle(), Qt::Key(key));
        QCOMPARE(clicked.count(), 2);

        // While the button ignores the user, Tab still moves on from it.
        QTest::keyClick(screen.windowHandle(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
        clock.advance(1s);
    }

    void switchShowsKeyboardFocus()
    {
        QWidget window;
        auto *control = new Switch(&window);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        control->clearFocus();
        const QImage unfocused = window.grab(control->geometry()).toImage();
        control->setFocus(Qt::TabFocusReason);
        QVERIFY(control->hasFocus());
        QVERIFY(window.grab(control->geometry()).toImage() != unfocused);
    }

    void returnLeavesSwitchesToSpace()
    {
        ViewController screen;
        auto *control = new Switch(&screen);
        screen.show();
        QApplication::setActiveWindow(&screen);
        QVERIFY(QTest::qWaitForWindowActive(&screen));
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(screen.windowHandle(), Qt::Key_Return);
        QVERIFY(!control->isOn());
        QTest::keyClick(screen.windowHandle(), Qt::Key_Space);
        QVERIFY(control->isOn());
    }

    void switchFlipsByClickAndKey()
    {
        ManualClock clock;
        Switch control;
        control.show();
        QSignalSpy toggled(&control, &Switch::toggled);
        QTest::mouseClick(&control, Qt::LeftButton);
        QVERIFY(control.isOn());
        QTest::keyClick(&control, Qt::Key_Space);
        QVERIFY(!control.isOn());
        control.setOn(true);
        control.setOn(true);
        QVERIFY(control.isOn());
        QCOMPARE(toggled.count(), 3);
    }

    void screenFactoryBuildsByIdentifier()
    {
        ScreenFactory &main = ScreenFactory::named(QStringLiteral("Main"));
        QCOMPARE(&ScreenFactory::named(QStringLiteral("Main")), &main);
        QVERIFY(&ScreenFactory::named(QStringLiteral("Other")) != &main);
        int built = 0;
        main.registerScreen(QStringLiteral("probe"), [&built] {
            ++built;
            return new RecordingScreen(QStringLiteral("probe"), nullptr);
        });
        std::unique_ptr<ViewController> first(main.instantiate(QStringLiteral("probe")));
        std::unique_ptr<ViewController> second(main.instantiate(QStringLiteral("probe")));
        QVERIFY(first && second && first != second);
        QCOMPARE(first->title(), QStringLiteral("probe"));
        QCOMPARE(built, 2);
        QCOMPARE(main.instantiate(QStringLiteral("missing")), nullptr);
    }

    void outletsMayBeAbsent()
    {
        ViewController screen;
        auto *label = new QLabel(&screen);
        label->setObjectName(QStringLiteral("IPLbl"));
        QPointer<QLabel> present = screen.outlet<QLabel>(QStringLiteral("IPLbl"));
        QCOMPARE(present.data(), label);
        QVERIFY(!screen.outlet<QPushButton>(QStringLiteral("IPLbl")));
        QVERIFY(!screen.outlet<QLabel>(QStringLiteral("addressLbl")));
        delete label;
        QVERIFY(!present);
    }

    void tagsAreFoundAnywhereBelow()
    {
        QWidget root;
        auto *middle = new QWidget(&root);
        auto *deep = new QWidget(middle);
        setViewTag(deep, 89757);
        setViewTag(middle, 89758);
        QCOMPARE(findViewWithTag(&root, 89757), deep);
        QCOMPARE(findViewWithTag(&root, 89758), middle);
        QCOMPARE(findViewWithTag(&root, 89759), nullptr);
        QCOMPARE(viewTag(&root), 0);
    }

    void delayedStepRunsAfterTheActionReturns()
    {
        ManualClock clock;
        QPushButton button;
        QStringList steps;
        connect(&button, &QPushButton::clicked, this, [&steps] {
            delay(0s, [&steps] { steps.append(QStringLiteral("delayed")); });
            delay(1s, [&steps] { steps.append(QStringLiteral("one second")); });
            steps.append(QStringLiteral("action"));
        });
        button.click();
        QCOMPARE(steps, QStringList{QStringLiteral("action")});
        clock.scheduler().advance(0s);
        QCOMPARE(steps, (QStringList{QStringLiteral("action"), QStringLiteral("delayed")}));
        clock.advance(990ms);
        QCOMPARE(steps.size(), 2);
        clock.advance(10ms);
        QCOMPARE(steps.last(), QStringLiteral("one second"));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
