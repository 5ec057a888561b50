#include "ui/feedback/toast/ToastBuilder.h"

#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/views/ActivityIndicator.h"
#include "ui/feedback/views/ImageView.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QWidget>
#include <cmath>

namespace corvane::ToastBuilder {

namespace {

// The size a wrapped label needs for `text` within `limit`, each side capped at the limit.
QSizeF fittingSize(const QString &text, const QFont &font, int lines, QSizeF limit)
{
    if (text.isEmpty() || limit.width() <= 0 || limit.height() <= 0)
        return {0, 0};
    const QFontMetricsF metrics(font);
    const QRectF box =
        metrics.boundingRect(QRectF(0, 0, limit.width(), 1e6), Qt::TextWordWrap, text);
    qreal height = std::ceil(box.height());
    if (lines > 0)
        height = std::min(height, std::ceil(metrics.lineSpacing() * lines));
    return {std::min(std::ceil(box.width()), limit.width()), std::min(height, limit.height())};
}

QLabel *makeLabel(QWidget *parent, const QString &text, const QFont &font, Qt::Alignment alignment,
                  const QColor &color)
{
    auto *label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setWordWrap(true);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QRect frame(qreal x, qreal y, qreal width, qreal height)
{
    return QRectF(x, y, width, height).toRect();
}

void setCenterX(QWidget *view, qreal centerX)
{
    view->move(int(std::lround(centerX - view->width() / 2.0)), view->y());
}

} // namespace

std::variant<QWidget *, ToastError> toastView(QWidget *host, const std::optional<QString> &message,
                                              const std::optional<QString> &title,
                                              const QPixmap &image, const ToastStyle &style)
{
    if (!message && !title && image.isNull())
        return ToastError::missingParameters;

    auto *wrapper = new QWidget(host);
    wrapper->hide();
    ViewDecoration *layer = ViewDecoration::of(wrapper);
    layer->setBackgroundColor(style.backgroundColor);
    layer->setCornerRadius(style.cornerRadius);
    layer->setMasksToBounds(false);
    if (style.displayShadow) {
        layer->setShadowColor(Qt::black);
        layer->setShadowOpacity(style.shadowOpacity);
        layer->setShadowRadius(style.shadowRadius);
        layer->setShadowOffset(style.shadowOffset);
    }

    ImageView *imageView = nullptr;
    QRectF imageRect;
    if (!image.isNull()) {
        imageView = new ImageView(wrapper);
        imageView->setContentMode(ImageView::ContentMode::AspectFit);
        imageView->setImage(image);
        imageRect = QRectF(QPointF(35, 20), style.imageSize);
        imageView->setGeometry(imageRect.toRect());
    }

    const QSizeF hostSize = host->size();
    QLabel *titleLabel = nullptr;
    QSizeF titleSize(0, 0);
    if (title) {
        titleLabel =
            makeLabel(wrapper, *title, style.titleFont, style.titleAlignment, style.titleColor);
        const QSizeF limit(hostSize.width() * style.maxWidthPercentage - imageRect.width(),
                           hostSize.height() * style.maxHeightPercentage);
        titleSize = fittingSize(*title, style.titleFont, style.titleNumberOfLines, limit);
    }

    QLabel *messageLabel = nullptr;
    QSizeF messageSize(0, 0);
    if (message) {
        messageLabel = makeLabel(wrapper, *message, style.messageFont, style.messageAlignment,
                                 style.messageColor);
        const QSizeF limit(hostSize.width() * style.maxWidthPercentage,
                           hostSize.height() * style.maxHeightPercentage);
        messageSize = fittingSize(*message, style.messageFont, style.messageNumberOfLines, limit);
    }

    const bool hasImage = imageView != nullptr;
    const qreal messageTop = hasImage ? imageRect.bottom() + 12 : 20;
    const qreal contentWidth = std::max(imageRect.width(), messageSize.width());
    const qreal wrapperWidth = std::max(messageSize.width() + 20, 117.0);
    const qreal wrapperHeight = imageRect.bottom() + (hasImage ? 12 : style.verticalPadding) +
                                style.verticalPadding + messageSize.height();
    wrapper->setGeometry(frame(0, 0, wrapperWidth, wrapperHeight));

    // The title sits beside the image and, as designed, does not enlarge the bubble.
    if (titleLabel)
        titleLabel->setGeometry(frame(imageRect.right() + style.horizontalPadding,
                                      style.verticalPadding, contentWidth, titleSize.height()));
    if (imageView)
        setCenterX(imageView, wrapperWidth / 2);
    if (messageLabel) {
        messageLabel->setGeometry(frame(0, messageTop, contentWidth, messageSize.height()));
        setCenterX(messageLabel,
                   imageView ? QRectF(imageView->geometry()).center().x() : wrapperWidth / 2);
    }
    return wrapper;
}

QWidget *activityView(QWidget *host, const std::optional<QString> &message, const ToastStyle &style)
{
    auto *overlay = new QWidget(host);
    overlay->hide();
    overlay->resize(host->size());

    auto *box = new QWidget(overlay);
    ViewDecoration *layer = ViewDecoration::of(box);
    layer->setBackgroundColor(style.activityBackgroundColor);
    layer->setCornerRadius(5);
    QSizeF boxSize = style.activitySize + QSizeF(60, 60);

    auto *indicator = new ActivityIndicator(box);
    indicator->setColor(style.activityIndicatorColor);
    indicator->setGeometry(frame((boxSize.width() - style.activitySize.width()) / 2,
                                 (boxSize.height() - style.activitySize.height()) / 2,
                                 style.activitySize.width(), style.activitySize.height()));
    indicator->startAnimating();

    if (message) {
        auto *label =
            makeLabel(box, *message, style.messageFont, Qt::AlignHCenter, style.messageColor);
        label->setWordWrap(false);
        const QSizeF limit(host->width() * style.maxWidthPercentage - 20,
                           QFontMetricsF(style.messageFont).height());
        const QSizeF labelSize = fittingSize(*message, style.messageFont, 1, limit);
        boxSize = QSizeF(std::max(boxSize.width(), labelSize.width() + 20),
                         boxSize.height() + labelSize.height());
        const qreal indicatorTop =
            (style.activitySize.height() + 60 - style.activitySize.height()) / 2;
        indicator->move(int(std::lround((boxSize.width() - style.activitySize.width()) / 2)),
                        int(std::lround(indicatorTop)));
        label->setText(
            QFontMetricsF(style.messageFont).elidedText(*message, Qt::ElideRight, limit.width()));
        label->setGeometry(frame((boxSize.width() - labelSize.width()) / 2,
                                 indicatorTop + style.activitySize.height() + 12, labelSize.width(),
                                 labelSize.height()));
    }
    box->resize(QSizeF(boxSize).toSize());
    box->move(QPoint(int(std::lround((overlay->width() - boxSize.width()) / 2)),
                     int(std::lround((overlay->height() - boxSize.height()) / 2))));
    return overlay;
}

} // namespace corvane::ToastBuilder
