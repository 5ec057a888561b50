#include "ui/tools/PauseWhileHidden.h"

#include <QEvent>
#include <QExposeEvent>
#include <QWidget>
#include <QWindow>

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

PauseWhileHidden::PauseWhileHidden(QAbstractAnimation *animation, QWidget *widget)
    : QObject(animation), m_animation(animation), m_widget(widget)
{
    widget->installEventFilter(this);
    watchWindow();
}

void PauseWhileHidden::start(QAbstractAnimation *animation, QWidget *widget,
                             QAbstractAnimation::DeletionPolicy policy)
{
    auto *guard = new PauseWhileHidden(animation, widget);
    animation->start(policy);
    guard->m_unexposed = guard->m_window && !guard->m_window->isExposed();
    if (!guard->onScreen())
        guard->hold();
}

bool PauseWhileHidden::onScreen() const
{
    // A minimised window keeps its widgets "visible" while none of them is on screen.
    return m_widget && m_widget->isVisible() && !m_widget->window()->isMinimized() && !m_unexposed;
}

void PauseWhileHidden::hold()
{
    if (m_animation->state() != QAbstractAnimation::Running)
        return;
    m_animation->pause();
    m_holding = true;
}

void PauseWhileHidden::release()
{
    if (!m_holding || !onScreen())
        return;
    m_holding = false;
    if (m_animation->state() == QAbstractAnimation::Paused)
        m_animation->resume();
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
        hold();
    } else if (watched == m_widget && event->type() == QEvent::Show) {
        watchWindow();
        release();
    } else if (watched == m_window && event->type() == QEvent::Expose && m_widget &&
               m_widget->isVisible()) {
        // A hidden widget waits for its Show; the window's news matters only while shown.
        m_unexposed = ExposedRegion::isEmpty(*static_cast<QExposeEvent *>(event));
        if (m_unexposed)
            hold();
        else
            release();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
