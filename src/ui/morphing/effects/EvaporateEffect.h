#pragma once

namespace corvane {

class MorphingLabel;

// Old characters rise and fade, new ones rise into place, in a wavy order.
class EvaporateEffect final
{
public:
    // Registers the effect's behaviour in the label's registries.
    static void load(MorphingLabel &label);
};

} // namespace corvane
