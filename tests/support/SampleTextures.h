// Textures with a distinct value in every field, for file tests.  Header
// only: test programs that do not link the engine must not see these.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/Records.h"

namespace morvane::test {

// A copy of a packed record's field, so that a test macro, which takes its
// arguments by reference, never binds a reference to a misaligned member.
template <class T>
T Value(T field)
{
    return field;
}

template <class T>
std::vector<uint8_t> BytesOf(const T& rec)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&rec);
    return std::vector<uint8_t>(p, p + sizeof rec);
}

namespace detail {

inline void FillGradient(Gradient& g, int seed, bool programMade)
{
    g = Gradient::Tiled();
    for (int j = 0; j < kGradientEntries; ++j) {
        GradientEntry& e = g.entries[j];
        e.startR = 0.01f * static_cast<float>(seed + j);
        e.startG = 0.5f + 0.001f * static_cast<float>(j);
        e.startB = 1.0f - 0.02f * static_cast<float>(j);
        e.endR = 0.25f * static_cast<float>(seed);
        e.endG = 0.003f * static_cast<float>(j + seed);
        e.endB = 1.5f;  // above 1 is legal
        if (!programMade) {
            e.reserved1[0] = static_cast<uint8_t>(seed + j);
            e.reserved2[3] = static_cast<uint8_t>(0xA0 + j);
        }
    }
    if (!programMade) g.head.reserved[1] = static_cast<uint8_t>(0x5A + seed);
}

}  // namespace detail

// A layer whose fields, reserved bytes and gradient all differ with `seed`.
// With `keys` > 0 the layer is animated with that many keys.  Pointer slots
// hold 0.  `programMade`: reserved words the program never sets stay zero
// and the picture path is zero-padded, as in every layer the program makes.
inline Layer SampleLayer(int seed, int keys = 0, bool programMade = false)
{
    Layer l;
    LayerRecord& r = l.rec;
    const float s = static_cast<float>(seed);
    r.material = static_cast<int8_t>(seed % 39);
    r.relief = static_cast<int8_t>(seed % 15);
    r.reserved2 = 0.5f + s;
    r.frequency = 0.25f * s;
    r.phase = 0.005f + s;
    r.reliefIntensity = 1.5f + s;
    r.turbulence = 0.9f + s;
    r.foldX = 0.1f;
    r.foldY = 0.2f + s;
    r.foldZ = 0.3f;
    r.detail = static_cast<int16_t>(6 + seed);
    r.mortar = 0.05f;
    r.scaleX = 2.0f + s;
    r.scaleY = 3.0f;
    r.scaleZ = 4.0f + s;
    r.reliefScaleX = 10.0f;
    r.reliefScaleY = 11.0f + s;
    r.reliefScaleZ = 12.0f;
    r.lightDirX = 0.5f;
    r.lightDirY = -0.5f + s;
    r.lightDirZ = 0.7f;
    r.brillianceR = 200.0f;
    r.brillianceG = 150.0f + s;
    r.brillianceB = 100.0f;
    r.reflectR = 1.0f;
    r.reflectG = 0.9f;
    r.reflectB = 0.8f + s;
    r.lightR = 0.7f;
    r.lightG = 0.6f + s;
    r.lightB = 0.5f;
    r.width = static_cast<int16_t>(160 + seed);
    r.height = static_cast<int16_t>(120 + seed);
    r.formatIndex = static_cast<int16_t>(seed % 13);
    r.offsetX = -0.5f + s;
    r.offsetY = 0.25f;
    r.offsetZ = 0.125f * s;
    r.duration = keys > 0 ? 4.0f + s : 0.0f;
    r.animated = keys > 0 ? 1 : 0;
    r.keyCount = keys;
    r.reliefOffsetZ = 3.0f + s;
    r.lacunarity = 2.0f + s;
    r.omega = 0.5f;
    r.reliefDetail = 10 + seed;
    l.SetPicturePath("C:\\kvo\\pictures\\stone" + std::to_string(seed) + ".tga");
    if (!programMade) {
        r.reserved18[0] = static_cast<uint8_t>(0x18 + seed);
        r.reserved22[3] = 0x22;
        r.reserved100[1] = 0x64;
        r.reserved116[2] = 0x74;
        r.reserved132[0] = static_cast<uint8_t>(0x84 + seed);
        r.picturePath[250] = 'x';  // bytes after the path's NUL are kept
    }
    l.gradient.emplace();
    detail::FillGradient(*l.gradient, seed, programMade);
    for (int k = 0; k < keys; ++k) {
        Keyframe key = MakeKey(l);
        key.rec.time = keys > 1 ? static_cast<float>(k) / static_cast<float>(keys - 1) : 0.0f;
        key.rec.scaleX = 5.0f + static_cast<float>(k);
        if (!programMade) {
            key.rec.unused16[2] = static_cast<uint8_t>(k + 1);
            key.rec.reserved114[0] = 0x72;
        }
        detail::FillGradient(key.gradient, seed * 10 + k, programMade);
        key.gradient.head.reserved[1] = programMade ? 0 : 7;
        l.keys.push_back(key);
    }
    return l;
}

