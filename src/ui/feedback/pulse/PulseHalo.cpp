#include "ui/feedback/pulse/PulseHalo.h"

#include "ui/feedback/decoration/ViewDecoration.h"

#include <QAbstractAnimation>
#include <QEvent>
#include <QPainter>
#include <cmath>

namespace corvane {

PulseHalo::PulseHalo(QWidget *target, const QColor &color, qreal opacity)
    : QWidget(target->parentWidget()), m_target(target), m_color(color),
      m_baseFrame(target->geometry()), m_opacity(opacity)
{
    setObjectName(QStringLiteral("PulseLayerName"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (const ViewDecoration *layer = ViewDecoration::find(target))
        m_cornerRadius = layer->cornerRadius();
    setGeometry(m_baseFrame);
    target->installEventFilter(this);
}

bool PulseHalo::eventFilter(QObject *watched, QEvent *event)
{
    // A layout moves and resizes the view when its window changes size; the halo goes along.
    if (watched == m_target && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        m_baseFrame = m_target->geometry();
        if (const ViewDecoration *layer = ViewDecoration::find(m_target))
            m_cornerRadius = layer->cornerRadius();
        setScale(m_scale);
    }
    return QWidget::eventFilter(watched, event);
}

void PulseHalo::run(QAbstractAnimation *animation)
{
    animation->start();
    if (!isVisible())
        animation->pause();
}

void PulseHalo::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    for (QAbstractAnimation *animation : findChildren<QAbstractAnimation *>()) {
        if (animation->state() == QAbstractAnimation::Paused)
            animation->resume();
    }
}

void PulseHalo::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nothing of a hidden halo is on screen, so its animations wait until it shows again.
    for (QAbstractAnimation *animation : findChildren<QAbstractAnimation *>()) {
        if (animation->state() == QAbstractAnimation::Running)
            animation->pause();
    }
}

void PulseHalo::setScale(qreal scale)
{
    m_scale = scale;
    const QSizeF size = QSizeF(m_baseFrame.size()) * scale;
    QRectF frame(QPointF(), size);
    frame.moveCenter(QRectF(m_baseFrame).center());
    setGeometry(frame.toAlignedRect());
    update();
}

void PulseHalo::setOpacity(qreal opacity)
{
    m_opacity = opacity;
    update();
}

void PulseHalo::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    const qreal radius = m_cornerRadius * m_scale;
    QRectF shape(QPointF(), QSizeF(m_baseFrame.size()) * m_scale);
    shape.moveCenter(QRectF(rect()).center());
    painter.drawRoundedRect(shape, radius, radius);
}

} // namespace corvane
