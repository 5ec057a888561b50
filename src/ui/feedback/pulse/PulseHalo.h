#pragma once

#include "ui/feedback/pulse/HaloFrame.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QAbstractAnimation;

namespace corvane {

// The coloured halo a pulsing view shows behind itself. It sits in the view's parent just below
// the view and paints a copy of the view's frame grown by `scale` about the frame's centre,
// following the view when it moves or resizes. It steps its animations itself, at its own frame
// rate and only while it is on screen.
class PulseHalo final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PulseHalo)
    Q_PROPERTY(qreal scale READ scale WRITE setScale)
    Q_PROPERTY(qreal opacity READ opacity WRITE setOpacity)

public:
    // `reach` is the largest scale the halo will be given: it covers that much from the start,
    // so a frame repaints only the part of it that changed.
    PulseHalo(QWidget *target, const QColor &color, qreal opacity, qreal reach);

    QWidget *target() const { return m_target; }
    QColor color() const { return m_color; }
    qreal cornerRadius() const { return m_cornerRadius; }
    QRect baseFrame() const { return m_baseFrame; }

    // Runs one of the halo's animations (a child of it): held paused for Qt's animation timer,
    // it is set to the halo's time at each of the halo's frames.
    void run(QAbstractAnimation *animation);
    // How fast the scale changes at most, per second: the halo draws a frame for about every
    // pixel and a half its edge moves.
    void setGrowth(qreal scalePerSecond);
    // The view covers its rounded shape with opaque paint: frames leave what it hides alone.
    void setOpaqueView(bool opaque);
    // The halo lies on a plain backdrop of this colour, with nothing else beneath it: it paints
    // the backdrop too, so a frame repaints nothing below the halo. It goes beneath the view's
    // other siblings, which would otherwise be covered.
    void setBackdrop(const QColor &backdrop);

    qreal scale() const { return m_scale; }
    void setScale(qreal scale);
    qreal opacity() const { return m_opacity; }
    void setOpacity(qreal opacity);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void followTarget();
    QRectF shape() const;
    void changed();
    double frameGap() const;
    QRect hidden() const;
    void setOnScreen(bool onScreen);
    void scheduleFrame();
    void frame();

    QPointer<QWidget> m_target;
    QList<QPointer<QAbstractAnimation>> m_animations;
    QColor m_color;
    QRect m_baseFrame;
    qreal m_cornerRadius = 0;
    qreal m_reach = 1;
    qreal m_scale = 1;
    qreal m_opacity = 1;
    qreal m_growth = 0;
    bool m_opaqueView = false;
    bool m_onBackdrop = false;
    // What the last frame painted.
    QRect m_painted;
    // The halo's own time: seconds on screen up to the last frame, taken on the scheduler's clock.
    double m_time = 0;
    double m_lastFrame = 0;
    bool m_onScreen = false;
    bool m_frameDue = false;
    // Within a frame, what its changes dirtied: painted at once when the frame ends.
    bool m_inFrame = false;
    QRect m_dirty;
    // The frame is drawn off the window and blended onto it in one piece.
    HaloFrame m_frame;
};

} // namespace corvane
