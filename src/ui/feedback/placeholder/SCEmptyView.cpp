#include "ui/feedback/placeholder/SCEmptyView.h"

#include "ui/feedback/placeholder/PlaceholderParts.h"
#include "ui/feedback/placeholder/PlaceholderTags.h"
#include "ui/feedback/views/ImageView.h"

#include <QLabel>

namespace corvane {

using namespace PlaceholderParts;

SCEmptyView::SCEmptyView(const QRect &frame, QWidget *parent)
    : QWidget(parent), m_contentView(new QWidget), m_emptyImage(new ImageView),
      m_emptyLabel(makeCaption(QString()))
{
    setGeometry(frame);
    setupUI(QString());
}

SCEmptyView::~SCEmptyView() = default;

void SCEmptyView::setupUI(const QString &caption)
{
    const int w = width();
    const int h = height();
    setUpBackground(this, kEmptyViewTag);

    m_emptyImage->setGeometry(0, 0, 104, 90);
    m_emptyImage->setImage(ImageView::namedImage(QStringLiteral("emptyIcon")));

    m_emptyLabel->setGeometry(0, int(bottom(m_emptyImage)) + 18, w, 14);
    m_emptyLabel->setText(caption);

    m_contentView->resize(w, int(bottom(m_emptyLabel)));
    // The caption takes the image's centre, kept unrounded so half points do not drift.
    const qreal centerX = m_contentView->width() / 2.0;
    setCenterX(m_emptyImage, centerX);
    setCenterX(m_emptyLabel, centerX);

    m_emptyImage->setParent(m_contentView);
    m_emptyLabel->setParent(m_contentView);
    setCenter(m_contentView, {w / 2.0, h / 2.0 - 44});
    m_contentView->setParent(this);
}

} // namespace corvane
