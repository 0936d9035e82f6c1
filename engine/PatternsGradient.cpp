#include "engine/PatternsGradient.h"

#include <algorithm>

namespace morvane {

// Stand-in until the layer evaluator's own definition is linked.
__attribute__((weak)) void GradientLookup(float rgb[3], const Gradient& gradient, float value)
{
    if (value > 1.0f) value = 1.0f;
    if (!(value >= 0.0f)) value = 0.0f;
    const int count = std::clamp<int>(gradient.head.count, 0, kGradientEntries);
    for (int i = 0; i < count; ++i) {
        const GradientEntry& e = gradient.entries[i];
        const float start = e.start, end = e.end;
        if (start <= value && value <= end) {
            const float t = (value - start) / (end - start);
            rgb[0] = e.startR + t * (e.endR - e.startR);
            rgb[1] = e.startG + t * (e.endG - e.startG);
            rgb[2] = e.startB + t * (e.endB - e.startB);
            return;
        }
    }
    rgb[0] = rgb[1] = rgb[2] = 0.0f;
}

}  // namespace morvane
