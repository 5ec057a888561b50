#include "ui/shell/SCBaseNavigationController.h"

#include "ui/toolkit/NavigationBar.h"

namespace corvane {

namespace {
QColor rgb(quint32 value)
{
    return QColor::fromRgbF(static_cast<float>(((value >> 16) & 0xFF) / 255.0),
                            static_cast<float>(((value >> 8) & 0xFF) / 255.0),
                            static_cast<float>((value & 0xFF) / 255.0), 1.0F);
}
} // namespace

SCBaseNavigationController::SCBaseNavigationController(ViewController *root, QWidget *parent)
    : NavigationController(root, parent)
{}

SCBaseNavigationController::~SCBaseNavigationController() = default;

void SCBaseNavigationController::viewDidLoad()
{
    NavigationController::viewDidLoad();
    NavigationBar *bar = navigationBar();
    QFont font = bar->titleFont();
    font.setPixelSize(kTitlePointSize);
    font.setBold(true);
    bar->setTitleFont(font);
    bar->setTitleColor(Qt::white);
    bar->setTintColor(Qt::white);
    bar->setBarTintColor(rgb(kBarColor));
    bar->setTranslucent(false);
}

void SCBaseNavigationController::pushViewController(ViewController *screen, bool animated)
{
    if (!screen)
        return;
    if (!viewControllers().isEmpty())
        screen->setHidesBottomBarWhenPushed(true);
    NavigationController::pushViewController(screen, animated);
    setBackGestureEnabled(true);
}

ViewController *SCBaseNavigationController::popViewController(bool)
{
    return NavigationController::popViewController(true);
}

bool SCBaseNavigationController::backGestureShouldBegin() const
{
    return true;
}

} // namespace corvane
