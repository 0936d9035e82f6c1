// The colour and relief patterns and their dispatch by material and relief
// number.  Every pattern has one shape: it reads the layer (never writes
// it), evaluates at the pattern point (x, y, z) and ADDS its colour or its
// normal perturbation to out.
#pragma once

#include "engine/EvalContext.h"
#include "engine/Records.h"

namespace morvane {

constexpr int kMaterialCount = 39;
constexpr int kReliefCount = 15;

using PatternFn = void (*)(float x, float y, float z, const Layer& layer, float out[3], EvalContext& ctx);

// The pattern of a material or relief number; null where the number adds
// nothing (out of range, or a pattern evaluated elsewhere).
PatternFn ColourPatternFor(int material);
PatternFn ReliefPatternFor(int relief);

// The layer fields that patterns keep up to date: the brick patterns store
// their mortar width (0.05) in the layer, and files written after a render
// carry it.  Called once per layer before rendering, on the thread that owns
// the texture, so that the patterns themselves only read the layer.
void PrepareLayerPatterns(Layer& layer);

}  // namespace morvane
