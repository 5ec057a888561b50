#pragma once

namespace corvane {

class MorphingLabel;

// New characters drop in and bounce, raising smoke and fragments at the sides.
class AnvilEffect final
{
public:
    // Registers the effect's behaviour in the label's registries.
    static void load(MorphingLabel &label);
};

} // namespace corvane
