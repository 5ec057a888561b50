#include "ui/feedback/pulse/PulseHalo.h"

#include "platform/scheduling/Scheduler.h"
#include "ui/common/PauseWhileHidden.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/pulse/HaloFrame.h"

#include <QAbstractAnimation>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <utility>

namespace corvane {

namespace {
// A frame for every pixel and a half the edge moves reads as smooth for a soft, fading edge, and
// each frame costs the same whatever it shows: on X, a round trip to the server besides the
// repaint. Qt's animation timer would wake the program 60 times a second. Slow or small halos
// still fade in steps too small to see.
constexpr double kPixelsPerFrame = 1.5;
constexpr double kShortestFrameGap = 1.0 / 30;
constexpr double kLongestFrameGap = 1.0 / 15;
} // namespace

PulseHalo::PulseHalo(QWidget *target, const QColor &color, qreal opacity, qreal reach)
    : QWidget(target->parentWidget()), m_target(target), m_color(color),
      m_reach(std::max<qreal>(reach, 1)), m_opacity(opacity)
{
    setObjectName(QStringLiteral("PulseLayerName"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    followTarget();
    target->installEventFilter(this);
}

void PulseHalo::followTarget()
{
    m_baseFrame = m_target->geometry();
    if (const ViewDecoration *layer = ViewDecoration::find(m_target))
        m_cornerRadius = layer->cornerRadius();
    QRectF reach(QPointF(), QSizeF(m_baseFrame.size()) * m_reach);
    reach.moveCenter(QRectF(m_baseFrame).center());
    setGeometry(reach.toAlignedRect());
    m_painted = rect();
    update();
}

bool PulseHalo::eventFilter(QObject *watched, QEvent *event)
{
    // A layout moves and resizes the view when its window changes size; the halo goes along.
    if (watched == m_target && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        followTarget();
    return QWidget::eventFilter(watched, event);
}

void PulseHalo::run(QAbstractAnimation *animation)
{
    animation->start();
    animation->pause();
    m_animations.append(animation);
    if (m_animations.size() == 1)
        PauseWhileHidden::watch(this, this, [this](bool onScreen) { setOnScreen(onScreen); });
}

void PulseHalo::setGrowth(qreal scalePerSecond)
{
    m_growth = std::abs(scalePerSecond);
}

void PulseHalo::setOpaqueView(bool opaque)
{
    m_opaqueView = opaque;
}

void PulseHalo::setBackdrop(const QColor &backdrop)
{
    m_onBackdrop = backdrop.isValid() && backdrop.alpha() == 255;
    m_frame.setBackdrop(m_onBackdrop ? backdrop : QColor());
    setAttribute(Qt::WA_OpaquePaintEvent, m_onBackdrop);
    if (m_onBackdrop)
        lower();
    update();
}

QRect PulseHalo::hidden() const
{
    if (!m_opaqueView || !m_target || !m_target->isVisible())
        return {};
    // The largest square within the view's corners, a pixel in from its antialiased edge.
    const qreal inset = m_cornerRadius * (1 - M_SQRT1_2) + 1;
    const QRectF inside =
        QRectF(m_baseFrame.translated(-pos())).adjusted(inset, inset, -inset, -inset);
    return QRect(QPoint(qCeil(inside.left()), qCeil(inside.top())),
                 QPoint(qFloor(inside.right()) - 1, qFloor(inside.bottom()) - 1));
}

double PulseHalo::frameGap() const
{
    const qreal pixelsPerSecond =
        m_growth * std::max(m_baseFrame.width(), m_baseFrame.height()) / 2 * devicePixelRatioF();
    if (pixelsPerSecond <= 0)
        return kShortestFrameGap;
    return std::clamp(kPixelsPerFrame / pixelsPerSecond, kShortestFrameGap, kLongestFrameGap);
}

void PulseHalo::setOnScreen(bool onScreen)
{
    // Time off screen does not count: the halo goes on from where it was.
    const double now = Scheduler::current().now();
    if (m_onScreen)
        m_time += now - m_lastFrame;
    m_lastFrame = now;
    m_onScreen = onScreen;
    if (onScreen && !m_frameDue)
        scheduleFrame();
}

void PulseHalo::scheduleFrame()
{
    m_frameDue = true;
    delay(Scheduler::Duration(frameGap()), this, [this] { frame(); });
}

void PulseHalo::frame()
{
    m_frameDue = false;
    if (!m_onScreen)
        return;
    const double now = Scheduler::current().now();
    m_time += now - m_lastFrame;
    m_lastFrame = now;
    const auto ms = static_cast<qint64>(std::llround(m_time * 1000));
    m_inFrame = true;
    for (const QPointer<QAbstractAnimation> &animation : std::as_const(m_animations)) {
        // Within the first loop, which looks the same as any later one, so the time fits an int.
        if (animation && animation->duration() > 0)
            animation->setCurrentTime(static_cast<int>(ms % animation->duration()));
    }
    m_inFrame = false;
    // Painted now rather than on a posted request: one pass of the event loop a frame, not two.
    if (!m_dirty.isEmpty())
        repaint(std::exchange(m_dirty, QRect()));
    scheduleFrame();
}

void PulseHalo::setScale(qreal scale)
{
    m_scale = scale;
    changed();
}

void PulseHalo::setOpacity(qreal opacity)
{
    m_opacity = opacity;
    changed();
}

QRectF PulseHalo::shape() const
{
    QRectF shape(QPointF(), QSizeF(m_baseFrame.size()) * m_scale);
    shape.moveCenter(QRectF(rect()).center());
    return shape;
}

void PulseHalo::changed()
{
    // A frame repaints the old and the new shape alone.
    const QRect next = shape().toAlignedRect().adjusted(-1, -1, 1, 1) & rect();
    const QRect dirty = m_painted.united(next);
    m_painted = next;
    if (m_inFrame)
        m_dirty |= dirty;
    else
        update(dirty);
}

void PulseHalo::paintEvent(QPaintEvent *event)
{
    const qreal ratio = devicePixelRatioF();
    const QRectF halo = shape();
    const QRect hiddenArea = hidden();
    const QRect hiddenPixels =
        QRectF(QPointF(hiddenArea.topLeft()) * ratio, QSizeF(hiddenArea.size()) * ratio)
            .toAlignedRect()
            .adjusted(1, 1, -1, -1);
    const QImage &frame = m_frame.draw(
        (QSizeF(size()) * ratio).toSize(), QRectF(halo.topLeft() * ratio, halo.size() * ratio),
        m_cornerRadius * m_scale * ratio, m_color, m_opacity, hiddenPixels);
    QPainter painter(this);
    // Blended in the pieces around what the view hides: each a plain rectangle for the painter.
    for (const QRect &area : QRegion(event->rect()) - hiddenArea)
        painter.drawImage(QRectF(area), frame,
                          QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
}

} // namespace corvane
