#include "ui/feedback/decoration/ViewDecoration.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace corvane {

ViewDecoration::ViewDecoration(QWidget *view) : QGraphicsEffect(view)
{
    changed();
}

ViewDecoration *ViewDecoration::of(QWidget *view)
{
    if (ViewDecoration *existing = find(view))
        return existing;
    auto *decoration = new ViewDecoration(view);
    view->setGraphicsEffect(decoration);
    return decoration;
}

ViewDecoration *ViewDecoration::find(const QWidget *view)
{
    return view ? qobject_cast<ViewDecoration *>(view->graphicsEffect()) : nullptr;
}

void ViewDecoration::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    m_masksToBounds = radius > 0;
    changed();
}

void ViewDecoration::setMasksToBounds(bool masks)
{
    m_masksToBounds = masks;
    changed();
}

void ViewDecoration::setBorderWidth(qreal width)
{
    m_borderWidth = std::max<qreal>(width, 0);
    changed();
}

void ViewDecoration::setBorderColor(const QColor &color)
{
    m_borderColor = color;
    changed();
}

void ViewDecoration::setAddShadow(bool on)
{
    if (!on)
        return;
    m_backgroundColor = Qt::white;
    m_shadowOffset = {0, 0};
    m_shadowColor = QColor::fromRgbF(0, 0, 0, 0.1f);
    m_shadowRadius = 3;
    m_shadowOpacity = 1;
    m_masksToBounds = false;
    changed();
}

void ViewDecoration::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    changed();
}

void ViewDecoration::setShadowColor(const QColor &color)
{
    m_shadowColor = color;
    changed();
}

void ViewDecoration::setShadowOpacity(qreal opacity)
{
    m_shadowOpacity = std::clamp<qreal>(opacity, 0, 1);
    changed();
}

void ViewDecoration::setShadowRadius(qreal radius)
{
    m_shadowRadius = std::max<qreal>(radius, 0);
    changed();
}

void ViewDecoration::setShadowOffset(QPointF offset)
{
    m_shadowOffset = offset;
    changed();
}

void ViewDecoration::setAlpha(qreal alpha)
{
    m_alpha = std::clamp<qreal>(alpha, 0, 1);
    changed();
}

void ViewDecoration::changed()
{
    // With nothing of its own to draw, the widget paints as if undecorated: Qt then skips the
    // effect's detour at every repaint.
    setEnabled(m_alpha < 1 || m_masksToBounds || hasShadow() ||
               (m_backgroundColor.isValid() && m_backgroundColor.alpha() > 0) || m_borderWidth > 0);
    // The shadow may reach outside the widget, so the painted area has to be recomputed.
    updateBoundingRect();
    update();
}

bool ViewDecoration::hasShadow() const
{
    return m_shadowOpacity > 0 && m_shadowColor.alpha() > 0;
}

QRectF ViewDecoration::boundingRectFor(const QRectF &rect) const
{
    if (!hasShadow())
        return rect;
    const qreal spread = m_shadowRadius + 1;
    return rect.united(rect.translated(m_shadowOffset).adjusted(-spread, -spread, spread, spread));
}

void ViewDecoration::drawShadow(QPainter *painter, const QRectF &bounds) const
{
    // A blurred rounded rectangle, approximated by nested translucent outlines that add up
    // towards the centre.
    const int rings = std::max(1, int(std::ceil(m_shadowRadius)));
    QColor color = m_shadowColor;
    color.setAlphaF(float(m_shadowColor.alphaF() * m_shadowOpacity / rings));
    const QRectF shape = bounds.translated(m_shadowOffset);
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    for (int i = rings; i >= 1; --i) {
        const qreal grow = m_shadowRadius * i / rings - m_shadowRadius / 2;
        const QRectF ring = shape.adjusted(-grow, -grow, grow, grow);
        const qreal radius = std::max<qreal>(m_cornerRadius + grow, 0);
        painter->drawRoundedRect(ring, radius, radius);
    }
}

void ViewDecoration::drawBorder(QPainter *painter, const QRectF &bounds) const
{
    const qreal inset = m_borderWidth / 2;
    const qreal radius = std::max<qreal>(m_cornerRadius - inset, 0);
    painter->setPen(QPen(m_borderColor, m_borderWidth));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), radius, radius);
}

void ViewDecoration::drawDirect(QPainter *painter)
{
    const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (hasShadow())
        drawShadow(painter, bounds);
    if (m_backgroundColor.isValid() && m_backgroundColor.alpha() > 0) {
        QPainterPath shape;
        shape.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
        painter->fillPath(shape, m_backgroundColor);
    }
    painter->restore();
    drawSource(painter);
    if (m_borderWidth > 0) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        drawBorder(painter, bounds);
        painter->restore();
    }
}

void ViewDecoration::draw(QPainter *painter)
{
    if (m_alpha <= 0)
        return;
    if (!m_masksToBounds && m_alpha >= 1) {
        // Nothing to clip or fade: the widget paints straight into the window, around the
        // layer's own drawing, rather than into an offscreen copy at every repaint.
        drawDirect(painter);
        return;
    }
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(painter->opacity() * m_alpha);

    QPainterPath shape;
    shape.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
    if (hasShadow())
        drawShadow(painter, bounds);
    if (m_backgroundColor.isValid() && m_backgroundColor.alpha() > 0)
        painter->fillPath(shape, m_backgroundColor);

    painter->save();
    if (m_masksToBounds)
        painter->setClipPath(shape, Qt::IntersectClip);
    painter->drawPixmap(offset, source);
    painter->restore();

    if (m_borderWidth > 0)
        drawBorder(painter, bounds);
    painter->restore();
}

} // namespace corvane
