#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QPainter;
class QRandomGenerator;

namespace corvane {

// What one kind of particle looks like and how it moves. Angles in radians, times in seconds,
// speeds in points (or scale) per second.
struct EmitterCell
{
    QString name = QStringLiteral("sparkle");
    float birthRate = 150.0f;
    float velocity = 50.0f;
    float velocityRange = -80.0f;
    float lifetime = 0.16f;
    float lifetimeRange = 0.1f;
    float emissionLongitude = 3.14159265f;
    float emissionRange = 3.14159265f;
    float scale = 0.1f;
    float yAcceleration = 100.0f;
    float scaleSpeed = -0.06f;
    float scaleRange = 0.1f;
    QImage contents;
};

// Where and how an emitter releases its particles.
struct EmitterLayer
{
    enum class RenderMode
    {
        Outline,
        Additive
    };
    enum class Shape
    {
        Point,
        Line
    };

    QPointF emitterPosition{10, 10};
    QSizeF emitterSize{10, 1};
    RenderMode renderMode = RenderMode::Outline;
    Shape emitterShape = Shape::Line;
    // Multiplies the cell's birth rate; 0 stops new particles.
    float birthRate = 1.0f;
    // The cells that emit; empty until the emitter is played.
    QList<EmitterCell> cells;
};

// One particle source of an emitter view: its layer, its cell and how long it plays.
class Emitter final
{
public:
    Emitter(const QString &particleName, float lifetime);

    EmitterLayer layer;
    EmitterCell cell;
    float duration = 0.0f;

    // Releases and moves particles over `seconds`.
    void step(double seconds, QRandomGenerator &random);
    void paint(QPainter &painter) const;
    // True while new particles may come or old ones are still alive.
    bool isActive() const;
    qsizetype particleCount() const { return m_particles.size(); }

private:
    struct Particle
    {
        QPointF position;
        QPointF velocity;
        float age = 0.0f;
        float lifetime = 0.0f;
        float scale = 0.0f;
        float scaleSpeed = 0.0f;
        float yAcceleration = 0.0f;
        int cell = 0;
    };

    QList<Particle> m_particles;
    double m_pendingBirths = 0.0;
};

} // namespace corvane
