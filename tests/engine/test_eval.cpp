#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/Eval.h"
#include "engine/Render.h"
#include "engine/TestTextures.h"

using namespace morvane;
using namespace morvane::test;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A probe picture of 101 x 100 pixels: red = column, green = row, so the
// colour tells which pixel the layer point (x, y) sampled:
// column = trunc(frac(x) x 100), row = trunc(frac(y) x 100).
Layer ProbeLayer()
{
    const int w = 101, h = 100;
    std::vector<uint8_t> p(static_cast<size_t>(w) * h * 4);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            uint8_t* px = &p[(static_cast<size_t>(r) * w + c) * 4];
            px[0] = static_cast<uint8_t>(c);
            px[1] = static_cast<uint8_t>(r);
            px[2] = 7;
        }
    return PictureLayer(w, h, std::move(p));
}

struct Probe {
    int column, row;
};

Probe Sample(const Layer& layer, float u, float v, float orientation = 0.0f, float reliefOrientation = 0.0f)
{
    EvalContext ctx;
    float c[3] = {0, 0, 0}, n[3] = {0, 0, 0};
    EvalLayer(u, v, layer, c, n, orientation, reliefOrientation, ctx);
    EXPECT_FLOAT_EQ(c[2], ByteColour(7));
    return {static_cast<int>(std::lround(c[0] * 255.0f)), static_cast<int>(std::lround(c[1] * 255.0f))};
}

