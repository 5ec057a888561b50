#pragma once

namespace corvane {

class MorphingLabel;

// Old characters tip over and drop; new ones grow in place.
class FallEffect final
{
public:
    // Registers the effect's behaviour in the label's registries.
    static void load(MorphingLabel &label);
};

} // namespace corvane
