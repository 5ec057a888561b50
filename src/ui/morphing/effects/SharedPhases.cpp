#include "ui/morphing/effects/SharedPhases.h"

#include "ui/morphing/EmitterView.h"
#include "ui/morphing/effects/Easing.h"

#include <cmath>

namespace corvane::sharedphases {

MorphingLabel::ProgressClosure sineWaveProgress(MorphingLabel *label, float amplitude)
{
    return [label, amplitude](int index, float progress, bool isNewChar) {
        if (!isNewChar)
            return easing::clamp(progress, 0.0f, 1.0f);
        const auto wave = static_cast<float>(std::sin(index));
        return easing::clamp(progress + wave * amplitude * label->morphingCharacterDelay(), 0.0001f,
                             1.0f);
    };
}

MorphingLabel::EffectClosure fadeInPlace(MorphingLabel *label, bool blurWithProgress)
{
    return [label, blurWithProgress](const QString &character, int index, float progress) {
        return CharacterLimbo{character, label->previousRects().value(index), 1.0 - progress,
                              label->fontSize(), blurWithProgress ? progress : 0.0};
    };
}

MorphingLabel::StartClosure clearEmitters(MorphingLabel *label)
{
    return [label] { label->emitterView()->removeAllEmitters(); };
}

} // namespace corvane::sharedphases