void ExpectColour(const std::vector<float>& got, float r, float g, float b, float tol = 0.0f)
{
    ASSERT_EQ(got.size(), 3u);
    if (tol == 0.0f) {
        EXPECT_EQ(got[0], r);
        EXPECT_EQ(got[1], g);
        EXPECT_EQ(got[2], b);
    } else {
        EXPECT_NEAR(got[0], r, tol);
        EXPECT_NEAR(got[1], g, tol);
        EXPECT_NEAR(got[2], b, tol);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Layer evaluation

TEST(EvalLayer, ColourPointIsOffsetScaledAndTurned)
{
    Layer layer = ProbeLayer();
    // No turn: x = (u + offsetX) scaleX, y = (v + offsetY) scaleY.
    Probe p = Sample(layer, 0.125f, 0.3f);
    EXPECT_EQ(p.column, 12);
    EXPECT_EQ(p.row, 30);
    layer.rec.offsetX = 0.25f;
    layer.rec.offsetY = -0.5f;
    layer.rec.scaleX = 2.0f;
    layer.rec.scaleY = 0.5f;
    p = Sample(layer, 0.125f, 0.3f);  // x = 0.75, y = -0.1 -> frac 0.9
    EXPECT_EQ(p.column, 75);
    EXPECT_EQ(p.row, 90);

    // A quarter turn maps (sx, sy) to (-sy, sx).
    layer = ProbeLayer();
    p = Sample(layer, 0.305f, 0.605f, 0.25f);  // x = -0.605 -> frac 0.395, y = 0.305
    EXPECT_EQ(p.column, 39);
    EXPECT_EQ(p.row, 30);
    // The relief turn does not move the colour pattern.
    p = Sample(layer, 0.305f, 0.605f, 0.0f, 0.25f);
    EXPECT_EQ(p.column, 30);
    EXPECT_EQ(p.row, 60);
}

TEST(EvalLayer, ImageSamplesColumnsOverWidthMinusOne)
{
    // 2 x 2: the column factor is width - 1 = 1, so column 0 for every x.
    Layer layer = PictureLayer(2, 2, {10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0});
    EvalContext ctx;
    for (float u : {0.0f, 0.4f, 0.6f, 0.99f}) {
        for (auto [v, want] : {std::pair{0.1f, 10}, {0.7f, 30}}) {
            float c[3] = {0, 0, 0}, n[3] = {0, 0, 0};
            EvalLayer(u, v, layer, c, n, 0, 0, ctx);
            EXPECT_EQ(c[0], ByteColour(static_cast<uint8_t>(want))) << u << " " << v;
        }
    }
    // The colour is added to what the caller passes in.
    float c[3] = {0.5f, 0.25f, 0.0f}, n[3] = {0, 0, 0};
    EvalLayer(0.1f, 0.1f, layer, c, n, 0, 0, ctx);
    EXPECT_EQ(c[0], 0.5f + ByteColour(10));
    EXPECT_EQ(c[1], 0.25f);
}

TEST(EvalLayer, ImageNeverReadsOutsideThePicture)
{
    EvalContext ctx;
    auto colourOf = [&](const Layer& layer, float u, float v) {
        float c[3] = {0, 0, 0}, n[3] = {0, 0, 0};
        EvalLayer(u, v, layer, c, n, 0, 0, ctx);
        return std::vector<float>{c[0], c[1], c[2]};
    };
    // frac of a tiny negative value rounds to 1.0f: the last row, not one
    // past it.
    Layer two = PictureLayer(1, 2, {10, 0, 0, 0, 20, 0, 0, 0});
    ExpectColour(colourOf(two, 0.0f, -1e-9f), ByteColour(20), 0, 0);
    ExpectColour(colourOf(two, -1e-9f, 0.0f), ByteColour(10), 0, 0);
    // A buffer shorter than width x height x 4, sizes below 1, no picture
    // at all, non-finite coordinates: nothing is added (or a pixel inside).
    Layer shortBuf = PictureLayer(4, 4, std::vector<uint8_t>(4 * 4 * 4 - 1, 200));
    ExpectColour(colourOf(shortBuf, 0.5f, 0.5f), 0, 0, 0);
    Layer zeroW = PictureLayer(0, 4, std::vector<uint8_t>(64, 200));
    ExpectColour(colourOf(zeroW, 0.5f, 0.5f), 0, 0, 0);
    Layer negH = PictureLayer(4, -3, std::vector<uint8_t>(64, 200));
    ExpectColour(colourOf(negH, 0.5f, 0.5f), 0, 0, 0);
    Layer none = PictureLayer(160, 120, {});
    ExpectColour(colourOf(none, 0.5f, 0.5f), 0, 0, 0);
    Layer full = PictureLayer(3, 3, std::vector<uint8_t>(36, 51));
    const float grey = ByteColour(51);
    ExpectColour(colourOf(full, kNaN, std::numeric_limits<float>::infinity()), grey, grey, grey);
    full.rec.scaleX = 1e30f;
    full.rec.scaleY = -1e30f;
    ExpectColour(colourOf(full, 0.7f, 0.3f), grey, grey, grey);
}

TEST(EvalLayer, MaterialsWithoutPatternAddNothing)
{
    EvalContext ctx;
    for (int m : {39, 40, 41, -1, -128, 127}) {
        Layer layer = SolidLayer(255, 255, 255);
        layer.rec.material = static_cast<int8_t>(m);
        float c[3] = {0, 0, 0}, n[3] = {0, 0, 0};
        EvalLayer(0.5f, 0.5f, layer, c, n, 0, 0, ctx);
        EXPECT_EQ(c[0] + c[1] + c[2], 0.0f) << m;
    }
}

TEST(EvalLayer, NoReliefWithoutPositiveIntensity)
{
    EvalContext ctx;
    for (int relief = -1; relief <= 15; ++relief) {
        for (float intensity : {0.0f, -1.0f, kNaN}) {
            Layer layer = SolidLayer(1, 2, 3);
            layer.rec.relief = static_cast<int8_t>(relief);
            layer.rec.reliefIntensity = intensity;
            float c[3] = {0, 0, 0}, n[3] = {0, 0, 0};
            EvalLayer(0.3f, 0.6f, layer, c, n, 0.1f, 0.2f, ctx);
            EXPECT_EQ(n[0], 0.0f);
            EXPECT_EQ(n[1], 0.0f);
            EXPECT_EQ(n[2], 0.0f);
        }
    }
}

// ---------------------------------------------------------------------------
// Gradient lookup

namespace {

Gradient Coloured()
{
    Gradient g = Gradient::Tiled();
    for (int j = 0; j < kGradientEntries; ++j) {
        GradientEntry& e = g.entries[static_cast<size_t>(j)];
        e.startR = static_cast<float>(j);
        e.startG = 100.0f + static_cast<float>(j);
        e.startB = 0.0f;
        e.endR = static_cast<float>(j) + 0.5f;
        e.endG = 200.0f + static_cast<float>(j);
        e.endB = 1.0f;
    }
    return g;
}

std::vector<float> Look(const Gradient& g, float value)
{
    float rgb[3] = {-7, -7, -7};
    GradientLookup(rgb, g, value);
    return {rgb[0], rgb[1], rgb[2]};
}

}  // namespace

TEST(GradientLookup, EndsAndBoundaries)
{
    const Gradient g = Coloured();
    ExpectColour(Look(g, 1.0f), 23.5f, 223.0f, 1.0f);  // entry 23's end
    ExpectColour(Look(g, 7.0f), 23.5f, 223.0f, 1.0f);  // limited to 1
    ExpectColour(Look(g, 0.5f), 11.5f, 211.0f, 1.0f);  // entry 11 ends at 12/24
    ExpectColour(Look(g, -0.5f), 0.0f, 100.0f, 0.0f);  // entry 0's start
    ExpectColour(Look(g, kNaN), 0.0f, 100.0f, 0.0f);
    // Inside a segment: linear between its colours.
    const float start = g.entries[5].start, end = g.entries[5].end;
    const float value = start + (end - start) * 0.25f;
    const float t = (value - start) / (end - start);
    ExpectColour(Look(g, value), 5.0f + t * 0.5f, 105.0f + t * 100.0f, t);
}

TEST(GradientLookup, CountAndDegenerateEntries)
{
    Gradient g = Coloured();
    // A count beyond the entries held reads only the 24 entries.
    g.head.count = 30000;
    ExpectColour(Look(g, 1.0f), 23.5f, 223.0f, 1.0f);
    g.entries[23].end = 0.9f;  // nothing covers 1.0 any more
    ExpectColour(Look(g, 1.0f), 0, 0, 0);
    // A count below 24 stops early; zero or negative matches nothing.
    g = Coloured();
    g.head.count = 12;
    ExpectColour(Look(g, 0.75f), 0, 0, 0);
    ExpectColour(Look(g, 0.25f), 5.5f, 205.0f, 1.0f);
    for (int16_t n : {int16_t{0}, int16_t{-1}, int16_t{-32768}}) {
        g.head.count = n;
        ExpectColour(Look(g, 0.25f), 0, 0, 0);
    }
    // An entry with start == end gives its start colour instead of a NaN.
    g = Coloured();
    g.entries[0].end = 0.0f;
    ExpectColour(Look(g, 0.0f), 0.0f, 100.0f, 0.0f);
    // NaN bounds match nothing.
    g.entries[0].start = kNaN;
    g.entries[1].start = kNaN;
    ExpectColour(Look(g, 0.0f), 0, 0, 0);
}

// ---------------------------------------------------------------------------
// Blending

namespace {

// Colours of the picture bytes used below.
const float kB = ByteColour(51);   // 0.2 below
const float kG = ByteColour(102);  // 0.4 below
const float kR = ByteColour(153);  // 0.6 below

Texture OverBase(LayerSlot top)
{
    return MakeTexture({Slot(SolidLayer(51, 102, 153)), std::move(top)});
}

}  // namespace

TEST(EvalTexture, BlendModes)
{
    const float c0 = ByteColour(204), c1 = ByteColour(0), c2 = ByteColour(255);
    const uint8_t top[3] = {204, 0, 255};
    auto eval = [&](int32_t mode, float k) {
        return Eval(OverBase(Slot(SolidLayer(top[0], top[1], top[2]), mode, k)), 0.5f, 0.5f);
    };
    // Transparency weights what lies below by k.
    ExpectColour(eval(kBlendTransparency, 0.25f), 0.75f * c0 + 0.25f * kB, 0.75f * c1 + 0.25f * kG,
                 0.75f * c2 + 0.25f * kR);
    ExpectColour(eval(kBlendTransparency, 1.0f), kB, kG, kR);
    ExpectColour(eval(kBlendTransparency, 0.0f), c0, c1, c2);
    ExpectColour(eval(kBlendAdditive, 0.5f), kB + 0.5f * c0, kG, 1.0f);
    ExpectColour(eval(kBlendSubtractive, 0.5f), 0.0f, kG, kR - 0.5f * c2);
    const float f = 0.5f * (c0 + c1 + c2) * 0.33333334f;
    ExpectColour(eval(kBlendLuminancy, 0.5f), kB * f, kG * f, kR * f);
    ExpectColour(eval(kBlendChrominancy, 0.5f), kB * 0.5f * c0, kG * 0.5f * c1, kR * 0.5f * c2);
    // Colour key: the key is zero, the layer is not, so it replaces (k unused).
    ExpectColour(eval(kBlendColorKey, 0.0f), c0, c1, c2);
    // Unknown modes leave the colour alone.
    for (int32_t mode : {6, -1, 1000}) ExpectColour(eval(mode, 1.0f), kB, kG, kR);
}

TEST(EvalTexture, SingleLayerEdgeCases)
{
    // Additive with k = 1 is the pattern's colour; Transparency with k = 1
    // hides the only layer.
    Texture t = MakeTexture({Slot(SolidLayer(51, 102, 153), kBlendAdditive, 1.0f)});
    ExpectColour(Eval(t, 0.1f, 0.9f), kB, kG, kR);
    t.layers[0].blendMode = kBlendTransparency;
    ExpectColour(Eval(t, 0.1f, 0.9f), 0, 0, 0);
    // A texture without layers is black.
    ExpectColour(Eval(Texture{}, 0.5f, 0.5f), 0, 0, 0);
}

TEST(EvalTexture, ColourKeyBand)
{
    // Key 0.5 on every channel: the band is 0.485 .. 0.515.
    auto keyed = [](uint8_t r, uint8_t g, uint8_t b, float key) {
        LayerSlot s = Slot(SolidLayer(r, g, b), kBlendColorKey, 0.3f);
        s.colorKey.keyR = s.colorKey.keyG = s.colorKey.keyB = key;
        return Eval(OverBase(std::move(s)), 0.5f, 0.5f);
    };
    ExpectColour(keyed(124, 128, 131, 0.5f), kB, kG, kR);  // all inside: below shows
    ExpectColour(keyed(123, 128, 128, 0.5f), ByteColour(123), ByteColour(128), ByteColour(128));
    ExpectColour(keyed(128, 128, 132, 0.5f), ByteColour(128), ByteColour(128), ByteColour(132));
    // A key channel of 0 accepts only an exact 0.
    ExpectColour(keyed(0, 0, 0, 0.0f), kB, kG, kR);
    ExpectColour(keyed(0, 0, 1, 0.0f), 0, 0, ByteColour(1));
    // The band scales with the key: 1.0 lies inside 0.97 .. 1.03 x 0.98,
    // outside 0.97 .. 1.03 x 0.9.
    ExpectColour(keyed(255, 255, 255, 0.98f), kB, kG, kR);
    ExpectColour(keyed(255, 255, 255, 0.9f), 1, 1, 1);
}

TEST(EvalTexture, DisplayModes)
{
    Texture t = MakeTexture({Slot(SolidLayer(51, 0, 0)), Slot(SolidLayer(0, 102, 0)), Slot(SolidLayer(0, 0, 153))});
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayAllLayers, 1), kB, kG, kR);
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayLayersBelow, 2), kB, kG, 0);
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayLayersBelow, 0), 0, 0, 0);
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayLayersBelow, 99), kB, kG, kR);
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayCurrentLayer, 1), 0, kG, 0);
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayCurrentLayer, 3), 0, 0, 0);
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayCurrentLayer, -1), 0, 0, 0);
    for (int32_t mode : {3, -1, 42}) ExpectColour(Eval(t, 0.5f, 0.5f, mode, 0), kB, kG, kR);
}

