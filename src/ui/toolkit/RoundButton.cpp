#include "ui/toolkit/RoundButton.h"

#include <QLineF>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace corvane {

namespace {

qreal radiusOf(const QRectF &rect)
{
    return std::min(rect.width(), rect.height()) / 2.0;
}

} // namespace

RoundButton::RoundButton(QWidget *parent) : QPushButton(parent) {}

RoundButton::~RoundButton() = default;

bool RoundButton::hitButton(const QPoint &pos) const
{
    const QRectF bounds(rect());
    // The pixel's centre decides, so the circle's edge pixels count the same on every side.
    return QLineF(bounds.center(), QPointF(pos) + QPointF(0.5, 0.5)).length() <= radiusOf(bounds);
}

void RoundButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.state &= ~QStyle::State_HasFocus;
    painter.drawControl(QStyle::CE_PushButton, option);
    if (!hasFocus())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, kFocusRingWidth));
    painter.setBrush(Qt::NoBrush);
    const QRectF bounds(rect());
    const qreal radius = radiusOf(bounds) - kFocusRingWidth / 2.0;
    painter.drawEllipse(bounds.center(), radius, radius);
}

} // namespace corvane
