#include "ui/feedback/toast/ToastBuilder.h"

#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/views/ActivityIndicator.h"
#include "ui/feedback/views/ImageView.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QTextLayout>
#include <QWidget>
#include <cmath>

namespace corvane::ToastBuilder {

namespace {

// A text broken into the lines a label shows, and the size they take.
struct WrappedText
{
    QString text;
    QSizeF size;
};

// Breaks `text` into lines no wider than the limit: between words where it can, inside a word
// that is wider than a line by itself. When the lines run past `lines` (0: no limit) or past
// the limit's height, the last line that fits ends with an ellipsis. Each side of the size is
// capped at the limit.
WrappedText wrapText(const QString &text, const QFont &font, int lines, QSizeF limit)
{
    if (text.isEmpty() || limit.width() <= 0 || limit.height() <= 0)
        return {text, {0, 0}};
    const QFontMetricsF metrics(font);
    const auto fitting = static_cast<int>(std::max(1.0, limit.height() / metrics.lineSpacing()));
    const int maxLines = lines > 0 ? std::min(lines, fitting) : fitting;

    QString flowing = text;
    flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flowing, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList shown;
    qreal width = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(limit.width());
        const int end = line.textStart() + line.textLength();
        QString part;
        if (shown.size() + 1 == maxLines && end < flowing.size()) {
            QString rest = flowing.mid(line.textStart());
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            part = metrics.elidedText(rest, Qt::ElideRight, limit.width());
        } else {
            part = flowing.mid(line.textStart(), line.textLength());
            // The space or line break that ends a line is not drawn.
            while (!part.isEmpty() && part.back().isSpace())
                part.chop(1);
        }
        shown.append(part);
        width = std::max(width, metrics.horizontalAdvance(part));
        if (shown.size() == maxLines)
            break;
    }
    layout.endLayout();
    const qreal height = std::ceil(metrics.lineSpacing() * static_cast<qreal>(shown.size()));
    return {shown.join(QLatin1Char('\n')),
            {std::min(std::ceil(width), limit.width()), std::min(height, limit.height())}};
}

// A label showing the wrapped lines of `text`; assistive technology reads all of `text`.
QLabel *makeLabel(QWidget *parent, const QString &text, const WrappedText &lines, const QFont &font,
                  Qt::Alignment alignment, const QColor &color)
{
    auto *label = new QLabel(lines.text, parent);
    if (lines.text != text)
        label->setAccessibleName(text);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    // The lines are broken beforehand; the label must not break them again.
    label->setWordWrap(false);
    label->setTextFormat(Qt::PlainText);
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
        const QSizeF limit(hostSize.width() * style.maxWidthPercentage - imageRect.width(),
                           hostSize.height() * style.maxHeightPercentage);
        const WrappedText lines =
            wrapText(*title, style.titleFont, style.titleNumberOfLines, limit);
        titleLabel = makeLabel(wrapper, *title, lines, style.titleFont, style.titleAlignment,
                               style.titleColor);
        titleSize = lines.size;
    }

    QLabel *messageLabel = nullptr;
    QSizeF messageSize(0, 0);
    if (message) {
        const QSizeF limit(hostSize.width() * style.maxWidthPercentage,
                           hostSize.height() * style.maxHeightPercentage);
        const WrappedText lines =
            wrapText(*message, style.messageFont, style.messageNumberOfLines, limit);
        messageLabel = makeLabel(wrapper, *message, lines, style.messageFont,
                                 style.messageAlignment, style.messageColor);
        messageSize = lines.size;
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
        const QSizeF limit(host->width() * style.maxWidthPercentage - 20,
                           QFontMetricsF(style.messageFont).height());
        const WrappedText line = wrapText(*message, style.messageFont, 1, limit);
        auto *label =
            makeLabel(box, *message, line, style.messageFont, Qt::AlignHCenter, style.messageColor);
        const QSizeF labelSize = line.size;
        boxSize = QSizeF(std::max(boxSize.width(), labelSize.width() + 20),
                         boxSize.height() + labelSize.height());
        const qreal indicatorTop =
            (style.activitySize.height() + 60 - style.activitySize.height()) / 2;
        indicator->move(int(std::lround((boxSize.width() - style.activitySize.width()) / 2)),
                        int(std::lround(indicatorTop)));
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