TEST(EvalTexture, ClampsAfterEveryLayer)
{
    // 1 + 1 - 0.5: clamped to 1 after the second layer, so 0.5 at the end.
    Texture t = MakeTexture({Slot(SolidLayer(255, 255, 255)), Slot(SolidLayer(255, 255, 255)),
                             Slot(SolidLayer(128, 128, 128), kBlendSubtractive, 1.0f)});
    const float half = 1.0f - ByteColour(128);
    ExpectColour(Eval(t, 0.5f, 0.5f), half, half, half);
    // 0 - 1 + 0.2: clamped to 0 first, so 0.2.
    t = MakeTexture({Slot(SolidLayer(255, 255, 255), kBlendSubtractive, 1.0f), Slot(SolidLayer(51, 51, 51))});
    ExpectColour(Eval(t, 0.5f, 0.5f), kB, kB, kB);
    // A NaN after blending becomes 0, and does not spread to later layers.
    t = MakeTexture({Slot(SolidLayer(255, 255, 255), kBlendAdditive, kNaN), Slot(SolidLayer(51, 51, 51))});
    ExpectColour(Eval(t, 0.5f, 0.5f), kB, kB, kB);
    t = MakeTexture({Slot(SolidLayer(255, 255, 255), kBlendAdditive, std::numeric_limits<float>::infinity())});
    ExpectColour(Eval(t, 0.5f, 0.5f), 1, 1, 1);
}

