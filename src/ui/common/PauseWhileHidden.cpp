#include "ui/common/PauseWhileHidden.h"

#include <QEvent>
#include <QExposeEvent>
#include <QWidget>
#include <QWindow>
#include <utility>

namespace corvane {

namespace {

// An expose event with nothing to show is how the platform says the window went out of sight
// (unmapped by the window manager); Qt 6 keeps the event's region to itself.
struct ExposedRegion final : QExposeEvent
{
    static bool isEmpty(const QExposeEvent &event)
    {
        return (event.*(&ExposedRegion::m_region)).isEmpty();
    }
};

} // namespace

PauseWhileHidden::PauseWhileHidden(QWidget *widget, QObject *owner,
                                   std::function<void(bool)> listener)
    : QObject(owner), m_widget(widget), m_onScreen(std::move(listener))
{
    widget->installEventFilter(this);
    watchWindow();
    // A hidden widget waits for its Show; the window's exposure matters only while shown.
    m_unexposed = widget->isVisible() && m_window && !m_window->isExposed();
    m_told = onScreen();
    m_onScreen(m_told);
}

void PauseWhileHidden::start(QAbstractAnimation *animation, QWidget *widget,
                             QAbstractAnimation::DeletionPolicy policy)
{
    animation->start(policy);
    // Only a pause of its own is undone: whoever else paused the animation decides on resuming.
    watch(widget, animation, [animation, holding = false](bool onScreen) mutable {
        if (!onScreen && animation->state() == QAbstractAnimation::Running) {
            animation->pause();
            holding = true;
        } else if (onScreen && std::exchange(holding, false) &&
                   animation->state() == QAbstractAnimation::Paused) {
            animation->resume();
        }
    });
}

void PauseWhileHidden::watch(QWidget *widget, QObject *owner, std::function<void(bool)> listener)
{
    new PauseWhileHidden(widget, owner, std::move(listener));
}

bool PauseWhileHidden::onScreen() const
{
    // A minimised window keeps its widgets "visible" while none of them is on screen.
    return m_widget && m_widget->isVisible() && !m_widget->window()->isMinimized() && !m_unexposed;
}

void PauseWhileHidden::tell()
{
    const bool now = onScreen();
    if (now != std::exchange(m_told, now))
        m_onScreen(now);
}

void PauseWhileHidden::watchWindow()
{
    QWindow *window = m_widget ? m_widget->window()->windowHandle() : nullptr;
    if (window == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window)
        window->installEventFilter(this);
}

bool PauseWhileHidden::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && event->type() == QEvent::Hide) {
        // A spontaneous hide (the window minimised) leaves the widget "visible".
        if (std::exchange(m_told, false))
            m_onScreen(false);
    } else if (watched == m_widget && event->type() == QEvent::Show) {
        watchWindow();
        tell();
    } else if (watched == m_window && event->type() == QEvent::Expose && m_widget &&
               m_widget->isVisible()) {
        m_unexposed = ExposedRegion::isEmpty(*static_cast<QExposeEvent *>(event));
        tell();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
