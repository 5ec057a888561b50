#include "ui/toolkit/NavigationController.h"

#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/EdgeDragArea.h"
#include "ui/toolkit/NavigationBar.h"

#include <QEasingCurve>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVariantAnimation>

namespace corvane {

namespace {
// How far the screen beneath sits to the left while the top one slides over it.
constexpr double kParallax = 0.3;
} // namespace

NavigationController::NavigationController(ViewController *root, QWidget *parent)
    : ViewController(parent), m_bar(new NavigationBar(this)), m_content(new QWidget(this)),
      m_edge(new EdgeDragArea(this)), m_animation(new QVariantAnimation(this)),
      m_barAnimation(new QVariantAnimation(this)), m_barHeight(NavigationBar::kHeight)
{
    setFocusPolicy(Qt::ClickFocus);
    m_animation->setDuration(static_cast<int>(kTransition.count()));
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { applyProgress(value.toDouble()); });
    connect(m_animation, &QVariantAnimation::finished, this,
            &NavigationController::finishTransition);
    m_barAnimation->setDuration(static_cast<int>(kTransition.count()));
    connect(m_barAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_barHeight = value.toInt();
        layoutContent();
    });
    connect(m_bar, &NavigationBar::backRequested, this, [this] { popViewController(true); });
    if (root) {
        root->setParent(m_content);
        root->show();
        m_stack.append(root);
        connect(root, &ViewController::titleChanged, this, &NavigationController::updateBar);
        connect(root, &ViewController::barItemsChanged, this, &NavigationController::updateBar);
    }
    updateBar();
}

NavigationController::~NavigationController() = default;

QList<ViewController *> NavigationController::viewControllers() const
{
    QList<ViewController *> screens;
    for (const QPointer<ViewController> &screen : m_stack) {
        if (screen)
            screens.append(screen);
    }
    return screens;
}

ViewController *NavigationController::topViewController() const
{
    const QList<ViewController *> screens = viewControllers();
    return screens.isEmpty() ? nullptr : screens.last();
}

bool NavigationController::isTransitioning() const
{
    return m_transition.has_value();
}

void NavigationController::pushViewController(ViewController *screen, bool animated)
{
    if (!screen || m_stack.contains(screen))
        return;
    finishTransition();
    endDrag(false);
    ViewController *from = topViewController();
    screen->setParent(m_content);
    m_stack.append(screen);
    connect(screen, &ViewController::titleChanged, this, &NavigationController::updateBar);
    connect(screen, &ViewController::barItemsChanged, this, &NavigationController::updateBar);
    Q_EMIT stackChanged();
    updateBar();
    startTransition(Transition{from, screen, false}, animated && from, 0.0);
}

ViewController *NavigationController::popViewController(bool animated)
{
    finishTransition();
    const double start = std::exchange(m_startProgress, 0.0);
    if (viewControllers().size() < 2) {
        endDrag(false);
        return nullptr;
    }
    m_dragRevealed = nullptr;
    ViewController *from = topViewController();
    m_stack.removeAll(from);
    Q_EMIT stackChanged();
    updateBar();
    startTransition(Transition{from, topViewController(), true}, animated, start);
    return from;
}

void NavigationController::startTransition(Transition transition, bool animated,
                                           double fromProgress)
{
    m_transition = transition;
    const QRect area = m_content->rect();
    if (transition.to) {
        transition.to->setGeometry(area);
        transition.to->show();
    }
    if (transition.pop && transition.from)
        transition.from->raise();
    else if (transition.to)
        transition.to->raise();
    if (isAppeared()) {
        if (transition.to)
            transition.to->beginAppearanceTransition(true, animated);
        if (transition.from)
            transition.from->beginAppearanceTransition(false, animated);
    }
    applyProgress(fromProgress);
    if (!animated || !transition.from) {
        finishTransition();
        return;
    }
    m_animation->setStartValue(fromProgress);
    m_animation->setEndValue(1.0);
    m_animation->start();
}

void NavigationController::finishTransition()
{
    if (!m_transition)
        return;
    const Transition transition = *m_transition;
    m_transition.reset();
    m_animation->stop();
    if (transition.from)
        transition.from->hide();
    if (transition.to)
        transition.to->setGeometry(m_content->rect());
    if (transition.to)
        transition.to->endAppearanceTransition();
    if (transition.from)
        transition.from->endAppearanceTransition();
    if (transition.pop && transition.from)
        transition.from->deleteLater();
}

void NavigationController::applyProgress(double progress)
{
    if (!m_transition)
        return;
    const int width = m_content->width();
    auto place = [](ViewController *screen, double x) {
        if (screen)
            screen->move(static_cast<int>(x), 0);
    };
    if (m_transition->pop) {
        place(m_transition->from, width * progress);
        place(m_transition->to, -kParallax * width * (1.0 - progress));
    } else {
        place(m_transition->to, width * (1.0 - progress));
        place(m_transition->from, -kParallax * width * progress);
    }
}