// ---------------------------------------------------------------------------
// Lighting

namespace {

LayerRecord Light(float lx, float ly, float lz, float light, float reflect, float brilliance)
{
    LayerRecord r{};
    r.lightDirX = lx;
    r.lightDirY = ly;
    r.lightDirZ = lz;
    r.lightR = r.lightG = r.lightB = light;
    r.reflectR = r.reflectG = r.reflectB = reflect;
    r.brillianceR = r.brillianceG = r.brillianceB = brilliance;
    return r;
}

// The lighting formula in double precision, for comparison.
double Lit(double m, double b, double light, double reflect, double C)
{
    const double h = 1.0 / (b * b * (1 - m) * (1 - m) + 1);
    const double md = m >= 0.5 ? m : (m > 0 ? std::pow(2 * m, 1.5) / 2 : 0.0);
    const double d = light * C * md;
    const double s = h * light * reflect;
    return d + (1 - d) * s;
}

}  // namespace

TEST(Lighting, FlatNormalFacingTheLight)
{
    // N = (0, 0, 1), L = (0, 0, 1): m = 1, h = 1 for every brilliance.
    for (float b : {0.0f, 10.0f, 200.0f}) {
        const LayerRecord L = Light(0, 0, 1, 0.5f, 0.25f, b);
        float colour[3] = {0.2f, 0.4f, 0.8f};
        const float N[3] = {0, 0, 1};
        ShadeSphere(L, colour, N);
        for (int ch = 0; ch < 3; ++ch) {
            const float C = (ch == 0 ? 0.2f : ch == 1 ? 0.4f : 0.8f);
            EXPECT_FLOAT_EQ(colour[ch], 0.5f * C + (1 - 0.5f * C) * 0.5f * 0.25f);
        }
    }
}

