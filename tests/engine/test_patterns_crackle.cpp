// The Crackle feature points: the nearest-two search, the per-context cache
// and its independence from the order of evaluation.
//
// The order tests compare against a literal port of a process-wide cache
// keyed only by the truncated cell of the point (the shape the patterns'
// cache must NOT have): evaluated pixel by pixel from scratch it agrees
// with the patterns, but evaluated in different orders it does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "engine/Crackle.h"
#include "engine/Patterns.h"
#include "engine/Render.h"
#include "engine/PatternsInternal.h"
#include "tests/engine/PatternTestUtil.h"

using namespace morvane;
using namespace morvane::test;

namespace {

class CrackleTest : public ::testing::Test {
protected:
    void SetUp() override { NoiseInit(); }
};

CrackleList ListOf(std::initializer_list<std::array<float, 3>> pts)
{
    CrackleList l;
    for (const auto& p : pts) {
        l.points[l.count][0] = p[0];
        l.points[l.count][1] = p[1];
        l.points[l.count][2] = p[2];
        ++l.count;
    }
    return l;
}

// ---------------------------------------------------------------------------
// A literal port of the cache the patterns must not have: one list per
// pattern for the whole process, keyed by the truncated cell only.

struct LiteralList {
    int key = -1;  // no cell takes it
    CrackleList list;
};

int Perm(int i) { return static_cast<uint16_t>(NoisePerm[i]); }

void LiteralPoints(LiteralList& cache, float x, float y, float z, float amplitude, int16_t octaves, float lac,
                   float omega)
{
    const int k = Perm(Perm(Perm(static_cast<int>(x) & 0xFFF) ^ (static_cast<int>(y) & 0xFFF)) ^
                       (static_cast<int>(z) & 0xFFF));
    if (k == cache.key) return;
    static Lcg rng(0);  // the one generator, reseeded per cell
    CrackleList& l = cache.list;
    l.count = 0;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dz = -2; dz <= 2; ++dz) {
                if ((std::abs(dx) > 1.5) + (std::abs(dy) > 1.5) + (std::abs(dz) > 1.5) > 1) continue;
                const float gx = std::floor(x + static_cast<float>(dx) - 0.00001f);
                const float gy = std::floor(y + static_cast<float>(dy) - 0.00001f);
                const float gz = std::floor(z + static_cast<float>(dz) - 0.00001f);
                const int ix = static_cast<int>(gx), iy = static_cast<int>(gy), iz = static_cast<int>(gz);
                rng.Seed(Perm(Perm(Perm(ix & 0xFFF) ^ (iy & 0xFFF)) ^ (iz & 0xFFF)));
                const float s = Fbm(gx, gy, gz, octaves, lac, omega) * amplitude;
                const int r1 = rng.Next() & 0x7FFF, r2 = rng.Next() & 0x7FFF, r3 = rng.Next() & 0x7FFF;
                l.points[l.count][0] = gx + static_cast<float>(r1) * s / 32767.0f;
                l.points[l.count][1] = gy + static_cast<float>(r2) * s / 32767.0f;
                l.points[l.count][2] = gz + static_cast<float>(r3) * s / 32767.0f;
                ++l.count;
            }
        }
    }
    cache.key = k;
}

LiteralList g_literalColour, g_literalRelief;

void LiteralCrackleColour(float x, float y, float z, const Layer& layer, float out[3])
{
    const LayerRecord& r = layer.rec;
    LiteralPoints(g_literalColour, x, y, z, r.turbulence, r.detail, r.lacunarity, r.omega);
    const CrackleNearest n = FindNearestTwo(g_literalColour.list, x, y, z);
    float v = std::sqrt(n.d2) - std::sqrt(n.d1);
    if (v >= 1.0f) v = 1.0f;
    float c[3];
    GradientLookup(c, *layer.gradient, v);
    for (int i = 0; i < 3; ++i) out[i] += c[i];
}

