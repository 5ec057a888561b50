#pragma once

#include "ui/morphing/MorphingLabel.h"

namespace corvane::sharedphases {

// New characters start on a sine wave along the text, `amplitude` character delays either
// way; old characters follow the plain progress.
MorphingLabel::ProgressClosure sineWaveProgress(MorphingLabel *label, float amplitude);

// The old character fades out where it stood, blurred by the progress when asked.
MorphingLabel::EffectClosure fadeInPlace(MorphingLabel *label, bool blurWithProgress);

// Particles of the previous morph would otherwise keep falling over the new text.
MorphingLabel::StartClosure clearEmitters(MorphingLabel *label);

} // namespace corvane::sharedphases
