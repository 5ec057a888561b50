#include "ui/morphing/MorphingEffect.h"

#include <QMetaEnum>

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
    return QString::fromLatin1(
        QMetaEnum::fromType<MorphingPhases>().valueToKey(static_cast<int>(phase)));
}

QString key(MorphingEffect effect, MorphingPhases phase)
{
    return name(effect) + name(phase);
}

} // namespace corvane::MorphingEffects