void LiteralCrackleRelief(float x, float y, float z, const Layer& layer, float out[3])
{
    const LayerRecord& r = layer.rec;
    LiteralPoints(g_literalRelief, x, y, z, r.phase, static_cast<int16_t>(r.reliefDetail), r.lacunarity, r.omega);
    const CrackleList& l = g_literalRelief.list;
    const CrackleNearest n = FindNearestTwo(l, x, y, z);
    float v = std::sqrt(n.d2) - std::sqrt(n.d1);
    if (v > 1.0f) v = 1.0f;
    const float s = v * r.reliefIntensity;
    const float* p1 = l.points[n.first];
    const float* p2 = l.points[n.second];
    out[0] += s * ((p1[0] - x) + (p2[0] - x));
    out[1] += s * ((p1[1] - y) + (p2[1] - y));
    out[2] += std::fabs(s * ((p1[2] - z) + (p2[2] - z)));
}

// ---------------------------------------------------------------------------
// The scene: two Crackle layers with different turbulence and relief phase,
// both turned by 0.125 turns (so that many coordinates are negative), and
// sample points just above whole numbers.  Both layers see the same point,
// the case where a cache keyed by the cell alone hands the second layer the
// first one's points.

constexpr int kW = 48, kH = 36;
constexpr int kValuesPerPixel = 12;

struct Scene {
    Layer a, b;
    float cosA, sinA;

    Scene()
    {
        a = BasicLayer(14, 14);
        a.rec.turbulence = 0.3f;
        a.rec.detail = 4;
        a.rec.phase = 0.8f;
        b = BasicLayer(14, 14);
        b.rec.turbulence = 1.7f;
        b.rec.detail = 5;
        b.rec.phase = 1.9f;
        const float angle = 0.125f * 6.28318530718f;
        cosA = std::cos(angle);
        sinA = std::sin(angle);
    }

    // The pattern point of a pixel: the turned sample point, moved just
    // above the whole numbers it lands near.
    void Point(int i, int j, float p[3]) const
    {
        const float sx = static_cast<float>(i - kW / 2) * 0.25f;
        const float sy = static_cast<float>(j - kH / 2) * 0.25f;
        p[0] = sx * cosA - sy * sinA;
        p[1] = sx * sinA + sy * cosA;
        p[2] = 1.0f + 3e-6f;
        for (int c = 0; c < 2; ++c) {
            const float whole = std::round(p[c]);
            if (std::fabs(p[c] - whole) < 0.1f) p[c] = whole + 3e-6f;
        }
    }
};

using PixelFn = std::function<void(const Scene&, int i, int j, float values[kValuesPerPixel], EvalContext&)>;

void OurPixel(const Scene& s, int i, int j, float v[kValuesPerPixel], EvalContext& ctx)
{
    float pa[3], pb[3];
    s.Point(i, j, pa);
    s.Point(i, j, pb);
    std::fill(v, v + kValuesPerPixel, 0.0f);
    ColourPatternFor(14)(pa[0], pa[1], pa[2], s.a, v + 0, ctx);
    ReliefPatternFor(14)(pa[0], pa[1], pa[2], s.a, v + 3, ctx);
    ColourPatternFor(14)(pb[0], pb[1], pb[2], s.b, v + 6, ctx);
    ReliefPatternFor(14)(pb[0], pb[1], pb[2], s.b, v + 9, ctx);
}

void LiteralPixel(const Scene& s, int i, int j, float v[kValuesPerPixel], EvalContext&)
{
    float pa[3], pb[3];
    s.Point(i, j, pa);
    s.Point(i, j, pb);
    std::fill(v, v + kValuesPerPixel, 0.0f);
    LiteralCrackleColour(pa[0], pa[1], pa[2], s.a, v + 0);
    LiteralCrackleRelief(pa[0], pa[1], pa[2], s.a, v + 3);
    LiteralCrackleColour(pb[0], pb[1], pb[2], s.b, v + 6);
    LiteralCrackleRelief(pb[0], pb[1], pb[2], s.b, v + 9);
}