// A texture of `layers` layers; layer `animatedLayer` (0-based, -1 for
// none) has `keys` keys.
inline Texture SampleTexture(int layers, int animatedLayer = -1, int keys = 0)
{
    Texture t;
    for (int i = 0; i < 256; ++i) t.reserved[i] = static_cast<uint8_t>(i * 7);
    for (int i = 0; i < layers; ++i) {
        LayerSlot slot;
        slot.blendCoef = 0.1f * static_cast<float>(i + 1);
        slot.blendMode = i % 6;
        slot.colorKey.keyR = 0.25f;
        slot.colorKey.keyG = 0.5f * static_cast<float>(i);
        slot.colorKey.keyB = 0.75f;
        slot.colorKey.reserved[2] = static_cast<uint8_t>(i + 1);
        slot.orientation = 0.125f * static_cast<float>(i);
        slot.reliefOrientation = -0.25f * static_cast<float>(i);
        slot.layer = SampleLayer(i + 1, i == animatedLayer ? keys : 0);
        t.layers.push_back(std::move(slot));
    }
    return t;
}

namespace detail {

inline bool SameGradient(const Gradient& a, const Gradient& b)
{
    return BytesOf(a.head) == BytesOf(b.head) && BytesOf(a.entries) == BytesOf(b.entries);
}

}  // namespace detail

// Byte-for-byte equality of everything a file stores (pixels excepted).
inline bool SameLayer(const Layer& a, const Layer& b)
{
    if (BytesOf(a.rec) != BytesOf(b.rec)) return false;
    if (a.gradient.has_value() != b.gradient.has_value()) return false;
    if (a.gradient && !detail::SameGradient(*a.gradient, *b.gradient)) return false;
    if (a.keys.size() != b.keys.size()) return false;
    for (size_t k = 0; k < a.keys.size(); ++k) {
        if (BytesOf(a.keys[k].rec) != BytesOf(b.keys[k].rec)) return false;
        if (!detail::SameGradient(a.keys[k].gradient, b.keys[k].gradient)) return false;
    }
    return true;
}

inline bool SameTexture(const Texture& a, const Texture& b)
{
    if (a.reserved != b.reserved || a.layers.size() != b.layers.size()) return false;
    for (size_t i = 0; i < a.layers.size(); ++i) {
        const LayerSlot& x = a.layers[i];
        const LayerSlot& y = b.layers[i];
        if (BytesOf(x.blendCoef) != BytesOf(y.blendCoef) || BytesOf(x.blendMode) != BytesOf(y.blendMode) ||
            BytesOf(x.colorKey) != BytesOf(y.colorKey) || BytesOf(x.orientation) != BytesOf(y.orientation) ||
            BytesOf(x.reliefOrientation) != BytesOf(y.reliefOrientation))
            return false;
        if (!SameLayer(x.layer, y.layer)) return false;
    }
    return true;
}

}  // namespace morvane::test
