// The renderer: turns a texture into rows of blue, green, red, 0 bytes,
// evaluating rows on several threads at once.  Every caller that shows or
// writes a texture image (the view, thumbnails, the library strip, panel
// backgrounds, the exports) renders through here.
//
// Coordinates.  An image of imageWidth x imageHeight pixels has
// u = column / imageWidth and v = row / imageHeight (single-precision
// divisions), with image row 0 at the BOTTOM of the picture; a window that
// shows the image draws image row r at window row imageHeight - 1 - r.
// RenderRect fills output row j with image row y0 + j, so output row 0 is
// the lowest row of the rectangle.  For a top-row-first bitmap pass the
// address of the rectangle's bottom row in that bitmap and a negative
// stride (see RenderImage).  Callers that need other coordinates (the
// exports' rows in file order, the strips' u = c x 0.02) pass their own u
// of every column and v of every row to Render.
//
// Determinism.  A pixel depends only on (texture, u, v, display mode,
// current layer): the bytes are the same for any number of threads and any
// order in which rows are handed out.
//
// Before rendering, the caller prepares the texture once with
// PrepareForRender on its own thread (the view, thumbnails and still
// exports do; the library strip and panel backgrounds render textures as
// they are).  The texture must not change while a render runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/Records.h"

namespace morvane {

// The work done in place on a texture's layers before it is rendered:
// every layer's light direction scaled to unit length (a zero vector, and
// one whose length is already 1 to single precision, stay as they are, so
// that preparing again changes nothing), and the fields the patterns keep
// in the layer (PrepareLayerPatterns: the brick mortar width).
void PrepareForRender(Texture& texture);
// The same for one layer (the layer thumbnails).
void PrepareLayerForRender(Layer& layer);

struct RenderProgress {
    int row;    // the output row just finished
    int done;   // rows finished so far, this one included
    int total;  // rows of the render
};

struct RenderOptions {
    // Threads that evaluate rows, the calling thread included; 0 means one
    // per processor core.  Never more threads than rows are used.
    int threads = 0;
    // Set by anyone (another thread, a signal) to stop the render: rows not
    // yet begun are not rendered.
    const std::atomic<bool>* stop = nullptr;
    // Called on the CALLING thread after each finished row, in the order
    // rows finish (not necessarily row order); return false to stop (the
    // view polls Escape here).  Rows other threads have begun still finish.
    std::function<bool(const RenderProgress&)> rowDone;
    // Hands the rows out from the last to the first instead of first to
    // last (the image is the same; used to check exactly that).
    bool reverseRowOrder = false;
};

struct RenderResult {
    bool complete = false;  // every row rendered
    int rowsRendered = 0;
};

// Renders u.size() x v.size() pixels: output row j, column i is the
// texture at (u[i], v[j]).  Pixel (i, j) is the 4 bytes at
// out + j * stride + 4 * i: blue, green, red = channel x 255 truncated,
// then 0.  The whole rectangle is cleared to 0 first, so rows a stopped
// render did not reach are black.
RenderResult Render(const Texture& texture, int32_t displayMode, int32_t current,
                    std::span<const float> u, std::span<const float> v, uint8_t* out,
                    std::ptrdiff_t stride, const RenderOptions& options = {});

// The rectangle of columns x0 .. x0 + w - 1 and image rows y0 .. y0 + h - 1
// of an image of imageWidth x imageHeight pixels; output row j is image
// row y0 + j (see above).  Rows are handed out from the bottom up.
RenderResult RenderRect(const Texture& texture, int imageWidth, int imageHeight, int x0, int y0,
                        int w, int h, int32_t displayMode, int32_t current, uint8_t* out,
                        std::ptrdiff_t stride, const RenderOptions& options = {});

// A whole image of width x height pixels as a new buffer of
// width x height x 4 bytes, top row first (as a window or a TGA written top
// down shows it) when topRowFirst is true, else bottom row first.
std::vector<uint8_t> RenderImage(const Texture& texture, int width, int height, int32_t displayMode,
                                 int32_t current, bool topRowFirst, const RenderOptions& options = {},
                                 RenderResult* result = nullptr);

// u or v of `count` consecutive pixels from `first` of an image `size`
// pixels long: (first + i) / size in single precision.
std::vector<float> PixelCoordinates(int first, int count, int size);

// A layer shown alone, as the layer thumbnails show it: the pattern with
// no turn of the texture, its relief lit by its own light, width x height
// pixels of blue, green, red, 0 bytes, bottom row first.  Prepare the
// layer first (PrepareLayerForRender).
void RenderLayerPreview(const Layer& layer, int width, int height, uint8_t* out,
                        std::ptrdiff_t stride);

// The number of processor cores (at least 1).
int HardwareThreads();

}  // namespace morvane
