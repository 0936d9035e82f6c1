// What the library strip should show, for the panel and shell tests.
// Header only.
#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

#include "engine/Render.h"
#include "panels/LibraryStripWnd.h"

namespace morvane::test {

// A texture sampled as the strip samples its thumbnails (u = c x 0.02,
// v = r / 44, all layers, light directions made unit length), top row
// first.
inline QImage DirectThumbnail(Texture texture)
{
    PrepareForRender(texture);
    std::vector<float> u(50), v(44);
    for (int c = 0; c < 50; ++c) u[c] = static_cast<float>(c) * 0.02f;
    for (int r = 0; r < 44; ++r) v[r] = static_cast<float>(r) * (1.0f / 44.0f);
    std::vector<uint8_t> rows(50 * 44 * 4);
    Render(texture, 0, 0, u, v, rows.data(), 200);
    QImage image(50, 44, QImage::Format_RGB32);
    for (int r = 0; r < 44; ++r) {
        for (int c = 0; c < 50; ++c) {
            const uint8_t* p = &rows[(r * 50 + c) * 4];
            image.setPixel(c, 43 - r, qRgb(p[2], p[1], p[0]));
        }
    }
    return image;
}

// The 50 x 44 picture the strip shows in slot k.
inline QImage SlotPicture(const CLibraryStripWnd& strip, int k)
{
    return strip.Surface().copy(CLibraryStripWnd::kSlotWidth * k + 2, 2, 50, 44);
}

}  // namespace morvane::test
