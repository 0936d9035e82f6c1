// The gradient lookup the patterns colour with.  The layer evaluator
// defines it; until then a stand-in of the same behaviour is linked weakly.
#pragma once

#include "engine/Records.h"

namespace morvane {

// Writes (does not add) the colour of value through the gradient.
void GradientLookup(float rgb[3], const Gradient& gradient, float value);

}  // namespace morvane
