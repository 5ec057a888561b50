#include "ui/feedback/views/ActivityIndicator.h"

#include "ui/common/PauseWhileHidden.h"

#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace corvane {

namespace {
constexpr int spokes = 12;
} // namespace

ActivityIndicator::ActivityIndicator(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

ActivityIndicator::~ActivityIndicator() = default;

void ActivityIndicator::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ActivityIndicator::setHidesWhenStopped(bool hides)
{
    m_hidesWhenStopped = hides;
    setVisible(!hides || isAnimating());
}

void ActivityIndicator::startAnimating()
{
    show();
    if (isAnimating())
        return;
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(0);
    animation->setEndValue(spokes);
    animation->setDuration(1000);
    animation->setLoopCount(-1);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        const int step = value.toInt() % spokes;
        if (step != m_step) {
            m_step = step;
            update();
        }
    });
    m_animation = animation;
    PauseWhileHidden::start(animation, this, QAbstractAnimation::DeleteWhenStopped);
}

void ActivityIndicator::stopAnimating()
{
    if (m_animation)
        m_animation->stop();
    if (m_hidesWhenStopped)
        hide();
}

bool ActivityIndicator::isAnimating() const
{
    // One held while the view is off screen still counts: it goes on once the view shows.
    return m_animation && m_animation->state() != QAbstractAnimation::Stopped;
}

void ActivityIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    painter.translate(QRectF(rect()).center());
    const qreal inner = side * 0.22;
    const qreal outer = side * 0.46;
    QPen pen(m_color, std::max<qreal>(side * 0.08, 1.5), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the current step is the brightest; the ones behind it fade out.
        const int age = (m_step - i + spokes) % spokes;
        QColor color = m_color;
        color.setAlphaF(float(m_color.alphaF() * (1.0 - 0.75 * age / (spokes - 1))));
        pen.setColor(color);
        painter.setPen(pen);
        const qreal angle = 2 * M_PI * i / spokes - M_PI / 2;
        painter.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
                         QPointF(std::cos(angle) * outer, std::sin(angle) * outer));
    }
}

} // namespace corvane
