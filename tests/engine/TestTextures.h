// Textures built from picture layers (material 24), which need no noise:
// a one-colour picture gives a layer of exactly that colour everywhere.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/Eval.h"
#include "engine/Records.h"

namespace morvane::test {

// The colour a picture byte gives.
inline float ByteColour(uint8_t b) { return b * (1.0f / 255.0f); }

inline Layer PictureLayer(int width, int height, std::vector<uint8_t> pixels)
{
    Layer layer;
    LayerRecord& r = layer.rec;
    r.material = kImageMaterial;
    r.relief = 0;
    r.scaleX = 1.0f;
    r.scaleY = 1.0f;
    r.scaleZ = 1.0f;
    r.reliefScaleX = 10.0f;
    r.reliefScaleY = 10.0f;
    r.reliefScaleZ = 10.0f;
    r.lightDirX = 0.0f;
    r.lightDirY = 0.0f;
    r.lightDirZ = 1.0f;
    r.brillianceR = r.brillianceG = r.brillianceB = 200.0f;
    r.reflectR = r.reflectG = r.reflectB = 1.0f;
    r.lightR = r.lightG = r.lightB = 1.0f;
    r.width = static_cast<int16_t>(width);
    r.height = static_cast<int16_t>(height);
    r.lacunarity = 2.0f;
    r.omega = 0.5f;
    layer.SetPicture(width, height, std::move(pixels));
    return layer;
}

inline Layer SolidLayer(uint8_t red, uint8_t green, uint8_t blue)
{
    return PictureLayer(1, 1, {red, green, blue, 0});
}

inline LayerSlot Slot(Layer layer, int32_t mode = kBlendAdditive, float k = 1.0f)
{
    LayerSlot s;
    s.layer = std::move(layer);
    s.blendMode = mode;
    s.blendCoef = k;
    return s;
}

inline Texture MakeTexture(std::vector<LayerSlot> slots)
{
    Texture t;
    t.layers = std::move(slots);
    return t;
}

// A picture of pseudo-random bytes (a fixed sequence).
inline std::vector<uint8_t> NoisePicture(int width, int height, uint32_t seed)
{
    std::vector<uint8_t> p(static_cast<size_t>(width) * height * 4);
    uint32_t s = seed;
    for (uint8_t& b : p) {
        s = s * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(s >> 24);
    }
    return p;
}

inline std::vector<float> Eval(const Texture& t, float u, float v, int32_t mode = kDisplayAllLayers,
                               int32_t current = 0)
{
    EvalContext ctx;
    float c[3] = {-1, -1, -1};
    EvalTexture(u, v, t, c, mode, current, ctx);
    return {c[0], c[1], c[2]};
}

}  // namespace morvane::test
