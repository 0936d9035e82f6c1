#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/PatternNames.h"
#include "engine/Patterns.h"
#include "engine/Presets.h"
#include "engine/Render.h"
#include "engine/TestTextures.h"
#include "engine/TextureFile.h"

using namespace morvane;
using namespace morvane::test;

namespace {

// Four picture layers with turns, scales, offsets, every kind of blend and
// a lit relief layer.
Texture MultiLayer()
{
    LayerSlot a = Slot(PictureLayer(37, 23, NoisePicture(37, 23, 1)), kBlendAdditive, 1.0f);
    a.orientation = 0.1f;
    a.layer.rec.scaleX = 3.0f;
    a.layer.rec.scaleY = 2.5f;
    a.layer.rec.offsetX = 0.31f;
    a.layer.rec.lightDirX = 0.5f;
    a.layer.rec.lightDirY = 0.2f;
    a.layer.rec.lightDirZ = 0.8f;
    a.layer.rec.lightR = a.layer.rec.lightG = a.layer.rec.lightB = 0.6f;
    a.layer.rec.reflectR = a.layer.rec.reflectG = a.layer.rec.reflectB = 0.1f;

    LayerSlot b = Slot(PictureLayer(16, 16, NoisePicture(16, 16, 2)), kBlendTransparency, 0.4f);
    b.orientation = -0.3f;
    b.reliefOrientation = 0.2f;
    LayerRecord& br = b.layer.rec;
    br.scaleX = br.scaleY = 5.0f;
    br.reliefIntensity = 1.5f;
    br.lightDirX = 1.0f;
    br.lightDirY = 1.0f;
    br.lightDirZ = 1.6f;
    br.brillianceR = 20.0f;
    br.brillianceG = 60.0f;
    br.brillianceB = 120.0f;
    br.lightR = 0.7f;
    br.lightG = 0.5f;
    br.lightB = 0.3f;
    br.reflectR = 0.2f;
    br.reflectG = 0.1f;
    br.reflectB = 0.3f;

    // Most pixels of this picture are its key colour, so the layers below
    // show through them.
    std::vector<uint8_t> keyed = NoisePicture(8, 5, 3);
    for (size_t i = 0; i < keyed.size(); i += 4) {
        if ((i / 4) % 3 == 0) continue;
        keyed[i] = 51;
        keyed[i + 1] = 102;
        keyed[i + 2] = 153;
    }
    LayerSlot c = Slot(PictureLayer(8, 5, std::move(keyed)), kBlendColorKey, 0.0f);
    c.colorKey.keyR = 0.2f;
    c.colorKey.keyG = 0.4f;
    c.colorKey.keyB = 0.6f;
    c.layer.rec.scaleX = 7.0f;
    c.layer.rec.lightR = c.layer.rec.lightG = c.layer.rec.lightB = 0.2f;
    c.layer.rec.reflectR = c.layer.rec.reflectG = c.layer.rec.reflectB = 0.0f;

    LayerSlot d = Slot(PictureLayer(64, 1, NoisePicture(64, 1, 4)), kBlendChrominancy, 1.3f);
    d.orientation = 0.25f;
    d.layer.rec.offsetY = -0.7f;
    d.layer.rec.lightR = d.layer.rec.lightG = d.layer.rec.lightB = 0.0f;

    Texture t = MakeTexture({a, b, c, d});
    PrepareForRender(t);
    return t;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

RenderOptions Threads(int n, bool reverse = false)
{
    RenderOptions o;
    o.threads = n;
    o.reverseRowOrder = reverse;
    return o;
}

}  // namespace

TEST(Render, SameBytesForAnyThreadCountAndRowOrder)
{
    const Texture t = MultiLayer();
    const int w = 160, h = 120;
    RenderResult r;
    const auto one = RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(1), &r);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.rowsRendered, h);
    EXPECT_EQ(RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(8)), one);
    EXPECT_EQ(RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(1, true)), one);
    EXPECT_EQ(RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(8, true)), one);
    EXPECT_EQ(RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(3)), one);
    EXPECT_EQ(RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(0)), one);

    // Every pixel is EvalTexture at (x / w, row / h), bottom row first.
    EvalContext ctx;
    for (int row = 0; row < h; row += 7) {
        for (int x = 0; x < w; x += 5) {
            float c[3];
            EvalTexture(static_cast<float>(x) / w, static_cast<float>(row) / h, t, c, kDisplayAllLayers, 0, ctx);
            const uint8_t* px = &one[(static_cast<size_t>(row) * w + x) * 4];
            ASSERT_EQ(px[0], static_cast<uint8_t>(c[2] * 255.0f));
            ASSERT_EQ(px[1], static_cast<uint8_t>(c[1] * 255.0f));
            ASSERT_EQ(px[2], static_cast<uint8_t>(c[0] * 255.0f));
            ASSERT_EQ(px[3], 0);
        }
    }

    // Top row first is the same image upside down; other display modes
    // follow the same rule.
    const auto top = RenderImage(t, w, h, kDisplayAllLayers, 0, true, Threads(8));
    for (int row = 0; row < h; ++row)
        ASSERT_TRUE(std::equal(top.begin() + (h - 1 - row) * w * 4, top.begin() + (h - row) * w * 4,
                               one.begin() + row * w * 4));
    EXPECT_EQ(RenderImage(t, w, h, kDisplayCurrentLayer, 1, false, Threads(1)),
              RenderImage(t, w, h, kDisplayCurrentLayer, 1, false, Threads(8, true)));
}