void FreshLiteralPixel(const Scene& s, int i, int j, float v[kValuesPerPixel], EvalContext& ctx)
{
    // Forget the lists before each pattern: every list built for its point.
    float pa[3], pb[3];
    s.Point(i, j, pa);
    s.Point(i, j, pb);
    std::fill(v, v + kValuesPerPixel, 0.0f);
    g_literalColour.key = g_literalRelief.key = -1;
    LiteralCrackleColour(pa[0], pa[1], pa[2], s.a, v + 0);
    LiteralCrackleRelief(pa[0], pa[1], pa[2], s.a, v + 3);
    g_literalColour.key = g_literalRelief.key = -1;
    LiteralCrackleColour(pb[0], pb[1], pb[2], s.b, v + 6);
    LiteralCrackleRelief(pb[0], pb[1], pb[2], s.b, v + 9);
    (void)ctx;
}

// Evaluates the pixels in the given order; the image as bytes.
std::vector<uint8_t> Evaluate(const PixelFn& fn, const std::vector<int>& order)
{
    const Scene scene;
    std::vector<float> values(static_cast<size_t>(kW) * kH * kValuesPerPixel);
    EvalContext ctx;
    for (int p : order) fn(scene, p % kW, p / kW, &values[static_cast<size_t>(p) * kValuesPerPixel], ctx);
    std::vector<uint8_t> bytes(values.size() * sizeof(float));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

std::vector<uint8_t> EvaluateThreaded(const PixelFn& fn, int threads)
{
    const Scene scene;
    std::vector<float> values(static_cast<size_t>(kW) * kH * kValuesPerPixel);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            EvalContext ctx;  // one per thread
            // Every thread walks its share backwards, a row at a time.
            for (int p = kW * kH - 1 - t; p >= 0; p -= threads) {
                fn(scene, p % kW, p / kW, &values[static_cast<size_t>(p) * kValuesPerPixel], ctx);
            }
        });
    }
    for (auto& th : pool) th.join();
    std::vector<uint8_t> bytes(values.size() * sizeof(float));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

struct Orders {
    std::vector<int> raster, reversed, shuffled;
    Orders()
    {
        for (int p = 0; p < kW * kH; ++p) raster.push_back(p);
        reversed.assign(raster.rbegin(), raster.rend());
        shuffled = raster;
        std::mt19937 gen(12345);
        std::shuffle(shuffled.begin(), shuffled.end(), gen);
    }
};

}  // namespace

TEST_F(CrackleTest, NearestTwoAreTheTrueSmallestDistances)
{
    // Squared distances 9, 25, 4: a scan that does not move the old
    // nearest to second would report 25 as the second.
    const CrackleList l = ListOf({{3, 0, 0}, {5, 0, 0}, {2, 0, 0}});
    const CrackleNearest n = FindNearestTwo(l, 0, 0, 0);
    EXPECT_EQ(n.first, 2);
    EXPECT_EQ(n.second, 0);
    EXPECT_FLOAT_EQ(n.d1, 4.0f);
    EXPECT_FLOAT_EQ(n.d2, 9.0f);
    // The seed pair in the wrong order is put right.
    const CrackleNearest m = FindNearestTwo(ListOf({{5, 0, 0}, {1, 0, 0}, {7, 0, 0}}), 0, 0, 0);
    EXPECT_EQ(m.first, 1);
    EXPECT_EQ(m.second, 0);
    // Equal distances: the earlier point stays nearest, the later is second.
    const CrackleNearest e = FindNearestTwo(ListOf({{5, 0, 0}, {0, 2, 0}, {2, 0, 0}}), 0, 0, 0);
    EXPECT_EQ(e.first, 1);
    EXPECT_EQ(e.second, 2);
    EXPECT_EQ(e.d1, e.d2);
}

