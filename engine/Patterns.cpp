#include "engine/Patterns.h"

namespace morvane {

namespace {

// Filled in as the patterns are written.
constexpr PatternFn kColourPatterns[kMaterialCount] = {};
constexpr PatternFn kReliefPatterns[kReliefCount] = {};

}  // namespace

PatternFn ColourPatternFor(int material)
{
    return material >= 0 && material < kMaterialCount ? kColourPatterns[material] : nullptr;
}

PatternFn ReliefPatternFor(int relief)
{
    return relief >= 0 && relief < kReliefCount ? kReliefPatterns[relief] : nullptr;
}

}  // namespace morvane
