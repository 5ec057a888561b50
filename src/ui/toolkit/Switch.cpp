#include "ui/toolkit/Switch.h"

#include <QPainter>
#include <QVariantAnimation>

namespace corvane {

Switch::Switch(QWidget *parent) : QAbstractButton(parent), m_animation(new QVariantAnimation(this))
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_animation->setDuration(static_cast<int>(kAnimation.count()));
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_knob = value.toDouble();
        update();
    });
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        m_animation->stop();
        if (std::exchange(m_jump, false)) {
            m_knob = on ? 1.0 : 0.0;
            update();
            return;
        }
        m_animation->setStartValue(m_knob);
        m_animation->setEndValue(on ? 1.0 : 0.0);
        m_animation->start();
    });
}

Switch::~Switch() = default;

void Switch::setOn(bool on, bool animated)
{
    if (on == isChecked())
        return;
    m_jump = !animated;
    setChecked(on);
}

void Switch::setOnTintColor(const QColor &color)
{
    m_onTint = color;
    update();
}

QSize Switch::sizeHint() const
{
    return {51, 31};
}

void Switch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = track.height() / 2.0;
    const QColor off(0xE5, 0xE5, 0xEA);
    const QColor fill = QColor::fromRgbF(
        static_cast<float>(off.redF() + (m_onTint.redF() - off.redF()) * m_knob),
        static_cast<float>(off.greenF() + (m_onTint.greenF() - off.greenF()) * m_knob),
        static_cast<float>(off.blueF() + (m_onTint.blueF() - off.blueF()) * m_knob));
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? fill : fill.lighter(115));
    painter.drawRoundedRect(track, radius, radius);
    const double diameter = track.height() - 4.0;
    const double x = track.left() + 2.0 + (track.width() - diameter - 4.0) * m_knob;
    painter.setBrush(QColor(0, 0, 0, 30));
    painter.drawEllipse(QRectF(x, track.top() + 3.0, diameter, diameter));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2.0, diameter, diameter));
    if (hasFocus()) {
        // Keyboard focus rings the track in the palette's highlight colour.
        const QRectF ring = track.adjusted(1.0, 1.0, -1.0, -1.0);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusRingWidth));
        painter.drawRoundedRect(ring, ring.height() / 2.0, ring.height() / 2.0);
    }
}

} // namespace corvane
