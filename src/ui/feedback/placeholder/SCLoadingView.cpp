#include "ui/feedback/placeholder/SCLoadingView.h"

#include "ui/feedback/placeholder/PlaceholderParts.h"
#include "ui/feedback/placeholder/PlaceholderTags.h"
#include "ui/feedback/views/ImageView.h"

#include <QLabel>
#include <limits>

namespace corvane {

using namespace PlaceholderParts;

namespace {
constexpr int frameCount = 33;
} // namespace

SCLoadingView::SCLoadingView(const QRect &frame, QWidget *parent)
    : QWidget(parent), m_contentView(new QWidget), m_loadingImage(new ImageView),
      m_loadingLabel(makeCaption(QStringLiteral("正在加载中...")))
{
    setGeometry(frame);
    setupUI();
}

SCLoadingView::~SCLoadingView() = default;

void SCLoadingView::setupUI()
{
    const int w = width();
    const int h = height();
    setUpBackground(this, kLoadingViewTag);

    m_loadingImage->setGeometry(0, 0, 194, 48);
    m_loadingImage->setImage(ImageView::namedImage(QStringLiteral("loading_0")));
    QList<QPixmap> frames;
    for (int i = 0; i < frameCount; ++i) {
        // A missing frame is skipped rather than shown as a blank flash.
        const QPixmap frame = ImageView::namedImage(QStringLiteral("loading_%1").arg(i));
        if (!frame.isNull())
            frames.append(frame);
    }
    m_loadingImage->setAnimationImages(frames);
    m_loadingImage->setAnimationDuration(2.0);
    m_loadingImage->setAnimationRepeatCount(std::numeric_limits<qint64>::max());
    m_loadingImage->startAnimating();

    auto *line = new ImageView;
    line->setGeometry(0, int(bottom(m_loadingImage)), 180, 1);
    line->setImage(ImageView::namedImage(QStringLiteral("loadingline")));

    m_loadingLabel->setGeometry(0, int(bottom(line)) + 12, w, 14);

    m_contentView->resize(w, int(bottom(m_loadingLabel)));
    // Every part takes the image's centre, kept unrounded so half points do not drift.
    const qreal centerX = m_contentView->width() / 2.0;
    setCenterX(m_loadingImage, centerX);
    setCenterX(line, centerX);
    setCenterX(m_loadingLabel, centerX);

    m_loadingImage->setParent(m_contentView);
    line->setParent(m_contentView);
    m_loadingLabel->setParent(m_contentView);
    setCenter(m_contentView, {w / 2.0, h / 2.0 - 44});
    m_contentView->setParent(this);
}

} // namespace corvane
