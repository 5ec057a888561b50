#include "ui/morphing/EmitterView.h"

#include "platform/scheduling/Scheduler.h"
#include "ui/morphing/DisplayLink.h"

#include <QPainter>

namespace corvane {

EmitterView::EmitterView(QWidget *parent) : QWidget(parent), m_random(0x5eed)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

EmitterView::~EmitterView() = default;

Emitter &EmitterView::createEmitter(const QString &name, const QString &particleName,
                                    float duration, const Configuration &configure)
{
    auto it = m_emitters.find(name);
    if (it == m_emitters.end())
        it = m_emitters.insert(name, Emitter(particleName, duration));
    if (configure)
        configure(it->layer, it->cell);
    return *it;
}

void EmitterView::play(const QString &name)
{
    const auto it = m_emitters.find(name);
    if (it == m_emitters.end() || !it->layer.cells.isEmpty())
        return;
    it->layer.cells.append(it->cell);
    it->layer.birthRate = 1.0f;
    delay(Scheduler::Duration(it->duration), this, [this, name] {
        const auto stopped = m_emitters.find(name);
        if (stopped != m_emitters.end()) {
            stopped->layer.birthRate = 0.0f;
            stopped->layer.cells.clear();
        }
    });
    if (!m_displayLink) {
        m_displayLink = std::make_unique<DisplayLink>([this] { tick(); });
    }
    if (m_displayLink->isPaused()) {
        m_lastTime = m_displayLink->currentTime();
        m_displayLink->setPaused(false);
    }
}

void EmitterView::removeAllEmitters()
{
    m_emitters.clear();
    if (m_displayLink)
        m_displayLink->setPaused(true);
    update();
}

bool EmitterView::isTicking() const
{
    return m_displayLink && !m_displayLink->isPaused();
}

void EmitterView::tick()
{
    const int now = m_displayLink->currentTime();
    const double seconds = (now - m_lastTime) / 1000.0;
    m_lastTime = now;
    bool active = false;
    for (Emitter &emitter : m_emitters) {
        emitter.step(seconds, m_random);
        active = active || emitter.isActive();
    }
    update();
    if (!active)
        m_displayLink->setPaused(true);
}

void EmitterView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (const Emitter &emitter : std::as_const(m_emitters))
        emitter.paint(painter);
}

} // namespace corvane
