#include "ui/feedback/refresh/SCRefreshFooter.h"

#include "ui/common/Helpers.h"
#include "ui/feedback/views/ActivityIndicator.h"

#include <QLabel>
#include <cmath>

namespace corvane {

SCRefreshFooter::SCRefreshFooter(QWidget *parent)
    : RefreshBackStateFooter(parent), m_loading(new ActivityIndicator(this))
{
    QLabel *label = stateLabel();
    label->setFont(systemFont(14));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kDarkGrayColor());
    label->setPalette(palette);
    placeSubviews();
}

SCRefreshFooter::~SCRefreshFooter() = default;

RefreshControl::State SCRefreshFooter::state() const
{
    return RefreshBackStateFooter::state();
}

void SCRefreshFooter::setState(State state)
{
    RefreshBackStateFooter::setState(state);
    if (state == Idle || state == Pulling)
        m_loading->stopAnimating();
    else if (state == Refreshing)
        m_loading->startAnimating();
}

void SCRefreshFooter::placeSubviews()
{
    RefreshBackStateFooter::placeSubviews();
    m_loading->setGeometry(0, 0, 30, 30);
    m_loading->setColor(kDarkGrayColor());
    m_loading->setHidesWhenStopped(false);
    QLabel *label = stateLabel();
    label->resize(label->sizeHint());
    const int loadingX = int(std::lround(width() / 2.0 - (label->width() + 40) / 2.0));
    m_loading->move(loadingX, m_loading->y());
    label->move(m_loading->x() + m_loading->width() + 10, label->y());
    const qreal centerY = height() / 2.0;
    m_loading->move(m_loading->x(), int(std::lround(centerY - m_loading->height() / 2.0)));
    label->move(label->x(), int(std::lround(centerY - label->height() / 2.0)));
}

} // namespace corvane
