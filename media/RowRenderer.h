// Renders a texture for a file, a few rows at a time: the rows are rendered
// in bands through the shared renderer (every core) and handed to the
// writer one by one in file order, as 3-byte pixels, so that an image of
// any size needs memory for one band only.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/Records.h"

namespace morvane {

enum class PixelOrder { BlueGreenRed, RedGreenBlue };

// Receives file row `row` (0 first) of width x 3 bytes; false stops.
using RowSink = std::function<bool(int row, std::span<const uint8_t> pixels)>;

// File row i is the texture at u = column / width and v = v[i], all layers
// shown.  The texture must be prepared for rendering.  False when the sink
// stopped.
bool RenderRows(const Texture& texture, int width, std::span<const float> v, PixelOrder order,
                const RowSink& sink);

// The v of each file row of an image `height` rows high whose file stores
// the bottom row first (v = i / height) or the top row first
// (v = (height - 1 - i) / height), as the view shows the texture.
std::vector<float> BottomUpRows(int height);
std::vector<float> TopDownRows(int height);

}  // namespace morvane
