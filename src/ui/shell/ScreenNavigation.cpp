#include "ui/shell/ScreenNavigation.h"

#include "ui/shell/SCBaseNavigationController.h"
#include "ui/toolkit/BarButtonItem.h"

#include <QPointer>
#include <QPushButton>

namespace corvane {

void sc_dismissViewController(ViewController *screen)
{
    if (!screen)
        return;
    if (NavigationController *navigation = screen->navigationController()) {
        const QList<ViewController *> stack = navigation->viewControllers();
        if (!stack.isEmpty() && stack.first() == screen)
            screen->dismissViewController(true);
        else
            navigation->popViewController(true);
        return;
    }
    screen->dismissViewController(true);
}

void back(ViewController *screen)
{
    sc_dismissViewController(screen);
}

void sc_pushViewController(ViewController *screen, ViewController *next, bool animated)
{
    if (!screen || !next)
        return;
    if (NavigationController *navigation = screen->navigationController()) {
        navigation->pushViewController(next, animated);
        return;
    }
    auto *navigation = new SCBaseNavigationController(next);
    const QPointer<ViewController> target(next);
    next->setLeftBarButtonItem(sc_barButtonItem(next, [target] {
        if (target)
            back(target);
    }));
    screen->presentViewController(navigation, true);
}

BarButtonItem *sc_barButtonItem(QObject *target, std::function<void()> action)
{
    auto *button = new QPushButton;
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    // It shows nothing, so assistive technology needs its name and the keyboard its focus ring.
    button->setAccessibleName(QStringLiteral("返回"));
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: white; text-align: left; border: none; } "
                       "QPushButton:focus { border: 2px solid white; border-radius: 8px; }"));
    button->setGeometry(20, 0, 44, 44);
    QObject::connect(button, &QPushButton::clicked, target,
                     [action = std::move(action)] { action(); });
    return new BarButtonItem(button);
}

} // namespace corvane
