// The colour and relief patterns and their dispatch by material and relief
// number.  Every pattern has one shape: it reads the layer (never writes
// it), evaluates at the pattern point (x, y, z) and ADDS its colour or its
// normal perturbation to out.
#pragma once

#include <cstdint>

#include "engine/EvalContext.h"
#include "engine/Records.h"

namespace morvane {

constexpr int kMaterialCount = 39;
constexpr int kReliefCount = 15;

// Octave, iteration and source counts as evaluation uses them.  A layer
// keeps its `detail` and `reliefDetail` exactly as read or set (files are
// written back as they were read), but the patterns take at most kMaxDetail
// of them, so that a count from a damaged or hostile file still renders in
// bounded time.  The sliders stop at 20; the command panel shows a stored
// count through the same limit.
constexpr int32_t kMaxDetail = 255;
inline int16_t LimitedDetail(const LayerRecord& rec)
{
    const int16_t d = rec.detail;
    return d < kMaxDetail ? d : static_cast<int16_t>(kMaxDetail);
}
inline int32_t LimitedReliefDetail(const LayerRecord& rec)
{
    const int32_t d = rec.reliefDetail;
    return d < kMaxDetail ? d : kMaxDetail;
}

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
