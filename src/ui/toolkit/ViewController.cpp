#include "ui/toolkit/ViewController.h"

#include "platform/log/Log.h"
#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/NavigationController.h"
#include "ui/toolkit/PresentationOverlay.h"
#include "ui/toolkit/TabBarController.h"
#include "ui/toolkit/TabBarItem.h"
#include "ui/toolkit/UserInteraction.h"

#include <QApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QShowEvent>

namespace corvane {

ViewController::ViewController(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

ViewController::~ViewController()
{
    // Hide while this is still a screen, and let go of what it presents: the hide events that
    // QWidget's destructor would send otherwise reach screens that look at a half-destroyed one.
    if (m_presented)
        m_presented->m_presenting = nullptr;
    hide();
}

void ViewController::loadViewIfNeeded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    viewDidLoad();
}

void ViewController::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    if (m_tabBarItem)
        m_tabBarItem->setTitle(title);
    Q_EMIT titleChanged();
}

BarButtonItem *ViewController::leftBarButtonItem() const
{
    return m_leftItem;
}

BarButtonItem *ViewController::rightBarButtonItem() const
{
    return m_rightItem;
}

void ViewController::setLeftBarButtonItem(BarButtonItem *item)
{
    if (item == m_leftItem)
        return;
    delete m_leftItem;
    m_leftItem = item;
    if (item)
        item->setParent(this);
    Q_EMIT barItemsChanged();
}

void ViewController::setRightBarButtonItem(BarButtonItem *item)
{
    if (item == m_rightItem)
        return;
    delete m_rightItem;
    m_rightItem = item;
    if (item)
        item->setParent(this);
    Q_EMIT barItemsChanged();
}

TabBarItem *ViewController::tabBarItem()
{
    if (!m_tabBarItem) {
        m_tabBarItem = new TabBarItem(this);
        m_tabBarItem->setTitle(m_title);
    }
    return m_tabBarItem;
}

ViewController *ViewController::parentViewController() const
{
    for (QWidget *widget = parentWidget(); widget; widget = widget->parentWidget()) {
        if (qobject_cast<PresentationOverlay *>(widget))
            return nullptr;
        if (auto *screen = qobject_cast<ViewController *>(widget))
            return screen;
    }
    return nullptr;
}

NavigationController *ViewController::navigationController() const
{
    for (ViewController *screen = parentViewController(); screen;
         screen = screen->parentViewController()) {
        if (auto *navigation = qobject_cast<NavigationController *>(screen))
            return navigation;
    }
    return nullptr;
}

TabBarController *ViewController::tabBarController() const
{
    for (ViewController *screen = parentViewController(); screen;
         screen = screen->parentViewController()) {
        if (auto *tabs = qobject_cast<TabBarController *>(screen))
            return tabs;
    }
    return nullptr;
}

ViewController *ViewController::presentingViewController() const
{
    for (const ViewController *screen = this; screen; screen = screen->parentViewController()) {
        if (screen->m_presenting)
            return screen->m_presenting;
    }
    return nullptr;
}

QWidget *ViewController::presentationHost(QWidget *view)
{
    QWidget *host = nullptr;
    for (QWidget *widget = view; widget; widget = widget->parentWidget()) {
        if (qobject_cast<ViewController *>(widget))
            host = widget;
    }
    return host ? host : view->window();
}

ViewController *ViewController::presentationRoot()
{
    ViewController *root = this;
    while (ViewController *parent = root->parentViewController())
        root = parent;
    return root;
}

void ViewController::presentViewController(ViewController *screen, bool animated,
                                           std::function<void()> completion)
{
    if (!screen)
        return;
    if (m_presented) {
        // Only one presentation at a time per screen; the refused screen was handed over to us.
        Log::warning(QStringLiteral("Refused to present a screen over one that already presents"));
        screen->deleteLater();
        return;
    }
    m_presented = screen;
    screen->m_presenting = this;
    screen->m_overlay = new PresentationOverlay(this, screen, presentationHost(this));
    screen->m_overlay->present(animated, std::move(completion));
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion)
{
    if (m_presented) {
        dismissPresented(animated, std::move(completion));
        return;
    }
    for (ViewController *screen = this; screen; screen = screen->parentViewController()) {
        if (screen->m_presenting) {
            screen->m_presenting->dismissPresented(animated, std::move(completion));
            return;
        }
    }
}

void ViewController::dismissPresented(bool animated, std::function<void()> completion)
{
    const QPointer<ViewController> presented = m_presented;
    if (!presented)
        return;
    // Whatever the dismissed screen shows on top goes with it.
    if (presented->m_presented)
        presented->dismissPresented(false, {});
    if (presented->m_overlay)
        presented->m_overlay->dismiss(animated, std::move(completion));
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    loadViewIfNeeded();
    if (appearing) {
        if (m_appearance == Appearance::Appeared || m_appearance == Appearance::Appearing)
            return;
        m_appearance = Appearance::Appearing;
        m_transitionAnimated = animated;
        viewWillAppear(animated);
    } else {
        if (m_appearance == Appearance::Disappeared || m_appearance == Appearance::Disappearing)
            return;
        // Where the keyboard was, so coming back (a pop, a dismissed sheet) puts it there again.
        QWidget *focused = QApplication::focusWidget();
        if (focused && isAncestorOf(focused))
            m_lastFocus = focused;
        m_appearance = Appearance::Disappearing;
        m_transitionAnimated = animated;
        viewWillDisappear(animated);
    }
    for (ViewController *child : childrenForAppearance())
        child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition()
{
    if (m_appearance == Appearance::Appearing) {
        m_appearance = Appearance::Appeared;
        restoreFocus();
        viewDidAppear(m_transitionAnimated);
    } else if (m_appearance == Appearance::Disappearing) {
        m_appearance = Appearance::Disappeared;
        viewDidDisappear(m_transitionAnimated);
    } else {
        return;
    }
    for (ViewController *child : childrenForAppearance())
        child->endAppearanceTransition();
}

void ViewController::restoreFocus()
{
    const QPointer<QWidget> last = std::exchange(m_lastFocus, nullptr);
    if (last && last->isVisible() && last->isEnabled() && last->focusPolicy() != Qt::NoFocus)
        last->setFocus(Qt::OtherFocusReason);
}

void ViewController::keyPressEvent(QKeyEvent *event)
{
    if (!activateFocusedButton(event))
        QWidget::keyPressEvent(event);
}

void ViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    loadViewIfNeeded();
    // Screens inside a container or a presentation hear from it; a free-standing one (a window
    // or a widget of a plain layout) follows its own visibility.
    if (!event->spontaneous() && !parentViewController() && m_presenting.isNull()) {
        beginAppearanceTransition(true, false);
        endAppearanceTransition();
    }
}

void ViewController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && !parentViewController() && m_presenting.isNull()) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
}

} // namespace corvane
