#include "ui/feedback/refresh/RefreshControl.h"

#include "ui/common/Helpers.h"

#include <QLabel>

namespace corvane {

RefreshControl::RefreshControl(QWidget *parent) : QWidget(parent), m_stateLabel(new QLabel(this))
{
    m_stateLabel->setAlignment(Qt::AlignCenter);
    m_stateLabel->setFont(boldSystemFont(14));
    QPalette palette = m_stateLabel->palette();
    palette.setColor(QPalette::WindowText, hexColor(0x5A5A5A));
    m_stateLabel->setPalette(palette);
}

RefreshControl::~RefreshControl() = default;

RefreshControl::State RefreshControl::state() const
{
    return m_state;
}

void RefreshControl::setState(State state)
{
    const bool changed = state != m_state;
    m_state = state;
    m_stateLabel->setText(m_titles.value(state));
    placeSubviews();
    if (changed) {
        Q_EMIT stateChanged(state);
        if (state == Refreshing)
            Q_EMIT refreshingRequested();
    }
}

void RefreshControl::setTitle(const QString &title, State state)
{
    m_titles.insert(state, title);
    if (state == m_state) {
        m_stateLabel->setText(title);
        placeSubviews();
    }
}

void RefreshControl::setPullingPercent(qreal percent)
{
    m_pullingPercent = percent;
    if (isRefreshing() || m_state == NoMoreData)
        return;
    setState(percent >= 1.0 ? Pulling : Idle);
}

void RefreshControl::releasePull()
{
    if (m_state == Pulling)
        beginRefreshing();
    m_pullingPercent = 0;
}

void RefreshControl::beginRefreshing()
{
    if (!isRefreshing())
        setState(Refreshing);
}

void RefreshControl::endRefreshing()
{
    if (isRefreshing())
        setState(Idle);
}

void RefreshControl::placeSubviews()
{
    m_stateLabel->setGeometry(rect());
}

void RefreshControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeSubviews();
}

} // namespace corvane
