#include "ui/morphing/MorphingEffect.h"

namespace corvane::MorphingEffects {

const QStringList &allValues()
{
    static const QStringList names{
        QStringLiteral("Scale"),    QStringLiteral("Evaporate"), QStringLiteral("Fall"),
        QStringLiteral("Pixelate"), QStringLiteral("Sparkle"),   QStringLiteral("Burn"),
        QStringLiteral("Anvil"),
    };
    return names;
}

QString name(MorphingEffect effect)
{
    return allValues().value(static_cast<int>(effect));
}

QString name(MorphingPhases phase)
{
    switch (phase) {
    case MorphingPhases::start:
        return QStringLiteral("start");
    case MorphingPhases::appear:
        return QStringLiteral("appear");
    case MorphingPhases::disappear:
        return QStringLiteral("disappear");
    case MorphingPhases::draw:
        return QStringLiteral("draw");
    case MorphingPhases::progress:
        return QStringLiteral("progress");
    case MorphingPhases::skipFrames:
        return QStringLiteral("skipFrames");
    }
    return {};
}

QString key(MorphingEffect effect, MorphingPhases phase)
{
    return name(effect) + name(phase);
}

} // namespace corvane::MorphingEffects
