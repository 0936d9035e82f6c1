// The relief patterns: edge cases and the limits chosen where the formulas
// divide by zero.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/Patterns.h"
#include "engine/PatternsInternal.h"
#include "tests/engine/PatternTestUtil.h"

using namespace morvane;
using namespace morvane::patterns;
using namespace morvane::test;

namespace {

class ReliefTest : public PatternFixture {};

}  // namespace

TEST(SpectralWeights, HalfPowersOfTwoAndTheLastBeyondTheTable)
{
    EXPECT_DOUBLE_EQ(SpectralWeight(0), 1.0);
    EXPECT_DOUBLE_EQ(SpectralWeight(1), std::sqrt(0.5));
    EXPECT_DOUBLE_EQ(SpectralWeight(2), 0.5);
    EXPECT_DOUBLE_EQ(SpectralWeight(20), 1.0 / 1024.0);
    EXPECT_DOUBLE_EQ(SpectralWeight(21), SpectralWeight(20));
    EXPECT_DOUBLE_EQ(SpectralWeight(1000000), SpectralWeight(20));
    EXPECT_DOUBLE_EQ(SpectralWeight(-3), 1.0);
}

TEST_F(ReliefTest, BumpsAndDents)
{
    Layer l = BasicLayer(1, 2);
    float v[3];
    VNoise3(v, 0.3f, 0.4f, 0.5f);
    ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), 5.0f * v[0], 5.0f * v[1], 5.0f * v[2]);
    l.rec.relief = 3;
    const float n = Noise3(0.3f, 0.4f, 0.5f);
    const float k = n * n * n * 5.0f;
    ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), k * v[0], k * v[1], k * v[2]);
}

TEST_F(ReliefTest, ZeroDetailAddsNothingOrItsConstant)
{
    for (int r : {4, 13}) {
        for (float phase : {2.0f, 0.5f}) {
            Layer l = BasicLayer(1, r);
            l.rec.reliefDetail = 0;
            l.rec.phase = phase;
            ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), 0, 0, 0);
        }
    }
    // Multifractal: the empty product (1, 1, 1), plus the partial octave
    // weighted by w[0] when the phase has a fraction.
    Layer l = BasicLayer(1, 9);
    l.rec.reliefDetail = 0;
    l.rec.phase = 2.0f;
    ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), 5, 5, 5);
    l.rec.phase = 0.5f;
    float v[3];
    VNoise3(v, 0.3f, 0.4f, 0.5f);
    ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), 5.0f * (1.0f + 0.5f * v[0]), 5.0f * (1.0f + 0.5f * v[1]),
              5.0f * (1.0f + 0.5f * v[2]));
}

TEST_F(ReliefTest, RidgeWeightsEveryComponentByX)
{
    Layer l = BasicLayer(1, 12);
    l.rec.reliefDetail = 2;
    l.rec.frequency = 3.0f;
    const float p[3] = {0.3f, 0.4f, 0.5f};
    const auto signal = [](float v) { return (1.0f - std::fabs(v)) * (1.0f - std::fabs(v)); };
    float a[3], b[3];
    VNoise3(a, p[0], p[1], p[2]);
    VNoise3(b, 3.0f * p[0], 3.0f * p[1], 3.0f * p[2]);
    const float g = Clamp(2.0f * signal(a[0]), 0.0f, 1.0f);
    float want[3];
    for (int c = 0; c < 3; ++c) want[c] = 5.0f * static_cast<float>(signal(a[c]) + signal(b[c]) * g * std::sqrt(0.5));
    ExpectRgb(RunRelief(l, p[0], p[1], p[2], ctx), want[0], want[1], want[2]);
}

TEST_F(ReliefTest, BrickJointsSlopeAcrossTheirWidth)
{
    Layer l = BasicLayer(1, 6);
    l.rec.reliefIntensity = 2.0f;
    const Rgb horizontal = RunRelief(l, 0.3f, 0.02f, 0.5f, ctx);
    EXPECT_FLOAT_EQ(horizontal.c[0], 0.0f);
    EXPECT_NEAR(horizontal.c[1], -0.1f * 2.0f, 1e-5);
    EXPECT_FLOAT_EQ(horizontal.c[2], 0.0f);
    // A vertical joint on an even row, and on an odd row half a brick on.
    EXPECT_NEAR(RunRelief(l, 0.04f, 0.5f, 0.5f, ctx).c[0], 0.3f * 2.0f, 1e-5);
    EXPECT_NEAR(RunRelief(l, 0.54f, 1.5f, 0.5f, ctx).c[0], 0.3f * 2.0f, 1e-5);
    ExpectRgb(RunRelief(l, 0.04f, 1.5f, 0.5f, ctx), 0, 0, 0);
    // A joint in z.
    EXPECT_NEAR(RunRelief(l, 0.5f, 0.5f, 0.01f, ctx).c[2], -0.3f * 2.0f, 1e-5);
}

TEST_F(ReliefTest, FbmAddsTheTurbulenceEverywhere)
{
    Layer l = BasicLayer(1, 7);
    l.rec.detail = 0;  // no octave: the noise sum is zero
    l.rec.turbulence = 0.7f;
    ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), 0.7f, 0.7f, 0.7f);
}

