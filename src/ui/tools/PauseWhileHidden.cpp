#include "ui/tools/PauseWhileHidden.h"

#include <QEvent>
#include <QWidget>

namespace corvane {

PauseWhileHidden::PauseWhileHidden(QAbstractAnimation *animation, QWidget *widget)
    : QObject(animation), m_animation(animation), m_widget(widget)
{
    widget->installEventFilter(this);
}

void PauseWhileHidden::start(QAbstractAnimation *animation, QWidget *widget,
                             QAbstractAnimation::DeletionPolicy policy)
{
    auto *guard = new PauseWhileHidden(animation, widget);
    animation->start(policy);
    // A minimised window keeps its widgets "visible" while none of them is on screen.
    if (!widget->isVisible() || widget->window()->isMinimized()) {
        animation->pause();
        guard->m_holding = true;
    }
}

bool PauseWhileHidden::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget) {
        if (event->type() == QEvent::Hide && m_animation->state() == QAbstractAnimation::Running) {
            m_animation->pause();
            m_holding = true;
        } else if (event->type() == QEvent::Show && m_holding) {
            m_holding = false;
            if (m_animation->state() == QAbstractAnimation::Paused)
                m_animation->resume();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
