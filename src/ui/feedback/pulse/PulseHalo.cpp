#include "ui/feedback/pulse/PulseHalo.h"

#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/pulse/HaloFrame.h"
#include "ui/tools/PauseWhileHidden.h"

#include <QAbstractAnimation>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace corvane {

namespace {
// Every other tick of Qt's 60 Hz animation timer: 30 frames a second are smooth for a halo that
// grows a few dozen pixels in a second and a half, at half the painting.
constexpr int kFrameGapMs = 25;
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
    if (!m_clock)
        m_clock = animation;
    PauseWhileHidden::start(animation, this);
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
    // Values arrive on every animation tick; a frame is painted only once its time has come,
    // and then over the old and the new shape alone.
    const int now = m_clock ? m_clock->currentTime() : -1;
    if (m_clock && m_paintedAt >= 0 && now >= m_paintedAt && now - m_paintedAt < kFrameGapMs)
        return;
    m_paintedAt = now;
    const QRect next = shape().toAlignedRect().adjusted(-1, -1, 1, 1) & rect();
    update(m_painted.united(next));
    m_painted = next;
}

void PulseHalo::paintEvent(QPaintEvent *event)
{
    const qreal ratio = devicePixelRatioF();
    const QRectF halo = shape();
    const QImage &frame = m_frame.draw((QSizeF(size()) * ratio).toSize(),
                                       QRectF(halo.topLeft() * ratio, halo.size() * ratio),
                                       m_cornerRadius * m_scale * ratio, m_color, m_opacity);
    const QRect area = event->rect();
    QPainter painter(this);
    painter.drawImage(QRectF(area), frame,
                      QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
}

} // namespace corvane
