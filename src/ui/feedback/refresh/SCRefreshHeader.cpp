#include "ui/feedback/refresh/SCRefreshHeader.h"

#include "ui/feedback/views/ImageView.h"

#include <QLabel>
#include <cmath>

namespace corvane {

SCRefreshHeader::SCRefreshHeader(QWidget *parent) : RefreshGifHeader(parent)
{
    placeSubviews();
}

SCRefreshHeader::~SCRefreshHeader() = default;

void SCRefreshHeader::placeSubviews()
{
    RefreshGifHeader::placeSubviews();
    if (height() != 85)
        resize(width(), 85);
    const qreal centerX = width() / 2.0;
    QLabel *label = stateLabel();
    label->setGeometry(0, 5, width(), 14);
    label->move(int(std::lround(centerX - label->width() / 2.0)), label->y());
    ImageView *gif = gifView();
    const int labelBottom = label->y() + label->height();
    gif->move(int(std::lround(centerX - gif->width() / 2.0)), labelBottom);
}

} // namespace corvane