TEST_F(CrackleTest, ListHasEightyOnePointsAroundTheCell)
{
    CrackleKey key;
    CrackleCells(0.5f, 0.5f, 0.5f, key);
    key.amplitude = 0.0f;  // every point on its cell corner
    key.octaves = 3;
    key.lacunarity = 2.0f;
    key.omega = 0.5f;
    CrackleList list;
    BuildCrackleList(key, list);
    ASSERT_EQ(list.count, kCrackleCells);
    int far = 0;
    for (int i = 0; i < list.count; ++i) {
        int twos = 0;
        for (int c = 0; c < 3; ++c) {
            const float g = list.points[i][c];
            EXPECT_TRUE(g >= -2.0f && g <= 2.0f && g == std::floor(g));
            twos += std::fabs(g) == 2.0f;
        }
        EXPECT_LE(twos, 1);
        far += twos;
    }
    EXPECT_EQ(far, 54);
    // A point just above a whole number belongs to the cell below.
    CrackleCells(3.0f + 3e-6f, 0.0f, -1.0f, key);
    EXPECT_EQ(key.cellX[2], 2.0f);
    EXPECT_EQ(key.cellZ[2], -2.0f);
}

TEST_F(CrackleTest, CacheHitsOnlyForTheSameInputs)
{
    EvalContext ctx;
    CrackleCache& cache = ctx.crackle;
    cache.Points(0.3f, 0.4f, 0.5f, 1.0f, 3, 2.0f, 0.5f);
    EXPECT_EQ(cache.Builds(), 1u);
    cache.Points(0.7f, 0.9f, 0.1f, 1.0f, 3, 2.0f, 0.5f);  // the same cells
    EXPECT_EQ(cache.Builds(), 1u);
    cache.Points(0.7f, 0.9f, 0.1f, 1.1f, 3, 2.0f, 0.5f);  // another amplitude
    EXPECT_EQ(cache.Builds(), 2u);
    cache.Points(0.7f, 0.9f, 0.1f, 1.0f, 4, 2.0f, 0.5f);  // other octaves
    cache.Points(0.7f, 0.9f, 0.1f, 1.0f, 3, 2.5f, 0.5f);
    cache.Points(0.7f, 0.9f, 0.1f, 1.0f, 3, 2.0f, 0.6f);
    EXPECT_EQ(cache.Builds(), 5u);
    // Cells -1 and 0 (the same truncated cell 0) have lists of their own.
    const CrackleList neg = cache.Points(-0.5f, 0.4f, 0.5f, 1.0f, 3, 2.0f, 0.5f);
    const CrackleList pos = cache.Points(0.5f, 0.4f, 0.5f, 1.0f, 3, 2.0f, 0.5f);
    EXPECT_NE(std::memcmp(neg.points, pos.points, sizeof neg.points), 0);
}

TEST_F(CrackleTest, CachedListsEqualFreshBuilds)
{
    EvalContext shared;
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> coord(-6.0f, 6.0f);
    const float amplitudes[] = {0.3f, 1.7f};
    for (int i = 0; i < 600; ++i) {
        const float x = coord(gen), y = coord(gen), z = coord(gen);
        const float a = amplitudes[i % 2];
        EvalContext fresh;
        const CrackleList& got = shared.crackle.Points(x, y, z, a, 4, 2.0f, 0.5f);
        const CrackleList& want = fresh.crackle.Points(x, y, z, a, 4, 2.0f, 0.5f);
        ASSERT_EQ(std::memcmp(got.points, want.points, sizeof got.points), 0) << i;
    }
}

