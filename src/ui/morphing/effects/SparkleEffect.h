#pragma once

namespace corvane {

class MorphingLabel;

// New characters are revealed top to bottom behind a line of sparkles.
class SparkleEffect final
{
public:
    // Registers the effect's behaviour in the label's registries.
    static void load(MorphingLabel &label);
};

} // namespace corvane
