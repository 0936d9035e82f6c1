// Textures with a distinct value in every field, for file tests.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/Records.h"

namespace morvane::test {

// A layer whose fields, reserved bytes and gradient all differ with `seed`.
// With `keys` > 0 the layer is animated with that many keys.  Pointer slots
// hold 0.  `programMade`: reserved words the program never sets stay zero
// and the picture path is zero-padded, as in every layer the program makes.
Layer SampleLayer(int seed, int keys = 0, bool programMade = false);

// A texture of `layers` layers; layer `animatedLayer` (0-based, -1 for
// none) has `keys` keys.
Texture SampleTexture(int layers, int animatedLayer = -1, int keys = 0);

// Byte-for-byte equality of everything a file stores (pixels excepted).
bool SameLayer(const Layer& a, const Layer& b);
bool SameTexture(const Texture& a, const Texture& b);

template <class T>
std::vector<uint8_t> BytesOf(const T& rec)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&rec);
    return std::vector<uint8_t>(p, p + sizeof rec);
}

}  // namespace morvane::test