TEST(Render, RectangleIsACropOfTheImage)
{
    const Texture t = MultiLayer();
    const int w = 90, h = 70;
    const auto full = RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(1));
    // Columns 13..53, image rows 20..49, into a larger buffer with a
    // stride, top row first through a negative stride.
    const int x0 = 13, y0 = 20, rw = 41, rh = 30, stride = 200 * 4;
    std::vector<uint8_t> buf(static_cast<size_t>(stride) * rh, 0xEE);
    uint8_t* bottom = buf.data() + static_cast<ptrdiff_t>(rh - 1) * stride;
    const RenderResult r = RenderRect(t, w, h, x0, y0, rw, rh, kDisplayAllLayers, 0, bottom, -stride, Threads(4));
    EXPECT_TRUE(r.complete);
    for (int j = 0; j < rh; ++j) {
        const uint8_t* got = buf.data() + static_cast<ptrdiff_t>(rh - 1 - j) * stride;
        const uint8_t* want = full.data() + (static_cast<size_t>(y0 + j) * w + x0) * 4;
        ASSERT_TRUE(std::equal(got, got + rw * 4, want)) << j;
        EXPECT_EQ(got[rw * 4], 0xEE);  // nothing written past the rectangle
    }
}

// The bytes of this rendered texture are fixed: any change to evaluation,
// blending, lighting or the renderer that alters them must be deliberate.
TEST(Render, GoldenChecksum)
{
    const Texture t = MultiLayer();
    const auto image = RenderImage(t, 320, 240, kDisplayAllLayers, 0, true, Threads(0));
    const uint64_t sum = Fnv1a(image);
    EXPECT_EQ(sum, 0xe58af5321ce0489cull) << std::hex << "got 0x" << sum;
}

TEST(Render, ProgressIsReportedOnTheCallingThread)
{
    const Texture t = MultiLayer();
    const int w = 50, h = 64;
    for (int threads : {1, 8}) {
        std::set<int> rows;
        int calls = 0;
        bool onCaller = true;
        const auto caller = std::this_thread::get_id();
        RenderOptions o = Threads(threads);
        o.rowDone = [&](const RenderProgress& p) {
            onCaller = onCaller && std::this_thread::get_id() == caller;
            ++calls;
            EXPECT_EQ(p.done, calls);
            EXPECT_EQ(p.total, h);
            rows.insert(p.row);
            return true;
        };
        RenderResult r;
        RenderImage(t, w, h, kDisplayAllLayers, 0, false, o, &r);
        EXPECT_TRUE(r.complete);
        EXPECT_TRUE(onCaller);
        EXPECT_EQ(calls, h);
        EXPECT_EQ(rows.size(), static_cast<size_t>(h));
    }
}

