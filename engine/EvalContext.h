// Mutable state of texture evaluation.  Every thread that evaluates owns
// one context; evaluation is then a pure function of the texture and the
// coordinates, whatever was evaluated before on that thread.
#pragma once

#include <cstdint>

#include "engine/Crackle.h"
#include "engine/Random.h"

namespace morvane {

// The cosine and sine of the last few rotation angles of the layer
// transforms.  A cache only: a hit gives exactly the values computed anew.
struct RotationMemo {
    static constexpr int kSize = 8;
    uint32_t angleBits[kSize] = {};
    double cosine[kSize] = {1, 1, 1, 1, 1, 1, 1, 1};  // bits 0 is angle +0
    double sine[kSize] = {};
    int next = 0;
};

struct EvalContext {
    Lcg rng{0};             // reseeded by the patterns that use it
    CrackleCache crackle;   // feature points of the cellular patterns
    RotationMemo rotation;  // used by the layer transforms
};

}  // namespace morvane
