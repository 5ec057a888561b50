#pragma once

#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QVariantAnimation;

namespace corvane {

// Shows one image, or cycles through a list of frames over a duration, as the placeholders and
// toasts need. Frame changes run on Qt's animation clock.
class ImageView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageView)

public:
    enum class ContentMode
    {
        ScaleToFill,
        AspectFit
    };

    explicit ImageView(QWidget *parent = nullptr);
    ~ImageView() override;

    // Loads the named PNG from the application's resources, sized in points; a missing one
    // gives a null pixmap.
    static QPixmap namedImage(const QString &name);

    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    void setContentMode(ContentMode mode);

    QList<QPixmap> animationImages() const { return m_frames; }
    void setAnimationImages(const QList<QPixmap> &frames);
    // Seconds for one pass over all frames.
    void setAnimationDuration(double seconds) { m_duration = seconds; }
    double animationDuration() const { return m_duration; }
    // Passes to run; 0 means for as long as the view lives.
    void setAnimationRepeatCount(qint64 count) { m_repeatCount = count; }
    qint64 animationRepeatCount() const { return m_repeatCount; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const;
    // The frame shown now: the current animation frame, or -1 when showing the still image.
    int currentFrame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_image;
    ContentMode m_mode = ContentMode::ScaleToFill;
    QList<QPixmap> m_frames;
    double m_duration = 0;
    qint64 m_repeatCount = 0;
    int m_frame = -1;
    QPointer<QVariantAnimation> m_animation;
};

} // namespace corvane