TEST(Render, StoppedRendersLeaveUnrenderedRowsBlack)
{
    const Texture t = MultiLayer();
    const int w = 40, h = 100;
    const auto full = RenderImage(t, w, h, kDisplayAllLayers, 0, false, Threads(1));

    for (int threads : {1, 4}) {
        // The callback asks to stop after ten rows.
        RenderOptions o = Threads(threads);
        int seen = 0;
        o.rowDone = [&](const RenderProgress&) { return ++seen < 10; };
        RenderResult r;
        const auto part = RenderImage(t, w, h, kDisplayAllLayers, 0, false, o, &r);
        // On one thread the render stops right there; with more, the
        // other threads may have finished further rows, or all of them.
        if (threads == 1) {
            EXPECT_EQ(r.rowsRendered, 10);
        }
        EXPECT_GE(r.rowsRendered, 10);
        EXPECT_EQ(r.complete, r.rowsRendered == h);
        EXPECT_EQ(seen, 10);
        int black = 0;
        for (int row = 0; row < h; ++row) {
            const auto first = part.begin() + row * w * 4;
            const bool rendered = std::equal(first, first + w * 4, full.begin() + row * w * 4);
            const bool zero = std::all_of(first, first + w * 4, [](uint8_t b) { return b == 0; });
            EXPECT_TRUE(rendered || zero) << row;
            if (!rendered) ++black;
        }
        EXPECT_EQ(black, h - r.rowsRendered);
    }

    // A stop flag set before the render: nothing is rendered, and whatever
    // the buffer held is cleared.
    std::atomic<bool> stop{true};
    RenderOptions o = Threads(4);
    o.stop = &stop;
    std::vector<uint8_t> buf(static_cast<size_t>(w) * h * 4, 0x55);
    const RenderResult r = RenderRect(t, w, h, 0, 0, w, h, kDisplayAllLayers, 0, buf.data(), w * 4, o);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.rowsRendered, 0);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0; }));
}

TEST(Render, EmptyAndDegenerateRequests)
{
    const Texture t = MultiLayer();
    RenderResult r;
    EXPECT_TRUE(RenderImage(t, 0, 10, kDisplayAllLayers, 0, true, {}, &r).empty());
    EXPECT_TRUE(r.complete);
    EXPECT_TRUE(RenderRect(t, 0, 0, 0, 0, 5, 5, kDisplayAllLayers, 0, nullptr, 0).complete);
    // A texture without layers renders black.
    const auto black = RenderImage(Texture{}, 8, 8, kDisplayAllLayers, 0, true);
    EXPECT_TRUE(std::all_of(black.begin(), black.end(), [](uint8_t b) { return b == 0; }));
    // More threads than rows.
    EXPECT_EQ(RenderImage(t, 30, 2, kDisplayAllLayers, 0, true, Threads(16)),
              RenderImage(t, 30, 2, kDisplayAllLayers, 0, true, Threads(1)));
}

TEST(Render, LayerPreviewShowsOneLayerLitByItsOwnLight)
{
    Layer layer = SolidLayer(102, 51, 204);
    std::vector<uint8_t> px(6 * 5 * 4, 0x77);
    RenderLayerPreview(layer, 6, 5, px.data(), 6 * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        EXPECT_EQ(px[i + 0], 204);
        EXPECT_EQ(px[i + 1], 51);
        EXPECT_EQ(px[i + 2], 102);
        EXPECT_EQ(px[i + 3], 0);
    }
    // With relief: lit by its own light, normal (0, 0, 1); clamped.
    layer.rec.reliefIntensity = 1.0f;
    layer.rec.lightR = layer.rec.lightG = layer.rec.lightB = 0.5f;
    layer.rec.reflectR = layer.rec.reflectG = layer.rec.reflectB = 0.0f;
    RenderLayerPreview(layer, 6, 5, px.data(), 6 * 4);
    EXPECT_EQ(px[2], static_cast<uint8_t>(0.5f * ByteColour(102) * 1.0f * 255.0f));
    layer.rec.reflectR = layer.rec.reflectG = layer.rec.reflectB = 4.0f;
    RenderLayerPreview(layer, 6, 5, px.data(), 6 * 4);
    EXPECT_EQ(px[0], 255);
}

// Every material and relief from its preset (the patterns keep no state
// between pixels that could change a colour): any thread count and row
// order gives the same bytes.
TEST(Render, EveryPatternRendersTheSameOnAnyThreads)
{
    NoiseInit();
    const MaterialPresets& presets = MaterialPresetTable();
    for (int first = 0; first < kMaterialCount; first += 3) {
        Texture t;
        for (int m = first; m < std::min(first + 3, kMaterialCount); ++m) {
            LayerSlot s;
            s.layer = LayerFromPreset(presets[static_cast<size_t>(m)]);
            s.layer.rec.relief = static_cast<int8_t>(m % kReliefCount);
            s.layer.rec.reliefIntensity = 1.0f;
            if (m >= 24 && m <= 35) {  // picture materials
                s.layer.rec.width = 9;
                s.layer.rec.height = 7;
                s.layer.SetPicture(9, 7, NoisePicture(9, 7, static_cast<uint32_t>(m)));
            }
            s.blendMode = m % 6;
            s.blendCoef = 0.7f;
            s.orientation = 0.05f * static_cast<float>(m);
            t.layers.push_back(std::move(s));
        }
        PrepareForRender(t);
        const auto one = RenderImage(t, 48, 36, kDisplayAllLayers, 0, true, Threads(1));
        EXPECT_EQ(RenderImage(t, 48, 36, kDisplayAllLayers, 0, true, Threads(8, true)), one) << first;
        EXPECT_EQ(RenderImage(t, 48, 36, kDisplayAllLayers, 0, true, Threads(1, true)), one) << first;
    }
}

