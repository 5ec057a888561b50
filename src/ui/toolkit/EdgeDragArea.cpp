#include "ui/toolkit/EdgeDragArea.h"

#include "ui/toolkit/NavigationController.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

namespace corvane {

EdgeDragArea::EdgeDragArea(NavigationController *navigation)
    : QWidget(navigation), m_navigation(navigation)
{
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

double EdgeDragArea::progressAt(const QMouseEvent *event) const
{
    const double width = std::max(1, m_navigation->width());
    return std::clamp((event->globalPosition().x() - m_startX) / width, 0.0, 1.0);
}

void EdgeDragArea::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_startX = event->globalPosition().x();
    m_dragging = m_navigation->beginDrag();
}

void EdgeDragArea::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        m_navigation->updateDrag(progressAt(event));
}

void EdgeDragArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    const double moved = std::abs(event->globalPosition().x() - m_startX);
    m_navigation->endDrag(progressAt(event) > kCompleteThreshold);
    if (moved < kTapSlop)
        forwardTap(event);
}

void EdgeDragArea::forwardTap(const QMouseEvent *event)
{
    // A tap on the strip was meant for the screen beneath it.
    ViewController *top = m_navigation->topViewController();
    if (!top)
        return;
    const QPoint inTop = top->mapFromGlobal(event->globalPosition().toPoint());
    QWidget *target = top->childAt(inTop);
    if (!target)
        target = top;
    const QPointF local = target->mapFromGlobal(event->globalPosition());
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent forwarded(
            type, local, event->scenePosition(), event->globalPosition(), Qt::LeftButton,
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, event->modifiers());
        QCoreApplication::sendEvent(target, &forwarded);
    }
}

} // namespace corvane
