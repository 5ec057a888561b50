#include "ui/toolkit/EdgeDragArea.h"

#include "ui/toolkit/NavigationController.h"

#include <QMouseEvent>
#include <algorithm>

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
    m_navigation->endDrag(progressAt(event) > kCompleteThreshold);
}

} // namespace corvane
