#include "ui/morphing/effects/EvaporateEffect.h"

#include "ui/morphing/MorphingLabel.h"
#include "ui/morphing/effects/Easing.h"

#include <cmath>

namespace corvane {

void EvaporateEffect::load(MorphingLabel &label)
{
    using MorphingEffects::key;
    MorphingLabel *l = &label;
    const MorphingEffect effect = MorphingEffect::evaporate;

    label.progressClosures()[key(effect, MorphingPhases::progress)] = [l](int index, float progress,
                                                                          bool isNewChar) {
        // cos(i) × 1.2 rounded gives 1, 1, 0, -1, -1, 0, ...: neighbours start in waves.
        const auto wave = static_cast<float>(std::lround(std::cos(index) * 1.2));
        const float delay = isNewChar ? -l->morphingCharacterDelay() : l->morphingCharacterDelay();
        return easing::clamp(progress + delay * wave, 0.0f, 1.0f);
    };

    label.effectClosures()[key(effect, MorphingPhases::disappear)] =
        [l](const QString &character, int index, float progress) {
            const qreal pointSize = l->fontSize();
            const float eased = easing::quint(progress);
            return CharacterLimbo{
                character, l->previousRects().value(index).translated(0, -0.8 * pointSize * eased),
                1.0 - eased, pointSize, 0.0};
        };

    label.effectClosures()[key(effect, MorphingPhases::appear)] = [l](const QString &character,
                                                                      int index, float progress) {
        const qreal pointSize = l->fontSize();
        const float eased = easing::quint(progress);
        return CharacterLimbo{
            character, l->newRects().value(index).translated(0, pointSize * (1.0 - eased) * 1.2),
            l->morphingProgress(), pointSize, 0.0};
    };
}

} // namespace corvane
