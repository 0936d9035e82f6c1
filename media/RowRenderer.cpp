#include "media/RowRenderer.h"

#include <algorithm>
#include <vector>

#include "engine/Render.h"

namespace morvane {

namespace {

// Bytes of rendered pixels held at a time.
constexpr size_t kBandBytes = size_t(8) << 20;

}  // namespace

bool RenderRows(const Texture& texture, int width, std::span<const float> v, PixelOrder order,
                const RowSink& sink)
{
    if (width <= 0) return true;
    const int rows = static_cast<int>(v.size());
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    const int band = static_cast<int>(std::clamp<size_t>(kBandBytes / rowBytes, 1, std::max(rows, 1)));
    const std::vector<float> u = PixelCoordinates(0, width, width);
    std::vector<uint8_t> rendered(rowBytes * static_cast<size_t>(band));
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * 3);
    const bool rgb = order == PixelOrder::RedGreenBlue;

    for (int first = 0; first < rows; first += band) {
        const int count = std::min(band, rows - first);
        Render(texture, 0, 0, u, v.subspan(static_cast<size_t>(first), static_cast<size_t>(count)), rendered.data(),
               static_cast<std::ptrdiff_t>(rowBytes));
        for (int j = 0; j < count; ++j) {
            const uint8_t* src = rendered.data() + rowBytes * static_cast<size_t>(j);
            uint8_t* dst = pixels.data();
            for (int x = 0; x < width; ++x, src += 4, dst += 3) {
                dst[0] = rgb ? src[2] : src[0];
                dst[1] = src[1];
                dst[2] = rgb ? src[0] : src[2];
            }
            if (!sink(first + j, pixels)) return false;
        }
    }
    return true;
}

std::vector<float> BottomUpRows(int height) { return PixelCoordinates(0, height, height); }

std::vector<float> TopDownRows(int height)
{
    std::vector<float> v = PixelCoordinates(0, height, height);
    std::reverse(v.begin(), v.end());
    return v;
}

}  // namespace morvane
