#include "ui/toolkit/RoundButton.h"

#include <QEvent>
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

RoundButton::RoundButton(QWidget *parent) : QPushButton(parent)
{
    // Fixed once: otherwise every paint asks the style sheet for it, the costliest part of a
    // repaint that the cached picture answers.
    setIconSize(iconSize());
}

RoundButton::~RoundButton() = default;

bool RoundButton::hitButton(const QPoint &pos) const
{
    const QRectF bounds(rect());
    // The pixel's centre decides, so the circle's edge pixels count the same on every side.
    return QLineF(bounds.center(), QPointF(pos) + QPointF(0.5, 0.5)).length() <= radiusOf(bounds);
}

void RoundButton::changeEvent(QEvent *event)
{
    // Anything the style sheet, palette or font decides is drawn afresh.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::FontChange)
        m_picture = QPixmap();
    QPushButton::changeEvent(event);
}

void RoundButton::paintEvent(QPaintEvent *)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const Look look{option.state & ~QStyle::State_HasFocus,
                    option.text,
                    size(),
                    option.icon.cacheKey(),
                    hasFocus(),
                    devicePixelRatioF()};
    if (m_picture.isNull() || look != m_look)
        render(look);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void RoundButton::render(const Look &look)
{
    m_look = look;
    m_picture = QPixmap(look.size * look.pixelRatio);
    m_picture.setDevicePixelRatio(look.pixelRatio);
    m_picture.fill(Qt::transparent);
    QStylePainter painter(&m_picture, this);
    // What a painter on the widget itself would start with.
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.setBrush(palette().brush(backgroundRole()));
    painter.setLayoutDirection(layoutDirection());
    QStyleOptionButton option;
    initStyleOption(&option);
    option.state = look.state;
    painter.drawControl(QStyle::CE_PushButton, option);
    if (!look.focusRing)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, kFocusRingWidth));
    painter.setBrush(Qt::NoBrush);
    const QRectF bounds(rect());
    const qreal radius = radiusOf(bounds) - kFocusRingWidth / 2.0;
    painter.drawEllipse(bounds.center(), radius, radius);
}

} // namespace corvane
