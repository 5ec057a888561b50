#include "ui/feedback/views/ImageView.h"

#include "ui/common/PauseWhileHidden.h"
#include "ui/common/PngResource.h"

#include <QPainter>
#include <QVariantAnimation>
#include <limits>

namespace corvane {

namespace {
// The application's images are drawn at twice their size in points, for sharp high-density
// screens.
constexpr qreal imageScale = 2.0;
} // namespace

ImageView::ImageView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

ImageView::~ImageView() = default;

QPixmap ImageView::namedImage(const QString &name)
{
    QPixmap pixmap = QPixmap::fromImage(PngResource::read(name));
    if (!pixmap.isNull())
        pixmap.setDevicePixelRatio(imageScale);
    return pixmap;
}

void ImageView::setImage(const QPixmap &image)
{
    m_image = image;
    update();
}

void ImageView::setContentMode(ContentMode mode)
{
    m_mode = mode;
    update();
}

void ImageView::setAnimationImages(const QList<QPixmap> &frames)
{
    stopAnimating();
    m_frames = frames;
}

void ImageView::startAnimating()
{
    if (m_frames.isEmpty() || isAnimating())
        return;
    const double duration = m_duration > 0 ? m_duration : m_frames.size() / 30.0;
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(0);
    animation->setEndValue(int(m_frames.size()));
    animation->setDuration(std::max(1, int(duration * 1000)));
    const bool forever = m_repeatCount <= 0 || m_repeatCount > std::numeric_limits<int>::max();
    animation->setLoopCount(forever ? -1 : int(m_repeatCount));
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        const int frame = std::min(value.toInt(), int(m_frames.size()) - 1);
        if (frame != m_frame) {
            m_frame = frame;
            update();
        }
    });
    connect(animation, &QVariantAnimation::finished, this, &ImageView::stopAnimating);
    m_animation = animation;
    m_frame = 0;
    PauseWhileHidden::start(animation, this, QAbstractAnimation::DeleteWhenStopped);
    update();
}

void ImageView::stopAnimating()
{
    if (m_animation)
        m_animation->stop();
    m_frame = -1;
    update();
}

bool ImageView::isAnimating() const
{
    // One held while the view is off screen still counts: it goes on once the view shows.
    return m_animation && m_animation->state() != QAbstractAnimation::Stopped;
}

void ImageView::paintEvent(QPaintEvent *)
{
    const QPixmap &pixmap =
        m_frame >= 0 && m_frame < m_frames.size() ? m_frames.at(m_frame) : m_image;
    if (pixmap.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QRectF target = rect();
    if (m_mode == ContentMode::AspectFit) {
        const QSizeF size =
            pixmap.deviceIndependentSize().scaled(target.size(), Qt::KeepAspectRatio);
        target = QRectF(QPointF(), size);
        target.moveCenter(QRectF(rect()).center());
    }
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
}

} // namespace corvane