TEST_F(CrackleTest, TwoLayersDoNotShareFeaturePoints)
{
    EvalContext ctx;
    Layer a = BasicLayer(14);
    a.rec.turbulence = 0.3f;
    Layer b = a;
    b.rec.turbulence = 1.7f;
    int differ = 0;
    for (int i = 0; i < 50; ++i) {
        const float x = 0.1f + i * 0.013f;
        const Rgb ca = RunColour(a, x, 0.4f, 0.5f, ctx);
        const Rgb cb = RunColour(b, x, 0.4f, 0.5f, ctx);
        EvalContext fresh;
        EXPECT_EQ(cb.c[0], RunColour(b, x, 0.4f, 0.5f, fresh).c[0]);
        differ += ca.c[0] != cb.c[0];
    }
    EXPECT_GT(differ, 25);
}

TEST_F(CrackleTest, EvaluationOrderDoesNotChangeAnyPixel)
{
    const Orders o;
    const auto raster = Evaluate(OurPixel, o.raster);
    EXPECT_EQ(raster, Evaluate(OurPixel, o.reversed));
    EXPECT_EQ(raster, Evaluate(OurPixel, o.shuffled));
    EXPECT_EQ(raster, EvaluateThreaded(OurPixel, 8));
    // And each pixel is what a list built for its own point gives.
    EXPECT_EQ(raster, Evaluate(FreshLiteralPixel, o.raster));
}

TEST_F(CrackleTest, ACacheKeyedByTheTruncatedCellFailsTheOrderTest)
{
    const Orders o;
    g_literalColour.key = g_literalRelief.key = -1;
    const auto raster = Evaluate(LiteralPixel, o.raster);
    g_literalColour.key = g_literalRelief.key = -1;
    const auto reversed = Evaluate(LiteralPixel, o.reversed);
    g_literalColour.key = g_literalRelief.key = -1;
    const auto shuffled = Evaluate(LiteralPixel, o.shuffled);
    EXPECT_NE(raster, reversed);
    EXPECT_NE(raster, shuffled);
    EXPECT_NE(raster, Evaluate(FreshLiteralPixel, o.raster));
}

// The same through the renderer: two Crackle layers (colour and relief)
// turned by 0.125 turns give the same bytes on one thread, on eight, and
// with the rows handed out backwards.
TEST_F(CrackleTest, RenderedCrackleTextureIsTheSameInAnyOrder)
{
    Texture t;
    for (float turbulence : {0.3f, 1.7f}) {
        LayerSlot slot;
        slot.layer = BasicLayer(14, 14);
        slot.layer.rec.turbulence = turbulence;
        slot.layer.rec.phase = turbulence;
        slot.layer.rec.scaleX = 9.0f;
        slot.layer.rec.scaleY = 7.0f;
        slot.layer.rec.reliefScaleX = 9.0f;
        slot.layer.rec.reliefScaleY = 7.0f;
        slot.layer.rec.lightDirX = 0.6f;
        slot.layer.rec.lightDirY = 0.0f;
        slot.layer.rec.lightDirZ = 0.8f;
        slot.orientation = 0.125f;
        slot.reliefOrientation = 0.125f;
        slot.blendMode = 1;
        slot.blendCoef = 0.5f;
        t.layers.push_back(slot);
    }
    PrepareForRender(t);
    RenderOptions one;
    one.threads = 1;
    RenderOptions eight;
    eight.threads = 8;
    RenderOptions backwards = eight;
    backwards.reverseRowOrder = true;
    const auto a = RenderImage(t, 90, 70, 0, 0, true, one);
    EXPECT_EQ(a, RenderImage(t, 90, 70, 0, 0, true, eight));
    EXPECT_EQ(a, RenderImage(t, 90, 70, 0, 0, true, backwards));
    // Rendering another layer first changes nothing either.
    Texture other = t;
    other.layers[0].layer.rec.turbulence = 0.9f;
    RenderImage(other, 90, 70, 0, 0, true, one);
    EXPECT_EQ(a, RenderImage(t, 90, 70, 0, 0, true, one));
}
