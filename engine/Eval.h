// Evaluation of one layer and of a whole texture at a texture coordinate
// (u, v), and the lighting of the relief.
//
// Everything here is a pure function of its arguments: the only mutable
// state is the caller's EvalContext (one per thread), whose caches never
// change a result.  The texture is only read; whatever must be written into
// the layers before a render (light directions, see PrepareForRender in
// engine/Render.h) is done beforehand on one thread.
#pragma once

#include <cstdint>

#include "engine/EvalContext.h"
#include "engine/Records.h"

namespace morvane {

// Display modes of EvalTexture.  Any other value shows all layers.
constexpr int32_t kDisplayAllLayers = 0;
constexpr int32_t kDisplayLayersBelow = 1;  // the layers whose index is < current
constexpr int32_t kDisplayCurrentLayer = 2;  // the layer whose index is current

// Blend modes of LayerSlot::blendMode.
constexpr int32_t kBlendTransparency = 0;
constexpr int32_t kBlendAdditive = 1;
constexpr int32_t kBlendSubtractive = 2;
constexpr int32_t kBlendLuminancy = 3;
constexpr int32_t kBlendChrominancy = 4;
constexpr int32_t kBlendColorKey = 5;

constexpr int kImageMaterial = 24;  // "Image": the picture sampled by EvalLayer

// Adds the colour of `layer` at (u, v) to colour (red, green, blue) and its
// relief perturbation to normal (x, y, z); the caller clears both first.
// orientation and reliefOrientation are the layer's turns from its slot.
// Colours are not clamped here.
void EvalLayer(float u, float v, const Layer& layer, float colour[3], float normal[3],
               float orientation, float reliefOrientation, EvalContext& ctx);

// Writes the colour of `value` (limited to 0..1, NaN as 0) in the gradient
// into rgb: the first of the entries held (never more than 24, whatever
// the head's count says) whose start <= value <= end; black when none
// matches.  An entry with start == end gives its start colour.
void GradientLookup(float rgb[3], const Gradient& gradient, float value);

// The colour (each channel 0..1) of the texture at (u, v).  displayMode is
// one of the kDisplay* values; current is a 0-based layer index.
void EvalTexture(float u, float v, const Texture& texture, float colour[3], int32_t displayMode,
                 int32_t current, EvalContext& ctx);

// Replaces colour by the colour lit by the lights of every layer of the
// texture, for the unit surface normal `normal`.
void LightRelief(const Texture& texture, float colour[3], const float normal[3]);

// Replaces colour by the colour lit by the light of `layer` alone.
void ShadeSphere(const LayerRecord& layer, float colour[3], const float normal[3]);

// Each channel that is not >= 0 (negative or NaN) becomes 0, then each
// channel above 1 becomes 1.
void ClampColour(float colour[3]);

// Scales a vector to unit length in place; a zero or non-finite vector is
// left as it is.  Returns whether it was scaled.
bool NormaliseVector(float v[3]);

}  // namespace morvane
