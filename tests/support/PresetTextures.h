// Textures built from the material presets, shared by the shell's tests and
// the view bench.  Header only.
#pragma once

#include <cstdint>
#include <utility>

#include "engine/Presets.h"

namespace morvane::test {

// Three layers: Marble, Granite and Wood, as the presets give them, each
// with an image size of width x height.
inline Texture ThreeLayers(int width, int height)
{
    const MaterialPresets& p = MaterialPresetTable();
    Texture t = NewTexture(p);
    for (int m : {8, 2}) {
        LayerSlot s;
        s.layer = LayerFromPreset(p[m]);
        s.blendMode = 0;
        s.blendCoef = 0.5f;
        t.layers.push_back(std::move(s));
    }
    for (LayerSlot& s : t.layers) {
        s.layer.rec.width = static_cast<int16_t>(width);
        s.layer.rec.height = static_cast<int16_t>(height);
    }
    return t;
}

}  // namespace morvane::test
