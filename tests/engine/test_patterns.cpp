// The colour patterns: shared schemes, dispatch, names and the edge cases
// of the single patterns.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/PatternNames.h"
#include "engine/Patterns.h"
#include "engine/PatternsInternal.h"
#include "tests/engine/PatternTestUtil.h"

using namespace morvane;
using namespace morvane::patterns;
using namespace morvane::test;

namespace {

class PatternTest : public PatternFixture {};

void ExpectStartColour(const Rgb& got, const Gradient& g, int entry)
{
    const GradientEntry e = g.entries[entry];
    ExpectRgb(got, e.startR, e.startG, e.startB);
}

Rgb Lookup(const Gradient& g, float v)
{
    Rgb c;
    GradientLookup(c.c, g, v);
    return c;
}

}  // namespace

// ---------------------------------------------------------------------------
// Schemes

TEST(PatternSchemes, CellIndexTakesNegativeWholeNumbersOneLower)
{
    EXPECT_EQ(CellIndex(0.0f), 0);
    EXPECT_EQ(CellIndex(2.7f), 2);
    EXPECT_EQ(CellIndex(-0.5f), -1);
    EXPECT_EQ(CellIndex(-1.0f), -2);
    EXPECT_EQ(CellIndex(-2.5f), -3);
    EXPECT_EQ(CellIndex(std::nanf("")), -1);
    EXPECT_TRUE(CellSumIsOdd(CellIndex(-1.0f), 1, 0));
    // Far beyond int, still a defined parity.
    EXPECT_FALSE(CellSumIsOdd(CellIndex(1e30f), CellIndex(1e30f), 0));
    EXPECT_TRUE(CellSumIsOdd(CellIndex(3e38f), CellIndex(-3e38f), 0));
}

TEST(PatternSchemes, MirroredRepeatRunsUpOnEvenAndDownOnOddIntervals)
{
    EXPECT_FLOAT_EQ(MirroredRepeat(0.25f), 0.25f);
    EXPECT_FLOAT_EQ(MirroredRepeat(1.25f), 0.75f);
    EXPECT_FLOAT_EQ(MirroredRepeat(-1.25f), 0.75f);
    EXPECT_FLOAT_EQ(MirroredRepeat(2.25f), 0.25f);
    EXPECT_FLOAT_EQ(MirroredRepeat(1.0f), 0.0f);  // odd whole number
    EXPECT_FLOAT_EQ(MirroredRepeat(2.0f), 0.0f);
    EXPECT_FLOAT_EQ(MirroredRepeat(1e20f), 0.0f);
    EXPECT_FLOAT_EQ(MirroredRepeat(INFINITY), 0.0f);
    EXPECT_FLOAT_EQ(MirroredRepeat(std::nanf("")), 0.0f);
}

TEST(PatternSchemes, FractionalPartsFloorAndTrunc)
{
    EXPECT_FLOAT_EQ(FracFloor(-0.25f), 0.75f);
    EXPECT_FLOAT_EQ(FracTrunc(-0.25f), -0.25f);
    EXPECT_FLOAT_EQ(FracFloor(2.5f), 0.5f);
    EXPECT_FLOAT_EQ(FracTrunc(2.5f), 0.5f);
}

TEST(PatternSchemes, QuiltCellIsTheScaledBezier)
{
    EXPECT_FLOAT_EQ(QuiltCell(0.0f, 0.3f, 0.7f), 0.0f);
    EXPECT_FLOAT_EQ(QuiltCell(1.0f, 0.3f, 0.7f), static_cast<float>(1.154700538));
    // t = 0.5: (3/8 a + 3/8 b + 1/8) x 1.1547
    EXPECT_NEAR(QuiltCell(0.5f, 0.2f, 0.4f), (0.375 * 0.2 + 0.375 * 0.4 + 0.125) * 1.154700538, 1e-6);
}

