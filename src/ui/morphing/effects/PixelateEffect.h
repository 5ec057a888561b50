#pragma once

namespace corvane {

class MorphingLabel;

// Characters dissolve into coarse blocks and sharpen out of them.
class PixelateEffect final
{
public:
    // Registers the effect's behaviour in the label's registries.
    static void load(MorphingLabel &label);
};

} // namespace corvane
