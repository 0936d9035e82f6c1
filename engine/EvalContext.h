// Mutable state of texture evaluation.  Every thread that evaluates owns
// one context; evaluation is then a pure function of the texture and the
// coordinates, whatever was evaluated before on that thread.
#pragma once

#include "engine/Crackle.h"
#include "engine/Random.h"

namespace morvane {

struct EvalContext {
    Lcg rng{0};             // reseeded by the patterns that use it
    CrackleCache crackle;   // feature points of the cellular patterns
};

}  // namespace morvane