// Lights a second scaling to unit length would move by one unit in the last
// place (and back on the third): preparing a texture again changes neither
// its bytes nor its picture, so the view, drawn any number of times, shows
// what a render of the saved file shows.
TEST(Render, PreparingAgainChangesNoByte)
{
    const float lights[4][3] = {{-1.0f, -1.0f, 0.5f}, {-1.0f, -0.8f, 1.0f}, {-1.0f, -0.2f, 0.8f}, {1.0f, 1.0f, 1.6f}};
    std::vector<LayerSlot> slots;
    for (int i = 0; i < 4; ++i) {
        LayerSlot s = Slot(PictureLayer(16, 12, NoisePicture(16, 12, 10u + i)), kBlendAdditive, 0.4f);
        LayerRecord& r = s.layer.rec;
        r.reliefIntensity = 1.5f;
        r.relief = static_cast<int8_t>(i);
        r.lightDirX = lights[i][0];
        r.lightDirY = lights[i][1];
        r.lightDirZ = lights[i][2];
        r.lightR = r.lightG = r.lightB = 0.5f;
        r.reflectR = r.reflectG = r.reflectB = 0.3f;
        r.brillianceR = r.brillianceG = r.brillianceB = 30.0f;
        slots.push_back(std::move(s));
    }
    const Texture fresh = MakeTexture(slots);

    Texture once = fresh;
    PrepareForRender(once);
    EXPECT_NE(EncodeTextureFile(once), EncodeTextureFile(fresh));
    const std::vector<uint8_t> image = RenderImage(once, 64, 48, kDisplayAllLayers, 0, true);
    Texture again = once;
    for (int n = 2; n <= 4; ++n) {
        PrepareForRender(again);
        EXPECT_EQ(EncodeTextureFile(again), EncodeTextureFile(once)) << n << " prepares";
        EXPECT_EQ(RenderImage(again, 64, 48, kDisplayAllLayers, 0, true), image) << n << " prepares";
        for (const LayerSlot& s : again.layers) {
            Layer alone = s.layer;
            PrepareLayerForRender(alone);
            EXPECT_EQ(0, std::memcmp(&alone.rec, &s.layer.rec, sizeof alone.rec)) << n << " prepares";
        }
    }
}

// The picture materials sample a picture by its own size: a layer whose
// image size is changed (Image Format) shows the same picture in the
// texture and in its thumbnail.
TEST(Render, APictureShowsWhateverTheLayersImageSize)
{
    NoiseInit();
    const MaterialPresets& presets = MaterialPresetTable();
    for (int m = kFirstPictureMaterial; m <= kLastPictureMaterial; ++m) {
        Texture t;
        LayerSlot s;
        s.layer = LayerFromPreset(presets[static_cast<size_t>(m)]);
        s.layer.rec.width = 9;
        s.layer.rec.height = 7;
        s.layer.SetPicture(9, 7, NoisePicture(9, 7, static_cast<uint32_t>(m)));
        t.layers.push_back(std::move(s));
        PrepareForRender(t);
        const auto picture = RenderImage(t, 48, 36, kDisplayAllLayers, 0, true);
        std::vector<uint8_t> thumbnail(40 * 30 * 4);
        RenderLayerPreview(t.layers[0].layer, 40, 30, thumbnail.data(), 40 * 4);
        EXPECT_NE(thumbnail, std::vector<uint8_t>(thumbnail.size(), 0)) << m;

        for (const auto& [w, h] : {std::pair{640, 480}, std::pair{1024, 768}, std::pair{4096, 2836}}) {
            Layer& layer = t.layers[0].layer;
            layer.rec.width = static_cast<int16_t>(w);
            layer.rec.height = static_cast<int16_t>(h);
            EXPECT_EQ(RenderImage(t, 48, 36, kDisplayAllLayers, 0, true), picture) << m << " at " << w << "x" << h;
            std::vector<uint8_t> shown(thumbnail.size());
            RenderLayerPreview(layer, 40, 30, shown.data(), 40 * 4);
            EXPECT_EQ(shown, thumbnail) << m << " at " << w << "x" << h;
        }
    }
}