TEST_F(ReliefTest, CraterWithoutCratersOrDetail)
{
    Layer l = BasicLayer(1, 8);
    l.rec.phase = 0.0f;
    l.rec.detail = 0;  // every centre infinitely far
    ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), 0, 0, 0);
    // With detail 0 the fine noise still comes through the phase.
    l.rec.phase = 1.0f;
    const Rgb fine = RunRelief(l, 0.3f, 0.4f, 0.5f, ctx);
    const float q[3] = {1.5f, 2.0f, 2.5f};
    float v[3];
    VectorFbm(q, 0.833f, 2.0f, 4, v);
    ExpectRgb(fine, 5.0f * (0.1f * v[0]), 5.0f * (0.1f * v[1]), 5.0f * (0.1f * v[2]));

    // Craters exist somewhere and stay finite; the radius is
    // frequency x 0.1 at most, so a frequency of 0 has none.
    l.rec.detail = 3;
    l.rec.phase = 0.0f;
    l.rec.frequency = 8.0f;
    int hits = 0;
    for (int i = 0; i < 400; ++i) {
        const Rgb n = RunRelief(l, i * 0.0173f, i * 0.0311f, 0.2f, ctx);
        EXPECT_TRUE(std::isfinite(n.c[0]) && std::isfinite(n.c[1]) && std::isfinite(n.c[2]));
        if (n.c[0] != 0.0f || n.c[1] != 0.0f || n.c[2] != 0.0f) ++hits;
    }
    EXPECT_GT(hits, 0);
    l.rec.frequency = 0.0f;
    for (int i = 0; i < 100; ++i) ExpectRgb(RunRelief(l, i * 0.0173f, i * 0.0311f, 0.2f, ctx), 0, 0, 0);
}

TEST_F(ReliefTest, QuiltedIsAUnitVectorAwayFromTheCellCentre)
{
    Layer l = BasicLayer(1, 5);
    for (int detail : {10, 1, 0, -3}) {
        l.rec.reliefDetail = detail;
        const Rgb n = RunRelief(l, 0.8f, 1.1f, -0.3f, ctx);
        const float f[3] = {0.3f, -0.4f, 0.2f};
        const float len = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
        const float sign = detail < 0 ? -1.0f : 1.0f;  // a negative profile turns it round
        EXPECT_NEAR(n.c[0], sign * f[0] / len, 1e-5) << detail;
        EXPECT_NEAR(n.c[1], sign * f[1] / len, 1e-5) << detail;
        EXPECT_NEAR(n.c[2], sign * f[2] / len, 1e-5) << detail;
        // The centre has no direction.
        ExpectRgb(RunRelief(l, 0.5f, 0.5f, 0.5f, ctx), 0, 0, 0);
    }
}

TEST_F(ReliefTest, TerrainBumpModesFollowTheFractionOfThePhase)
{
    Layer l = BasicLayer(1, 13);
    l.rec.reliefDetail = 3;
    l.rec.frequency = 2.0f;
    l.rec.phase = 2.0f;  // whole: plain halving octaves
    float want[3] = {0, 0, 0};
    float amplitude = 1.0f, f = 1.0f;
    for (int i = 0; i < 3; ++i) {
        float v[3];
        VNoise3(v, f * 0.3f, f * 0.4f, f * 0.5f);
        for (int c = 0; c < 3; ++c) want[c] += amplitude * (2.0f * v[c] - 0.5f);
        amplitude *= 0.5f;
        f *= 2.0f;
    }
    ExpectRgb(RunRelief(l, 0.3f, 0.4f, 0.5f, ctx), 5.0f * want[0], 5.0f * want[1], 5.0f * want[2]);
    l.rec.phase = 0.5f;
    const Rgb terrain = RunRelief(l, 0.3f, 0.4f, 0.5f, ctx);
    EXPECT_NE(terrain.c[0], 5.0f * want[0]);
}

TEST_F(ReliefTest, FractalReliefsBeyondTheWeightTableStayFinite)
{
    for (int r : {9, 10, 11, 12}) {
        Layer l = BasicLayer(1, r);
        l.rec.reliefDetail = 40;
        l.rec.frequency = 20.0f;
        l.rec.phase = 1.99f;
        const Rgb n = RunRelief(l, 0.3f, 0.4f, 0.5f, ctx);
        for (float c : n.c) EXPECT_TRUE(std::isfinite(c)) << r;
    }
}

TEST_F(ReliefTest, CrackleNeverPointsDown)
{
    Layer l = BasicLayer(1, 14);
    l.rec.phase = 1.5f;
    int nonZero = 0;
    for (int i = 0; i < 500; ++i) {
        const Rgb n = RunRelief(l, -3.0f + i * 0.0173f, 2.0f - i * 0.0311f, -0.7f + i * 0.01f, ctx);
        EXPECT_GE(n.c[2], 0.0f);
        if (n.c[2] > 0.0f) ++nonZero;
    }
    EXPECT_GT(nonZero, 0);
}
