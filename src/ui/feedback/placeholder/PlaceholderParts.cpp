#include "ui/feedback/placeholder/PlaceholderParts.h"

#include "ui/common/Helpers.h"
#include "ui/toolkit/ViewTag.h"

#include <QLabel>
#include <QWidget>
#include <cmath>

namespace corvane::PlaceholderParts {

void setUpBackground(QWidget *view, int tag)
{
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, kBackgroundGrayColor());
    view->setPalette(palette);
    view->setAutoFillBackground(true);
    setViewTag(view, tag);
}

QLabel *makeCaption(const QString &text)
{
    auto *label = new QLabel(text);
    label->setFont(systemFont(14));
    label->setAlignment(Qt::AlignCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, hexColor(0x999999));
    label->setPalette(palette);
    return label;
}

void setCenterX(QWidget *view, qreal x)
{
    view->move(int(std::lround(x - view->width() / 2.0)), view->y());
}

void setCenter(QWidget *view, QPointF center)
{
    view->move(int(std::lround(center.x() - view->width() / 2.0)),
               int(std::lround(center.y() - view->height() / 2.0)));
}

qreal bottom(const QWidget *view)
{
    return view->y() + view->height();
}

} // namespace corvane::PlaceholderParts
