#pragma once

namespace corvane {

class MorphingLabel;

// New characters burn in from the bottom, with fire and smoke.
class BurnEffect final
{
public:
    // Registers the effect's behaviour in the label's registries.
    static void load(MorphingLabel &label);
};

} // namespace corvane
