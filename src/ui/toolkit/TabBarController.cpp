#include "ui/toolkit/TabBarController.h"

#include "ui/toolkit/NavigationController.h"
#include "ui/toolkit/TabBar.h"

namespace corvane {

TabBarController::TabBarController(QWidget *parent) : TabBarController(new TabBar, parent) {}

TabBarController::TabBarController(TabBar *tabBar, QWidget *parent)
    : ViewController(parent), m_tabBar(tabBar)
{
    m_tabBar->setParent(this);
    connect(m_tabBar, &TabBar::tabSelected, this, &TabBarController::setSelectedIndex);
}

TabBarController::~TabBarController() = default;

void TabBarController::setViewControllers(const QList<ViewController *> &screens)
{
    m_screens.clear();
    QList<TabBarItem *> items;
    for (ViewController *screen : screens) {
        screen->setParent(this);
        screen->hide();
        m_screens.append(screen);
        items.append(screen->tabBarItem());
        if (auto *navigation = qobject_cast<NavigationController *>(screen)) {
            connect(navigation, &NavigationController::stackChanged, this,
                    &TabBarController::layoutContent);
        }
    }
    m_tabBar->setItems(items);
    m_selected = -1;
    setSelectedIndex(screens.isEmpty() ? -1 : 0);
}

QList<ViewController *> TabBarController::viewControllers() const
{
    QList<ViewController *> screens;
    for (const QPointer<ViewController> &screen : m_screens) {
        if (screen)
            screens.append(screen);
    }
    return screens;
}

ViewController *TabBarController::selectedViewController() const
{
    return m_selected >= 0 && m_selected < m_screens.size() ? m_screens.at(m_selected).data()
                                                            : nullptr;
}

void TabBarController::setSelectedIndex(int index)
{
    if (index == m_selected || index >= m_screens.size())
        return;
    ViewController *from = selectedViewController();
    m_selected = index;
    ViewController *to = selectedViewController();
    const bool visible = isAppeared();
    if (visible && from)
        from->beginAppearanceTransition(false, false);
    if (visible && to)
        to->beginAppearanceTransition(true, false);
    if (from)
        from->hide();
    if (to)
        to->show();
    m_tabBar->setSelectedIndex(index);
    layoutContent();
    if (from)
        from->endAppearanceTransition();
    if (to)
        to->endAppearanceTransition();
}

QList<ViewController *> TabBarController::childrenForAppearance() const
{
    ViewController *selected = selectedViewController();
    return selected ? QList<ViewController *>{selected} : QList<ViewController *>{};
}

bool TabBarController::bottomBarHidden() const
{
    const auto *navigation = qobject_cast<NavigationController *>(selectedViewController());
    if (!navigation)
        return false;
    const QList<ViewController *> stack = navigation->viewControllers();
    return std::any_of(stack.begin(), stack.end(), [](const ViewController *screen) {
        return screen->hidesBottomBarWhenPushed();
    });
}

void TabBarController::layoutContent()
{
    const bool barShown = !bottomBarHidden();
    m_tabBar->setVisible(barShown);
    const int barHeight = barShown ? TabBar::kHeight : 0;
    m_tabBar->setFrame(QRect(0, height() - TabBar::kHeight, width(), TabBar::kHeight));
    if (ViewController *selected = selectedViewController())
        selected->setGeometry(0, 0, width(), height() - barHeight);
}

void TabBarController::resizeEvent(QResizeEvent *event)
{
    ViewController::resizeEvent(event);
    layoutContent();
}

} // namespace corvane