TEST(Lighting, TiltedNormals)
{
    const LayerRecord L = Light(0, 0, 1, 0.9f, 0.5f, 3.0f);
    for (double angle : {0.3, 1.2, 1.5, 2.0, 2.8, 3.14159}) {
        const float N[3] = {static_cast<float>(std::sin(angle)), 0.0f, static_cast<float>(std::cos(angle))};
        const double m = (std::cos(angle) + 1) / 2;
        float colour[3] = {0.6f, 0.6f, 0.6f};
        ShadeSphere(L, colour, N);
        EXPECT_NEAR(colour[0], Lit(m, 3.0, 0.9, 0.5, 0.6), 1e-5) << angle;
        EXPECT_TRUE(std::isfinite(colour[0]));
    }
    // A light of more than unit length from behind: m < 0 gives no diffuse
    // light (not a NaN), only the highlight term.
    const LayerRecord back = Light(0, 0, 2, 1.0f, 1.0f, 2.0f);
    const float N[3] = {0, 0, -1};
    float colour[3] = {1, 1, 1};
    ShadeSphere(back, colour, N);
    EXPECT_FLOAT_EQ(colour[0], 1.0f / (4.0f * 2.25f + 1.0f));
}

TEST(Lighting, LightReliefSumsEveryLayer)
{
    Texture t = MakeTexture({Slot(SolidLayer(0, 0, 0)), Slot(SolidLayer(0, 0, 0)), Slot(SolidLayer(0, 0, 0))});
    t.layers[0].layer.rec = Light(0, 0, 1, 0.5f, 0.2f, 5.0f);
    t.layers[1].layer.rec = Light(1, 0, 0, 0.25f, 1.0f, 1.0f);
    t.layers[2].layer.rec = Light(0, 0, 1, 0.0f, 1.0f, 1.0f);  // a light of colour 0 adds nothing
    const float N[3] = {0.6f, 0.0f, 0.8f};
    float colour[3] = {0.5f, 0.5f, 0.5f};
    LightRelief(t, colour, N);
    const double want = Lit((0.8 + 1) / 2, 5, 0.5, 0.2, 0.5) + Lit((0.6 + 1) / 2, 1, 0.25, 1.0, 0.5);
    EXPECT_NEAR(colour[0], want, 2e-6);
    EXPECT_EQ(colour[0], colour[1]);
}