TEST(PatternSchemes, LatticeIndexIsTheLowTwelveBitsAndRepeats)
{
    for (int i = -10000; i <= 10000; i += 7) {
        EXPECT_EQ(LatticeIndex(static_cast<float>(i)), static_cast<uint32_t>(i) & 0xFFFu) << i;
    }
    EXPECT_EQ(LatticeIndex(4096.0f * 1e6f), 0u);
    EXPECT_EQ(LatticeIndex(std::ldexp(1.0f, 40) + 4096.0f), LatticeIndex(4096.0f));
    EXPECT_EQ(LatticeIndex(INFINITY), 0u);
    EXPECT_EQ(LatticeIndex(std::nanf("")), 0u);
}

// ---------------------------------------------------------------------------
// Dispatch and names

TEST(PatternDispatch, EveryNumberHasItsPatternExceptImage)
{
    for (int m = 0; m < kMaterialCount; ++m) {
        if (m == 24) EXPECT_EQ(ColourPatternFor(m), nullptr);
        else EXPECT_NE(ColourPatternFor(m), nullptr) << m;
    }
    for (int r = 0; r < kReliefCount; ++r) EXPECT_NE(ReliefPatternFor(r), nullptr) << r;
    for (int n : {-1, -128, 39, 40, 41, 127}) EXPECT_EQ(ColourPatternFor(n), nullptr);
    for (int n : {-1, 15, 127}) EXPECT_EQ(ReliefPatternFor(n), nullptr);
}

TEST(PatternNames, ListsOfTheCommandPanel)
{
    EXPECT_STREQ(MaterialName(0), "Sky");
    EXPECT_STREQ(MaterialName(5), "Checker Texture");
    EXPECT_STREQ(MaterialName(18), "Cyclone1");
    EXPECT_STREQ(MaterialName(24), "Image");
    EXPECT_STREQ(MaterialName(35), "Swirled Image");
    EXPECT_STREQ(MaterialName(38), "Radial Gradient");
    EXPECT_STREQ(MaterialName(39), "");
    EXPECT_STREQ(ReliefName(4), "Inverse Dents");
    EXPECT_STREQ(ReliefName(13), "TerrainBump");
    EXPECT_STREQ(ReliefName(14), "Crackle");
    EXPECT_STREQ(ReliefName(-1), "");
    for (const char* n : kMaterialNames) EXPECT_GT(std::strlen(n), 0u);
    EXPECT_TRUE(IsPictureMaterial(24));
    EXPECT_TRUE(IsPictureMaterial(35));
    EXPECT_FALSE(IsPictureMaterial(36));
}

// Every pattern adds to what out holds and leaves the layer untouched.
TEST_F(PatternTest, PatternsAddToOutAndReadTheLayerOnly)
{
    // `run` gives the pattern's value on zeros; `f` must add that value.
    const auto check = [&](PatternFn f, const Layer& l, auto run, int number) {
        const Layer before = l;
        for (float x : {-1.3f, 0.37f, 2.71f}) {
            const Rgb c = run(l, x, 0.61f * x + 0.2f, 0.3f, ctx);
            float out[3] = {1.0f, 2.0f, 3.0f};
            f(x, 0.61f * x + 0.2f, 0.3f, l, out, ctx);
            EXPECT_EQ(out[0], 1.0f + c.c[0]) << number;
            EXPECT_EQ(out[1], 2.0f + c.c[1]) << number;
            EXPECT_EQ(out[2], 3.0f + c.c[2]) << number;
        }
        EXPECT_EQ(std::memcmp(&before.rec, &l.rec, sizeof l.rec), 0) << number;
    };
    for (int m = 0; m < kMaterialCount; ++m) {
        if (!ColourPatternFor(m)) continue;
        Layer l = BasicLayer(m);
        SetTestPicture(l, 5, 4);
        l.rec.scaleX = 1.0f;
        check(ColourPatternFor(m), l, RunColour, m);
    }
    for (int r = 0; r < kReliefCount; ++r) check(ReliefPatternFor(r), BasicLayer(1, r), RunRelief, r);
}

