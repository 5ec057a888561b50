#include "ui/toolkit/RowButton.h"

#include <QKeyEvent>
#include <QPainter>

namespace corvane {

RowButton::RowButton(QWidget *parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

RowButton::~RowButton() = default;

void RowButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.fillRect(rect(), QColor(0xD9, 0xD9, 0xDE));
    else if (underMouse())
        painter.fillRect(rect(), QColor(0xF2, 0xF2, 0xF7));
    if (hasFocus()) {
        QPen ring(palette().color(QPalette::Highlight), 2);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 6, 6);
    }
}

void RowButton::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace corvane
