#include "ui/feedback/pulse/PulseHalo.h"

#include "ui/feedback/decoration/ViewDecoration.h"

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
