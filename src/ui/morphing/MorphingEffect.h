#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace corvane {

// The ways a morphing label can animate its characters; the raw values are stable.
enum class MorphingEffect : int
{
    scale = 0,
    evaporate = 1,
    fall = 2,
    pixelate = 3,
    sparkle = 4,
    burn = 5,
    anvil = 6,
};

// A namespace of the enum's own lets moc describe it, so its case names come from QMetaEnum.
namespace morphingphases {
Q_NAMESPACE

// The moments at which an effect may replace the label's default behaviour.
enum class MorphingPhases
{
    start,
    appear,
    disappear,
    draw,
    progress,
    skipFrames,
};
Q_ENUM_NS(MorphingPhases)

} // namespace morphingphases

using morphingphases::MorphingPhases;

namespace MorphingEffects {

// Every effect's name, in raw-value order.
const QStringList &allValues();
QString name(MorphingEffect effect);
QString name(MorphingPhases phase);
// Registry key of an effect's behaviour in one phase: the two names run together.
QString key(MorphingEffect effect, MorphingPhases phase);

} // namespace MorphingEffects

} // namespace corvane
