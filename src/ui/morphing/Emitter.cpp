#include "ui/morphing/Emitter.h"

#include "ui/common/PngResource.h"

#include <QHash>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

// A uniform value in [-1, 1].
float spread(QRandomGenerator &random)
{
    return static_cast<float>(random.generateDouble() * 2.0 - 1.0);
}

// Effects make emitters per character and morph, so each image is decoded once per process.
QImage particleImage(const QString &name)
{
    static QHash<QString, QImage> cache;
    const auto cached = cache.constFind(name);
    if (cached != cache.cend())
        return *cached;
    const QImage image =
        PngResource::read(name).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    cache.insert(name, image);
    return image;
}

} // namespace

Emitter::Emitter(const QString &particleName, float lifetime) : duration(lifetime)
{
    cell.contents = particleImage(particleName);
}

void Emitter::step(double seconds, QRandomGenerator &random)
{
    const auto dt = static_cast<float>(seconds);
    for (Particle &p : m_particles) {
        p.age += dt;
        p.velocity.ry() += p.yAcceleration * dt;
        p.position += p.velocity * dt;
        p.scale = std::max(0.0f, p.scale + p.scaleSpeed * dt);
    }
    m_particles.removeIf([](const Particle &p) { return p.age >= p.lifetime || p.scale <= 0.0f; });

    for (int c = 0; c < layer.cells.size(); ++c) {
        const EmitterCell &source = layer.cells[c];
        m_pendingBirths += static_cast<double>(source.birthRate * layer.birthRate) * seconds;
        for (; m_pendingBirths >= 1.0; m_pendingBirths -= 1.0) {
            Particle p;
            p.position = layer.emitterPosition;
            if (layer.emitterShape == EmitterLayer::Shape::Line)
                p.position.rx() += spread(random) * layer.emitterSize.width() / 2.0;
            const float angle =
                source.emissionLongitude + spread(random) * source.emissionRange / 2;
            const float speed = source.velocity + spread(random) * std::abs(source.velocityRange);
            p.velocity = QPointF(std::cos(angle), std::sin(angle)) * speed;
            p.lifetime = std::max(0.0f, source.lifetime + spread(random) * source.lifetimeRange);
            p.scale = std::max(0.0f, source.scale + spread(random) * source.scaleRange);
            p.scaleSpeed = source.scaleSpeed;
            p.yAcceleration = source.yAcceleration;
            p.cell = c;
            m_particles.append(p);
        }
    }
    if (layer.cells.isEmpty() || layer.birthRate <= 0.0f)
        m_pendingBirths = 0.0;
}

void Emitter::paint(QPainter &painter) const
{
    if (m_particles.isEmpty())
        return;
    painter.save();
    if (layer.renderMode == EmitterLayer::RenderMode::Additive)
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
    for (const Particle &p : m_particles) {
        const QImage &image = layer.cells.value(p.cell).contents;
        if (image.isNull())
            continue;
        const QSizeF size = QSizeF(image.size()) * p.scale;
        painter.drawImage(QRectF(p.position - QPointF(size.width(), size.height()) / 2, size),
                          image);
    }
    painter.restore();
}

bool Emitter::isActive() const
{
    const bool emitting = layer.birthRate > 0.0f &&
                          std::any_of(layer.cells.cbegin(), layer.cells.cend(),
                                      [](const EmitterCell &c) { return c.birthRate > 0.0f; });
    return emitting || !m_particles.isEmpty();
}

} // namespace corvane