TEST_F(PatternTest, PrepareWritesMortarForBrickLayersOnly)
{
    Layer brick = BasicLayer(3);
    PrepareLayerPatterns(brick);
    EXPECT_EQ(+brick.rec.mortar, 0.05f);

    Layer brickRelief = BasicLayer(1, 6);
    PrepareLayerPatterns(brickRelief);
    EXPECT_EQ(+brickRelief.rec.mortar, 0.05f);

    Layer flat = BasicLayer(1, 6);
    flat.rec.reliefIntensity = 0.0f;  // the relief is never evaluated
    PrepareLayerPatterns(flat);
    EXPECT_EQ(+flat.rec.mortar, 0.0f);

    Layer marble = BasicLayer(1, 0);
    marble.rec.mortar = 0.3f;
    PrepareLayerPatterns(marble);
    EXPECT_EQ(+marble.rec.mortar, 0.3f);
}

// ---------------------------------------------------------------------------
// Noise colour patterns

TEST_F(PatternTest, SkyWithoutTurbulenceBandsPlainNoise)
{
    Layer l = BasicLayer(0);
    l.rec.turbulence = 0.0f;
    l.gradient.reset();
    int seen[4] = {};
    for (int i = 0; i < 2000; ++i) {
        const float x = i * 0.0731f, y = i * 0.0137f, z = 0.5f;
        const float n = Noise3(x, y, z);
        const Rgb c = RunColour(l, x, y, z, ctx);
        if (n < 0.4f) ExpectRgb(c, 1, 1, 1), ++seen[0];
        else if (n < 0.6f) ExpectRgb(c, 0, 1, 0), ++seen[1];
        else if (n < 0.8f) ExpectRgb(c, 0, 0, 1), ++seen[2];
        else ExpectRgb(c, 1, 0, 0), ++seen[3];
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

TEST_F(PatternTest, MarbleBuiltInIsBlackFromPointNine)
{
    Layer l = BasicLayer(1);
    l.rec.turbulence = 0.0f;
    l.gradient.reset();
    ExpectRgb(RunColour(l, 0.45f, 0.3f, 0.1f, ctx), 0, 0, 0);      // v = 0.9
    ExpectRgb(RunColour(l, 0.25f, 0.3f, 0.1f, ctx), 0.9f, 0.4f, 0.4f);  // v = 0.5
    l.gradient = ProbeGradient();
    EXPECT_NEAR(RunColour(l, 0.25f, 0.3f, 0.1f, ctx).c[0], 0.5f, 1e-6);
}

TEST_F(PatternTest, CheckerCellParityWithNegativeWholeNumbers)
{
    Layer l = BasicLayer(4);
    l.rec.turbulence = 0.0f;
    l.gradient = DistinctGradient();
    const Gradient& g = *l.gradient;
    // Shifted x = -1 is cell -2 (even with y, z in cell 0): entry 23.
    ExpectStartColour(RunColour(l, -1.001f, 0.0f, 0.0f, ctx), g, 23);
    // Shifted x = -0.499 is cell -1: odd, entry 0.
    ExpectStartColour(RunColour(l, -0.5f, 0.0f, 0.0f, ctx), g, 0);
    ExpectStartColour(RunColour(l, 0.5f, 1.5f, 0.0f, ctx), g, 0);
    ExpectStartColour(RunColour(l, 0.5f, 1.5f, 1.5f, ctx), g, 23);
    // Without a gradient nothing is added.
    l.gradient.reset();
    ExpectRgb(RunColour(l, 0.5f, 1.5f, 0.0f, ctx), 0, 0, 0);
}

TEST_F(PatternTest, CheckerTextureUsesOneHalfOfTheGradientPerCell)
{
    Layer l = BasicLayer(5);
    l.rec.turbulence = 0.0f;  // Marble value = TriangleWave(shifted x)
    l.gradient = DistinctGradient();
    const Gradient& g = *l.gradient;
    // Odd cell (y in cell 1): the lower half, 0..0.5.
    const Rgb lowOdd = RunColour(l, 0.199f, 1.2f, 0.2f, ctx);  // v = 0.4
    const Rgb want = Lookup(g, TriangleWave(0.199f + 0.001f));
    ExpectRgb(lowOdd, want.c[0], want.c[1], want.c[2]);
    ExpectRgb(RunColour(l, 0.349f, 1.2f, 0.2f, ctx), 0, 0, 0);  // v = 0.7: black
    // Even cell: the upper half.
    const Rgb highEven = RunColour(l, 0.349f, 0.2f, 0.2f, ctx);
    const Rgb want2 = Lookup(g, TriangleWave(0.349f + 0.001f));
    ExpectRgb(highEven, want2.c[0], want2.c[1], want2.c[2]);
    ExpectRgb(RunColour(l, 0.199f, 0.2f, 0.2f, ctx), 0, 0, 0);
    l.gradient.reset();
    ExpectRgb(RunColour(l, 0.199f, 1.2f, 0.2f, ctx), 0, 0, 0);
}

TEST_F(PatternTest, BrickJointsAndBricks)
{
    Layer l = BasicLayer(3);
    l.gradient = DistinctGradient();
    const Gradient& g = *l.gradient;
    // 0 <= fy < 0.05: always mortar.
    ExpectStartColour(RunColour(l, 0.3f, 2.02f, 0.5f, ctx), g, 0);
    ExpectStartColour(RunColour(l, 0.3f, -1.02f, 0.5f, ctx), g, 0);  // |fmod| = 0.02
    // Vertical joints: 0 < fx < 0.04 on even rows at x, on odd rows at
    // x + 0.5.
    ExpectStartColour(RunColour(l, 0.02f, 0.5f, 0.5f, ctx), g, 0);
    ExpectStartColour(RunColour(l, 0.52f, 1.5f, 0.5f, ctx), g, 0);
    ExpectStartColour(RunColour(l, 0.52f, -0.5f, 0.5f, ctx), g, 0);  // row -1 is odd

    // Inside a brick: Granite at ten times the point with the colours of
    // entries 1..23 on the positions of entries 0..22.
    Gradient shifted = g;
    for (int j = 0; j < 23; ++j) {
        GradientEntry e = g.entries[j + 1];
        e.start = g.entries[j].start;
        e.end = g.entries[j].end;
        shifted.entries[j] = e;
    }
    const float pts[2][3] = {{0.52f, 0.5f, 0.5f}, {0.02f, 1.5f, 0.5f}};
    for (const auto& p : pts) {
        Rgb want;
        GraniteColour(10 * p[0], 10 * p[1], 10 * p[2], l.rec.turbulence, FbmOf(l.rec), &shifted, want.c);
        const Rgb got = RunColour(l, p[0], p[1], p[2], ctx);
        ExpectRgb(got, want.c[0], want.c[1], want.c[2]);
    }
    l.gradient.reset();
    ExpectRgb(RunColour(l, 0.3f, 2.02f, 0.5f, ctx), 0, 0, 0);
}

TEST_F(PatternTest, FlameFolds)
{
    Layer l = BasicLayer(9);
    l.rec.turbulence = 0.0f;
    l.rec.foldX = 0.0f;
    l.rec.foldY = 0.0f;
    l.rec.foldZ = 0.0f;
    const Rgb zero = Lookup(*l.gradient, 0.0f);
    const Rgb a = RunColour(l, 1.25f, 0.3f, 0.0f, ctx);
    ExpectRgb(a, zero.c[0], zero.c[1], zero.c[2]);
    l.rec.foldX = 0.5f;
    EXPECT_NEAR(RunColour(l, 1.25f, 0.3f, 0.0f, ctx).c[0], 0.75f, 1e-6);
    l.rec.foldY = 0.5f;  // 0.75 + 0.3, clamped to 1
    EXPECT_NEAR(RunColour(l, 1.25f, 0.3f, 0.0f, ctx).c[0], 1.0f, 1e-6);
    // foldZ without turbulence keeps the sum (the factor is 1).
    l.rec.foldY = 0.0f;
    l.rec.foldZ = 0.5f;
    EXPECT_NEAR(RunColour(l, 1.25f, 0.3f, 0.0f, ctx).c[0], 0.75f, 1e-6);
    l.gradient.reset();
    ExpectRgb(RunColour(l, 1.25f, 0.3f, 0.0f, ctx), 0, 0, 0);
}

TEST_F(PatternTest, StainsAlternatesInTheXzPlaneWhateverY)
{
    Layer l = BasicLayer(13);
    l.rec.turbulence = 0.0f;
    l.gradient.reset();
    for (float y : {-3.0f, 0.2f, 7.9f}) {
        ExpectRgb(RunColour(l, 0.5f, y, 0.5f, ctx), 0, 1, 0);   // cells 0 + 0: even
        ExpectRgb(RunColour(l, 1.5f, y, 0.5f, ctx), 1, 1, 1);   // 1 + 0: odd
        ExpectRgb(RunColour(l, -0.5f, y, 0.5f, ctx), 1, 1, 1);  // -1 + 0
        ExpectRgb(RunColour(l, -0.5f, y, -0.5f, ctx), 0, 1, 0);
    }
    l.gradient = ProbeGradient();
    EXPECT_NEAR(RunColour(l, 1.5f, 0.0f, 0.5f, ctx).c[0], 0.1f, 1e-6);
    EXPECT_NEAR(RunColour(l, 0.5f, 0.0f, 0.5f, ctx).c[0], 0.9f, 1e-6);
}

TEST_F(PatternTest, AgateMiddleBandAtExactlyOneHalf)
{
    Layer l = BasicLayer(7);
    l.gradient.reset();
    l.rec.detail = 0;            // fBm 0: the table sine of 0
    l.rec.turbulence = 0.99f;    // exponent about 1
    ExpectRgb(RunColour(l, 0.3f, 0.7f, 0.0f, ctx), 0.9f, 0.7f, 0.5f);
}

TEST_F(PatternTest, GraniteAndSmokeUseOneTermUpToDetailOne)
{
    for (int m : {8, 12}) {
        Layer l = BasicLayer(m);
        l.rec.detail = 0;
        const Rgb d0 = RunColour(l, 0.3f, 0.7f, 0.2f, ctx);
        l.rec.detail = 1;
        const Rgb d1 = RunColour(l, 0.3f, 0.7f, 0.2f, ctx);
        l.rec.detail = 2;
        const Rgb d2 = RunColour(l, 0.3f, 0.7f, 0.2f, ctx);
        EXPECT_EQ(d0.c[0], d1.c[0]) << m;
        EXPECT_NE(d1.c[0], d2.c[0]) << m;
    }
}

TEST_F(PatternTest, BuiltInColoursWithoutGradient)
{
    Layer l = BasicLayer(6);
    l.gradient.reset();
    const float n = Noise3(0.3f, 0.4f, 0.5f);
    ExpectRgb(RunColour(l, 0.3f, 0.4f, 0.5f, ctx), n, n, n);
    // Wood takes one of its two colours.
    l = BasicLayer(2);
    l.gradient.reset();
    const Rgb w = RunColour(l, 0.3f, 0.4f, 0.5f, ctx);
    EXPECT_TRUE((w.c[0] == 0.4f && w.c[1] == 0.133f) || (w.c[0] == 0.666f && w.c[1] == 0.312f));
}

// ---------------------------------------------------------------------------
// Cellular, escape-time, wave and gradient patterns

TEST_F(PatternTest, GradientOnlyPatternsAddNothingWithoutGradient)
{
    for (int m : {14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 36, 37, 38}) {
        Layer l = BasicLayer(m);
        l.gradient.reset();
        ExpectRgb(RunColour(l, 0.3f, 0.4f, 0.5f, ctx), 0, 0, 0);
    }
}

TEST_F(PatternTest, MandelbrotCounts)
{
    Layer l = BasicLayer(15);
    l.rec.detail = 10;
    EXPECT_NEAR(RunColour(l, 0.0f, 0.0f, 0.0f, ctx).c[0], 1.0f, 1e-6);  // never escapes
    EXPECT_NEAR(RunColour(l, 3.0f, 3.0f, 0.0f, ctx).c[0], 0.0f, 1e-6);
    // c = 1: 2, 5 -> one iteration counted.
    EXPECT_NEAR(RunColour(l, 1.0f, 0.0f, 0.0f, ctx).c[0], 0.1f, 1e-6);
    // c = -2 stays at 2 forever (|z|^2 = 4 is not an escape).
    EXPECT_NEAR(RunColour(l, -2.0f, 0.0f, 0.0f, ctx).c[0], 1.0f, 1e-6);
    l.rec.detail = 0;
    EXPECT_NEAR(RunColour(l, 0.0f, 0.0f, 0.0f, ctx).c[0], 0.0f, 1e-6);
}

TEST_F(PatternTest, RadialNearTheAxisUsesAQuarter)
{
    Layer l = BasicLayer(16);
    l.rec.turbulence = 0.0f;
    EXPECT_NEAR(RunColour(l, 0.0009f, -0.0009f, 0.0f, ctx).c[0], 1.0f, 1e-6);  // TableSin(0.25)
    const Rgb away = RunColour(l, 0.5f, 0.0f, 0.0f, ctx);
    const float a = static_cast<float>((std::atan2(0.5, 0.0) + 3.14159265359) * 1.570796326795 + 0.25);
    EXPECT_NEAR(away.c[0], std::max(0.0f, TableSin(a)), 1e-6);
}

TEST_F(PatternTest, CycloneAngleStartsOnTheNegativeYAxis)
{
    Layer l = BasicLayer(18);  // triangle waves: exact values
    l.rec.turbulence = 0.0f;
    l.rec.detail = 1;
    // (0, -0.25): theta = 0, r = 0.25: v = T(0.25) + T(0 + 0.25) = 1.
    EXPECT_NEAR(RunColour(l, 0.0f, -0.25f, 0.0f, ctx).c[0], 1.0f, 1e-6);
    // The origin: theta 0, r 0: v = 0.
    EXPECT_NEAR(RunColour(l, 0.0f, 0.0f, 0.0f, ctx).c[0], 0.0f, 1e-6);
}

TEST_F(PatternTest, ColorRipplesWithDetailZeroSumsTenSources)
{
    Layer l = BasicLayer(19);
    l.rec.detail = 0;
    const Rgb d0 = RunColour(l, 0.3f, 0.4f, 0.5f, ctx);
    l.rec.detail = 10;
    const Rgb d10 = RunColour(l, 0.3f, 0.4f, 0.5f, ctx);
    EXPECT_EQ(d0.c[0], d10.c[0]);
    // More than 20 sources reads no more than the 20 there are.
    l.rec.detail = 20;
    const Rgb d20 = RunColour(l, 0.3f, 0.4f, 0.5f, ctx);
    l.rec.detail = 300;
    EXPECT_EQ(RunColour(l, 0.3f, 0.4f, 0.5f, ctx).c[0], d20.c[0]);
}

TEST_F(PatternTest, WaveSourcesAtDistanceZero)
{
    const float* s = WaveSources[0];
    Layer l = BasicLayer(19);
    l.rec.detail = 1;
    l.rec.turbulence = 0.5f;
    // The distance counts as 1.
    const float v = (TableSin(l.rec.frequency * 1.0f + l.rec.phase) / 1.0f + 1.0f) * 0.5f * 0.5f * 2.0f;
    EXPECT_NEAR(RunColour(l, s[0], s[1], s[2], ctx).c[0], std::clamp(v, 0.0f, 1.0f), 1e-6);
    l.rec.material = 20;
    const Rgb waves = RunColour(l, s[0], s[1], s[2], ctx);
    EXPECT_TRUE(std::isfinite(waves.c[0]));
    // The reliefs add nothing at a source (the offset is zero).
    for (int r : {0, 1}) {
        Layer rl = BasicLayer(1, r);
        rl.rec.reliefDetail = 1;
        ExpectRgb(RunRelief(rl, s[0], s[1], s[2], ctx), 0, 0, 0);
    }
    // The picture patterns stay on the picture.
    for (int m : {26, 27}) {
        Layer pl = BasicLayer(m);
        SetTestPicture(pl, 4, 4);
        pl.rec.detail = 1;
        const Rgb c = RunColour(pl, s[0], s[1], s[2], ctx);
        EXPECT_TRUE(std::isfinite(c.c[0]) && c.c[2] == 7 * 0.003921569f) << m;
    }
}

TEST_F(PatternTest, GradientRampsAtWholeNumbers)
{
    Layer l = BasicLayer(38);
    l.rec.turbulence = 0.0f;
    EXPECT_NEAR(RunColour(l, 0.6f, 0.8f, 0.0f, ctx).c[0], 1.0f, 1e-6);   // radius 1
    EXPECT_NEAR(RunColour(l, 1.2f, 1.6f, 0.0f, ctx).c[0], 0.0f, 1e-6);   // radius 2
    EXPECT_NEAR(RunColour(l, 0.3f, 0.4f, 0.0f, ctx).c[0], 0.5f, 1e-6);
    l.rec.material = 36;  // along y
    EXPECT_NEAR(RunColour(l, 0.3f, 1.0f, 0.0f, ctx).c[0], 0.0f, 1e-6);
    EXPECT_NEAR(RunColour(l, 0.3f, -1.0f, 0.0f, ctx).c[0], 0.0f, 1e-6);
    EXPECT_NEAR(RunColour(l, 0.3f, 1.25f, 0.0f, ctx).c[0], 0.75f, 1e-6);
    l.rec.material = 37;  // along x
    EXPECT_NEAR(RunColour(l, 1.25f, 0.3f, 0.0f, ctx).c[0], 0.75f, 1e-6);
}

TEST_F(PatternTest, ColorQuiltedAndColorDents)
{
    Layer l = BasicLayer(23);
    l.rec.turbulence = 0.0f;
    // At a cell centre every offset is 0.
    EXPECT_NEAR(RunColour(l, 0.5f, 1.5f, -0.5f, ctx).c[0], 0.0f, 1e-6);
    l.rec.material = 21;
    l.rec.turbulence = 1.0f;
    const float n = Noise3(0.3f, 0.4f, 0.5f);
    EXPECT_NEAR(RunColour(l, 0.3f, 0.4f, 0.5f, ctx).c[0], n * n * n, 1e-6);
}

// ---------------------------------------------------------------------------
// Picture patterns

TEST_F(PatternTest, PictureSampleMirrorsAndCapsTheRow)
{
    Layer l = BasicLayer(25);
    SetTestPicture(l, 4, 3);
    const auto at = [&](float px, float py) {
        Rgb c;
        PictureSample(l, px, py, c.c);
        return std::array<int, 3>{static_cast<int>(std::lround(c.c[0] * 255)),
                                  static_cast<int>(std::lround(c.c[1] * 255)),
                                  static_cast<int>(std::lround(c.c[2] * 255))};
    };
    // Column = trunc(3 fx), row = trunc(3 fy) on even copies.
    EXPECT_EQ(at(0.1f, 0.1f), (std::array<int, 3>{0, 0, 7}));
    EXPECT_EQ(at(0.7f, 0.7f), (std::array<int, 3>{2, 2, 7}));
    // Odd copies run backwards.
    EXPECT_EQ(at(1.1f, 1.1f), (std::array<int, 3>{2, 2, 7}));
    EXPECT_EQ(at(1.7f, 0.1f), (std::array<int, 3>{0, 0, 7}));
    // Negative coordinates sample their absolute value.
    EXPECT_EQ(at(-0.7f, -1.1f), at(0.7f, 1.1f));
    // py exactly 1: the row would be 3, it is the last row.
    EXPECT_EQ(at(0.1f, 1.0f), (std::array<int, 3>{0, 2, 7}));
    // px exactly 1: the column is width - 1 (the last one).
    EXPECT_EQ(at(1.0f, 0.1f), (std::array<int, 3>{3, 0, 7}));

    // Nothing is read where there is nothing to read.
    Rgb none;
    PictureSample(l, std::nanf(""), 0.5f, none.c);
    PictureSample(l, INFINITY, 0.5f, none.c);
    Layer empty = BasicLayer(25);
    empty.rec.width = 4;
    empty.rec.height = 3;
    PictureSample(empty, 0.5f, 0.5f, none.c);
    Layer shortBuffer = l;
    shortBuffer.SetPicture(4, 3, std::vector<uint8_t>(4 * 3 * 4 - 1, 255));
    PictureSample(shortBuffer, 0.5f, 0.5f, none.c);
    Layer negative = l;
    negative.SetPicture(-4, 3, l.Pixels());
    PictureSample(negative, 0.5f, 0.5f, none.c);
    ExpectRgb(none, 0, 0, 0);
}

TEST_F(PatternTest, PicturePatternsWithoutTurbulenceShowThePlainPicture)
{
    for (int m : {25, 26, 27, 28, 29, 30, 32, 34, 35}) {
        Layer l = BasicLayer(m);
        SetTestPicture(l, 8, 6);
        l.rec.turbulence = 0.0f;
        l.rec.scaleX = 2.0f;
        l.rec.scaleY = 4.0f;
        l.rec.offsetX = 0.25f;
        l.rec.offsetY = -0.5f;
        for (float u : {0.1f, 0.45f, 0.8f}) {
            for (float v : {0.05f, 0.6f}) {
                const float x = (u + 0.25f) * 2.0f, y = (v - 0.5f) * 4.0f;
                Rgb want;
                PictureSample(l, x / 2.0f - 0.25f, y / 4.0f + 0.5f, want.c);
                const Rgb got = RunColour(l, x, y, 0.3f, ctx);
                ExpectRgb(got, want.c[0], want.c[1], want.c[2]);
            }
        }
    }
}

TEST_F(PatternTest, MarbleImageNeverMovesVertically)
{
    Layer l = BasicLayer(31);
    SetTestPicture(l, 8, 6);
    l.rec.turbulence = 2.0f;
    for (float x : {0.1f, 0.35f, 0.9f, 1.7f}) {
        for (float y : {0.05f, 0.4f, 0.77f}) {
            const Rgb got = RunColour(l, x, y, 0.0f, ctx);
            Rgb plain;
            PictureSample(l, 0.0f, y, plain.c);
            EXPECT_EQ(got.c[1], plain.c[1]);  // green is the row
        }
    }
}

TEST_F(PatternTest, LeopardImageTakesTheOffsetBeforeTheDivision)
{
    Layer l = BasicLayer(33);
    SetTestPicture(l, 16, 16);
    l.rec.turbulence = 0.0f;
    l.rec.offsetX = 0.5f;
    l.rec.scaleX = 2.0f;
    const float u = 0.3f, v = 0.2f;
    const float x = (u + 0.5f) * 2.0f, y = v;
    Rgb want;
    const float px = static_cast<float>((x - 0.5f) / 2.0f + std::sin(static_cast<double>(x)));
    const float py = static_cast<float>(y + std::sin(static_cast<double>(y)));
    PictureSample(l, px, py, want.c);
    EXPECT_NEAR(px, u + 0.25f + std::sin(x), 1e-6);
    const Rgb got = RunColour(l, x, y, 0.0f, ctx);
    ExpectRgb(got, want.c[0], want.c[1], want.c[2]);
}

TEST_F(PatternTest, PicturePatternsAddNothingWithScaleZeroOrNoPicture)
{
    for (int m = 25; m <= 35; ++m) {
        Layer l = BasicLayer(m);
        SetTestPicture(l, 8, 6);
        l.rec.scaleX = 0.0f;
        ExpectRgb(RunColour(l, 0.0f, 0.3f, 0.0f, ctx), 0, 0, 0);
        l.rec.scaleX = 1.0f;
        l.rec.scaleY = 0.0f;
        ExpectRgb(RunColour(l, 0.2f, 0.0f, 0.0f, ctx), 0, 0, 0);
        Layer none = BasicLayer(m);
        ExpectRgb(RunColour(none, 0.2f, 0.3f, 0.0f, ctx), 0, 0, 0);
    }
}