TEST(EvalTexture, ReliefLayersAreLitWithEveryLight)
{
    // A layer with relief (no relief pattern adds a perturbation here, so
    // the normal stays (0, 0, 1)) lit by its own and a hidden layer's light.
    Layer relief = SolidLayer(102, 102, 102);
    relief.rec.reliefIntensity = 1.0f;
    relief.rec.lightR = relief.rec.lightG = relief.rec.lightB = 0.5f;
    relief.rec.reflectR = relief.rec.reflectG = relief.rec.reflectB = 0.0f;
    Layer other = SolidLayer(255, 0, 0);
    other.rec.lightR = other.rec.lightG = other.rec.lightB = 0.25f;
    other.rec.reflectR = other.rec.reflectG = other.rec.reflectB = 0.0f;
    Texture t = MakeTexture({Slot(other), Slot(relief)});

    const float C = ByteColour(102);
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayCurrentLayer, 1), 0.5f * C + 0.25f * C, 0.75f * C, 0.75f * C, 1e-6f);
    // Without relief nothing is lit.
    t.layers[1].layer.rec.reliefIntensity = 0.0f;
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayCurrentLayer, 1), C, C, C);
    // displayMode 1 with current 0 evaluates no layer and lights nothing.
    t.layers[1].layer.rec.reliefIntensity = 1.0f;
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayLayersBelow, 0), 0, 0, 0);
    // A relief layer of an unknown blend mode is ignored, relief included.
    t.layers[1].blendMode = 9;
    ExpectColour(Eval(t, 0.5f, 0.5f, kDisplayCurrentLayer, 1), 0, 0, 0);
}

TEST(EvalTexture, ZeroNormalDoesNotStopTheEvaluation)
{
    // Transparency with k = 0 over a zero perturbation, Luminancy and
    // Chrominancy with a zero perturbation: the running normal is zero.
    // It stays zero (no NaN): m = 1/2, so every light gives the middle.
    for (int32_t mode : {kBlendTransparency, kBlendLuminancy, kBlendChrominancy}) {
        Layer relief = SolidLayer(255, 255, 255);
        relief.rec.reliefIntensity = 2.0f;
        relief.rec.lightDirX = 0.0f;
        relief.rec.lightDirY = 0.6f;
        relief.rec.lightDirZ = 0.8f;
        relief.rec.reflectR = relief.rec.reflectG = relief.rec.reflectB = 0.0f;
        Layer base = SolidLayer(255, 255, 255);
        base.rec.reflectR = base.rec.reflectG = base.rec.reflectB = 0.0f;
        Texture t = MakeTexture({Slot(base), Slot(relief, mode, 0.0f)});
        const auto c = Eval(t, 0.5f, 0.5f);
        for (float ch : c) {
            EXPECT_TRUE(std::isfinite(ch)) << mode;
        }
        // C after the blend: Transparency k = 0 shows the layer (1); the
        // other two give 0.  Lit by two lights of colour 1 with m = 0.5 and
        // no reflection: d = C / 2 per light.
        const float want = mode == kBlendTransparency ? 1.0f : 0.0f;
        EXPECT_NEAR(c[0], want, 1e-6) << mode;
    }
}

TEST(Lighting, NormaliseVector)
{
    float v[3] = {3, 0, 4};
    EXPECT_TRUE(NormaliseVector(v));
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[2], 0.8f);
    float zero[3] = {0, 0, 0};
    EXPECT_FALSE(NormaliseVector(zero));
    EXPECT_EQ(zero[0], 0.0f);
    float bad[3] = {kNaN, 1, 0};
    EXPECT_FALSE(NormaliseVector(bad));
    EXPECT_EQ(bad[1], 1.0f);
    float huge[3] = {std::numeric_limits<float>::infinity(), 0, 0};
    EXPECT_FALSE(NormaliseVector(huge));
}

TEST(Lighting, PrepareForRenderNormalisesLightDirections)
{
    Texture t = MakeTexture({Slot(SolidLayer(0, 0, 0)), Slot(SolidLayer(0, 0, 0))});
    t.layers[0].layer.rec.lightDirX = 1.0f;
    t.layers[0].layer.rec.lightDirY = 1.0f;
    t.layers[0].layer.rec.lightDirZ = 1.6f;
    t.layers[1].layer.rec.lightDirX = 0.0f;
    t.layers[1].layer.rec.lightDirY = 0.0f;
    t.layers[1].layer.rec.lightDirZ = 0.0f;
    PrepareForRender(t);
    const LayerRecord& a = t.layers[0].layer.rec;
    const float ax = a.lightDirX, ay = a.lightDirY, az = a.lightDirZ;
    EXPECT_NEAR(ax * ax + ay * ay + az * az, 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(az / ax, 1.6f);
    const LayerRecord& b = t.layers[1].layer.rec;
    EXPECT_EQ(+b.lightDirX, 0.0f);
    EXPECT_EQ(+b.lightDirY, 0.0f);
    EXPECT_EQ(+b.lightDirZ, 0.0f);
}
