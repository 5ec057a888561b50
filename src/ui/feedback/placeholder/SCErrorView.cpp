#include "ui/feedback/placeholder/SCErrorView.h"

#include "ui/common/Helpers.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/placeholder/PlaceholderParts.h"
#include "ui/feedback/placeholder/PlaceholderTags.h"
#include "ui/feedback/views/ImageView.h"

#include <QLabel>
#include <QPushButton>

namespace corvane {

using namespace PlaceholderParts;

SCErrorView::SCErrorView(const QRect &frame, QWidget *parent)
    : QWidget(parent), m_contentView(new QWidget), m_errorImage(new ImageView),
      m_errorLabel(makeCaption(QStringLiteral("抱歉，网络不给力"))), m_reloadBtn(new QPushButton)
{
    setGeometry(frame);
    setupUI();
}

SCErrorView::~SCErrorView() = default;

void SCErrorView::reload()
{
    if (m_click)
        m_click();
}

void SCErrorView::setupUI()
{
    const int w = width();
    const int h = height();
    setUpBackground(this, kErrorViewTag);

    m_errorImage->setGeometry(0, 0, 117, 108);
    m_errorImage->setImage(ImageView::namedImage(QStringLiteral("netError")));

    m_errorLabel->setGeometry(0, int(bottom(m_errorImage)) + 18, w, 14);

    m_reloadBtn->setGeometry(0, int(bottom(m_errorLabel)) + 44, 120, 30);
    m_reloadBtn->setText(QStringLiteral("刷新"));
    m_reloadBtn->setFlat(true);
    m_reloadBtn->setFont(systemFont(14));
    m_reloadBtn->setCursor(Qt::PointingHandCursor);
    QPalette palette = m_reloadBtn->palette();
    palette.setColor(QPalette::ButtonText, hexColor(0x0E7EF5));
    m_reloadBtn->setPalette(palette);
    ViewDecoration *layer = ViewDecoration::of(m_reloadBtn);
    layer->setCornerRadius(15);
    layer->setBorderWidth(1);
    layer->setBorderColor(hexColor(0x0E7EF5));
    connect(m_reloadBtn, &QPushButton::clicked, this, &SCErrorView::reload);

    m_contentView->resize(w, int(bottom(m_reloadBtn)));
    // Every part takes the image's centre, kept unrounded so half points do not drift.
    const qreal centerX = m_contentView->width() / 2.0;
    setCenterX(m_errorImage, centerX);
    setCenterX(m_errorLabel, centerX);
    setCenterX(m_reloadBtn, centerX);

    m_errorImage->setParent(m_contentView);
    m_errorLabel->setParent(m_contentView);
    m_reloadBtn->setParent(m_contentView);
    setCenter(m_contentView, {w / 2.0, h / 2.0 - 44});
    m_contentView->setParent(this);
}

} // namespace corvane