bool NavigationController::beginDrag()
{
    if (!backGestureAllowed())
        return false;
    finishTransition();
    const QList<ViewController *> screens = viewControllers();
    m_dragRevealed = screens.at(screens.size() - 2);
    m_dragRevealed->setGeometry(m_content->rect());
    m_dragRevealed->stackUnder(screens.last());
    m_dragRevealed->show();
    updateDrag(0.0);
    return true;
}

void NavigationController::updateDrag(double progress)
{
    ViewController *top = topViewController();
    if (!m_dragRevealed || !top)
        return;
    m_dragProgress = progress;
    const int width = m_content->width();
    top->move(static_cast<int>(width * progress), 0);
    m_dragRevealed->move(static_cast<int>(-kParallax * width * (1.0 - progress)), 0);
}

void NavigationController::endDrag(bool complete)
{
    if (!m_dragRevealed)
        return;
    if (complete) {
        m_startProgress = m_dragProgress;
        popViewController(true);
        return;
    }
    // A drag let go too early puts everything back where it was.
    m_dragRevealed->hide();
    m_dragRevealed = nullptr;
    if (ViewController *top = topViewController())
        top->move(0, 0);
}

bool NavigationController::backGestureShouldBegin() const
{
    const ViewController *top = topViewController();
    return top && !top->leftBarButtonItem();
}

bool NavigationController::backGestureAllowed() const
{
    return m_backGestureEnabled && viewControllers().size() > 1 && backGestureShouldBegin();
}

void NavigationController::setBackGestureEnabled(bool enabled)
{
    m_backGestureEnabled = enabled;
    updateEdge();
}

void NavigationController::handleBackGesture()
{
    if (backGestureAllowed())
        popViewController(true);
}

void NavigationController::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::BackButton) {
        handleBackGesture();
        event->accept();
        return;
    }
    ViewController::mousePressEvent(event);
}

void NavigationController::keyPressEvent(QKeyEvent *event)
{
    const bool altLeft = event->key() == Qt::Key_Left && event->modifiers() == Qt::AltModifier;
    if (altLeft || event->key() == Qt::Key_Back) {
        handleBackGesture();
        event->accept();
        return;
    }
    ViewController::keyPressEvent(event);
}

void NavigationController::setNavigationBarHidden(bool hidden, bool animated)
{
    if (hidden == m_barHidden)
        return;
    m_barHidden = hidden;
    const int target = hidden ? 0 : NavigationBar::kHeight;
    m_barAnimation->stop();
    if (!animated) {
        m_barHeight = target;
        layoutContent();
        return;
    }
    m_barAnimation->setStartValue(m_barHeight);
    m_barAnimation->setEndValue(target);
    m_barAnimation->start();
}

QList<ViewController *> NavigationController::childrenForAppearance() const
{
    ViewController *top = topViewController();
    return top ? QList<ViewController *>{top} : QList<ViewController *>{};
}

void NavigationController::updateBar()
{
    const QList<ViewController *> screens = viewControllers();
    ViewController *top = screens.isEmpty() ? nullptr : screens.last();
    QString backTitle;
    if (screens.size() > 1) {
        const QString below = screens.at(screens.size() - 2)->title();
        backTitle = below.isEmpty() || below.size() > 8 ? QStringLiteral("返回") : below;
    }
    m_bar->setItems(top ? top->title() : QString(), top ? top->leftBarButtonItem() : nullptr,
                    top ? top->rightBarButtonItem() : nullptr, backTitle);
    // A click gives the stack itself keyboard focus; assistive technology then names it after
    // the screen on top.
    setAccessibleName(top ? top->title() : QString());
    updateEdge();
}

void NavigationController::updateEdge()
{
    m_edge->setVisible(backGestureAllowed());
    m_edge->raise();
}

void NavigationController::layoutContent()
{
    m_bar->setGeometry(0, m_barHeight - NavigationBar::kHeight, width(), NavigationBar::kHeight);
    m_bar->setVisible(m_barHeight > 0);
    m_content->setGeometry(contentRect());
    m_edge->setGeometry(0, m_content->y(), EdgeDragArea::kWidth, m_content->height());
    for (ViewController *screen : viewControllers())
        screen->resize(m_content->size());
}

QRect NavigationController::contentRect() const
{
    return QRect(0, m_barHeight, width(), height() - m_barHeight);
}

void NavigationController::resizeEvent(QResizeEvent *event)
{
    ViewController::resizeEvent(event);
    layoutContent();
    if (!m_transition && !m_dragRevealed) {
        if (ViewController *top = topViewController())
            top->move(0, 0);
    }
}

} // namespace corvane
