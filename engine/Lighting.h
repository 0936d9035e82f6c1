// The light model shared by the relief lighting (engine/Eval.cpp) and the
// shaded sphere of the light picker (engine/Sphere.cpp).
#pragma once

#include <cmath>

namespace morvane {

// The diffuse factor for m = (1 + cos a) / 2 of the angle a between the
// light and the normal: m above the middle, a softer (2m)^1.5 / 2 below it;
// a light from behind (m <= 0) gives 0 rather than a NaN.
inline float DiffuseFactor(float m)
{
    if (m >= 0.5f) return m;
    if (m > 0.0f) {
        const double t = 2.0f * m;
        return static_cast<float>(t * std::sqrt(t) / 2.0);
    }
    return 0.0f;
}

// One lit colour channel: the diffuse part d plus, on what d leaves, the
// highlight of brilliance b at away = 1 - m, in the light colour and the
// reflection colour of the channel.
inline float LitChannel(float d, float b, float away, float light, float reflect)
{
    const float h = 1.0f / (b * b * (away * away) + 1.0f);
    const float s = h * light * reflect;
    return d + (1.0f - d) * s;
}

}  // namespace morvane
