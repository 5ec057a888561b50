#include "ui/feedback/refresh/RefreshGifHeader.h"

#include "ui/feedback/views/ImageView.h"

#include <QLabel>

namespace corvane {

RefreshGifHeader::RefreshGifHeader(QWidget *parent)
    : RefreshControl(parent), m_gifView(new ImageView(this))
{
    setTitle(QStringLiteral("下拉可以刷新"), Idle);
    setTitle(QStringLiteral("松开立即刷新"), Pulling);
    setTitle(QStringLiteral("正在刷新数据中..."), Refreshing);
    resize(width(), 54);
}

RefreshGifHeader::~RefreshGifHeader() = default;

void RefreshGifHeader::setImages(const QList<QPixmap> &images, double duration, State state)
{
    m_sequences.insert(state, Sequence{images, duration});
    if (state == this->state())
        setState(state);
}

void RefreshGifHeader::setState(State state)
{
    RefreshControl::setState(state);
    const Sequence sequence = m_sequences.value(state);
    m_gifView->stopAnimating();
    m_gifView->setImage(sequence.images.value(0));
    if (sequence.images.size() > 1) {
        m_gifView->setAnimationImages(sequence.images);
        m_gifView->setAnimationDuration(sequence.duration);
        m_gifView->startAnimating();
    }
}

void RefreshGifHeader::placeSubviews()
{
    RefreshControl::placeSubviews();
    // The images keep their own size, left of the centred text.
    const QSize imageSize = m_gifView->image().isNull()
                                ? QSize(height(), height())
                                : m_gifView->image().deviceIndependentSize().toSize();
    const int textWidth = stateLabel()->sizeHint().width();
    m_gifView->setGeometry(width() / 2 - textWidth / 2 - 20 - imageSize.width(),
                           (height() - imageSize.height()) / 2, imageSize.width(),
                           imageSize.height());
}

} // namespace corvane
