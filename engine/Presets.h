// The material presets: one layer per material number, from which every new
// layer and every change of material takes its parameters and gradient, and
// the texture of a new document built from them.
#pragma once

#include <array>

#include "engine/Records.h"

namespace morvane {

constexpr int kPresetCount = 40;
constexpr int kDefaultImageWidth = 160;
constexpr int kDefaultImageHeight = 120;

using MaterialPresets = std::array<Layer, kPresetCount>;

// Builds the 40 presets (index = material number).  Every preset has its own
// gradient of 24 entries, no keys, no picture and an empty picture path.
MaterialPresets BuildMaterialPresets();

// The presets, built once per process and never changed afterwards.
const MaterialPresets& MaterialPresetTable();

// A copy of a preset as a new layer: the preset's record with its own copy
// of the gradient, no keys, no picture, an empty picture path.
Layer LayerFromPreset(const Layer& preset);

// Marble: the material of a new layer, and the one a picture material
// falls back to when it gets no picture.
constexpr int kMarble = 1;

// The texture of a new document: one layer copied from preset 1 ("Marble"),
// blend mode 1 ("Additive"), blend coefficient 1, orientations 0, a zero
// colour key.
Texture NewTexture(const MaterialPresets& presets);

// The same texture with its layer copied from preset `material` instead.
Texture PresetTexture(const MaterialPresets& presets, int material);

// The relief parameters a layer takes when its relief is chosen: relief
// intensity 5, relief scales 10, phase 0.5, frequency 5, relief z value 0,
// relief detail 10.
void ResetReliefParameters(LayerRecord& rec);

}  // namespace morvane
