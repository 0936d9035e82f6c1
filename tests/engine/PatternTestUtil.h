// Layers and gradients for the pattern tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/Noise.h"
#include "engine/Patterns.h"
#include "engine/Records.h"

namespace morvane::test {

// A gradient whose colour at v is about (v, v, v): lookups read the
// pattern value back.
inline Gradient ProbeGradient()
{
    Gradient g;
    g.head.count = kGradientEntries;
    for (int j = 0; j < kGradientEntries; ++j) {
        GradientEntry& e = g.entries[j];
        e.start = static_cast<float>(j) * 0.041666668f;
        e.end = static_cast<float>(j + 1) * 0.041666668f;
        const float start = e.start, end = e.end;
        e.startR = start;
        e.startG = start;
        e.startB = start;
        e.endR = end;
        e.endG = end;
        e.endB = end;
    }
    return g;
}

// Every entry a different colour (start colours distinct from the end
// colours and from the other entries).
inline Gradient DistinctGradient()
{
    Gradient g = ProbeGradient();
    for (int j = 0; j < kGradientEntries; ++j) {
        GradientEntry& e = g.entries[j];
        e.startR = 0.01f * static_cast<float>(j + 1);
        e.startG = 0.5f;
        e.startB = 1.0f - 0.02f * static_cast<float>(j);
        e.endR = 0.01f * static_cast<float>(j + 1) + 0.005f;
        e.endG = 0.25f;
        e.endB = 0.75f;
    }
    return g;
}

// The common fields of a layer as a new layer of the program has them.
inline Layer BasicLayer(int material, int relief = 0)
{
    Layer l;
    l.rec.material = static_cast<int8_t>(material);
    l.rec.relief = static_cast<int8_t>(relief);
    l.rec.frequency = 5.0f;
    l.rec.phase = 0.5f;
    l.rec.reliefIntensity = 5.0f;
    l.rec.turbulence = 0.5f;
    l.rec.detail = 3;
    l.rec.scaleX = 1.0f;
    l.rec.scaleY = 1.0f;
    l.rec.scaleZ = 1.0f;
    l.rec.reliefScaleX = 10.0f;
    l.rec.reliefScaleY = 10.0f;
    l.rec.reliefScaleZ = 10.0f;
    l.rec.lacunarity = 2.0f;
    l.rec.omega = 0.5f;
    l.rec.reliefDetail = 10;
    l.rec.foldY = 0.5f;
    l.rec.foldZ = 0.5f;
    l.gradient = ProbeGradient();
    return l;
}

// A picture of width x height pixels whose red byte is the column, green
// the row and blue 7.
inline void SetTestPicture(Layer& l, int width, int height)
{
    l.rec.width = static_cast<int16_t>(width);
    l.rec.height = static_cast<int16_t>(height);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4, 0);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            uint8_t* p = &pixels[(static_cast<size_t>(r) * width + c) * 4];
            p[0] = static_cast<uint8_t>(c);
            p[1] = static_cast<uint8_t>(r);
            p[2] = 7;
        }
    }
    l.SetPicture(width, height, std::move(pixels));
}

struct Rgb {
    float c[3] = {0.0f, 0.0f, 0.0f};
};

inline Rgb RunColour(const Layer& l, float x, float y, float z, EvalContext& ctx)
{
    Rgb out;
    if (PatternFn f = ColourPatternFor(l.rec.material)) f(x, y, z, l, out.c, ctx);
    return out;
}

inline Rgb RunRelief(const Layer& l, float x, float y, float z, EvalContext& ctx)
{
    Rgb out;
    if (PatternFn f = ReliefPatternFor(l.rec.relief)) f(x, y, z, l, out.c, ctx);
    return out;
}

// The three components of a colour or of a normal perturbation.
inline void ExpectRgb(const Rgb& got, float a, float b, float c)
{
    EXPECT_FLOAT_EQ(got.c[0], a);
    EXPECT_FLOAT_EQ(got.c[1], b);
    EXPECT_FLOAT_EQ(got.c[2], c);
}

// Tests of the patterns: the noise tables set up, a context to evaluate in.
class PatternFixture : public ::testing::Test {
protected:
    void SetUp() override { NoiseInit(); }
    EvalContext ctx;
};

}  // namespace morvane::test
