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

// Animates the texture's first layer over `duration` seconds by two keys:
// at time 0 the layer as it is, at time 1 moved, stretched and with other
// colours, so that every frame differs.
inline void AnimateFirstLayer(Texture& t, float duration)
{
    Layer& layer = t.layers[0].layer;
    Keyframe start = MakeKey(layer);
    Keyframe end = MakeKey(layer);
    end.rec.time = 1.0f;
    end.rec.offsetX += 0.8f;
    end.rec.scaleX *= 2.0f;
    for (GradientEntry& e : end.gradient.entries) {
        e.startR = 1.0f - e.startR;
        e.endB = 0.2f;
    }
    layer.keys = {start, end};
    layer.rec.animated = 1;
    layer.rec.keyCount = 2;
    layer.rec.duration = duration;
}

}  // namespace morvane::test
