#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/Presets.h"

using namespace morvane;

namespace {

float Byte(float v) { return v / 255.0f; }

// Start colour of entry j, channel c (0 red, 1 green, 2 blue).
float StartOf(const Layer& l, int j, int c)
{
    const GradientEntry e = l.gradient->entries[j];
    return c == 0 ? e.startR : c == 1 ? e.startG : e.startB;
}
float EndOf(const Layer& l, int j, int c)
{
    const GradientEntry e = l.gradient->entries[j];
    return c == 0 ? e.endR : c == 1 ? e.endG : e.endB;
}

void ExpectColour(const Layer& l, int j, bool start, float r, float g, float b, float tol = 2e-6f)
{
    SCOPED_TRACE(testing::Message() << "entry " << j << (start ? " start" : " end"));
    const float got[3] = {start ? StartOf(l, j, 0) : EndOf(l, j, 0), start ? StartOf(l, j, 1) : EndOf(l, j, 1),
                          start ? StartOf(l, j, 2) : EndOf(l, j, 2)};
    EXPECT_NEAR(got[0], r, tol);
    EXPECT_NEAR(got[1], g, tol);
    EXPECT_NEAR(got[2], b, tol);
}

}  // namespace

TEST(Presets, CommonValuesAndPositions)
{
    const MaterialPresets p = BuildMaterialPresets();
    for (int m = 0; m < kPresetCount; ++m) {
        SCOPED_TRACE(m);
        const LayerRecord r = p[m].rec;
        EXPECT_EQ(+r.material, m);
        EXPECT_EQ(+r.relief, 0);
        EXPECT_EQ(+r.reserved2, 0.5f);
        EXPECT_EQ(+r.frequency, 0.5f);
        EXPECT_EQ(+r.phase, 0.005f);
        EXPECT_EQ(+r.reliefScaleX, 10.0f);
        EXPECT_EQ(+r.lightDirZ, 1.6f);
        EXPECT_EQ(+r.brillianceG, 200.0f);
        EXPECT_EQ(+r.lightB, 1.0f);
        EXPECT_EQ(+r.width, 160);
        EXPECT_EQ(+r.height, 120);
        EXPECT_EQ(+r.lacunarity, 2.0f);
        EXPECT_EQ(+r.omega, 0.5f);
        EXPECT_EQ(+r.reliefDetail, 10);
        EXPECT_EQ(+r.keyCount, 0);
        EXPECT_EQ(r.picturePath[0], '\0');
        ASSERT_TRUE(p[m].gradient.has_value());
        EXPECT_TRUE(p[m].keys.empty());
        EXPECT_FALSE(p[m].picture);
        const Gradient& g = *p[m].gradient;
        EXPECT_EQ(+g.head.count, 24);
        for (int j = 0; j < kGradientEntries; ++j) {
            EXPECT_EQ(+g.entries[j].start, static_cast<float>(j) * 0.041666668f);
            EXPECT_EQ(+g.entries[j].end, static_cast<float>(j + 1) * 0.041666668f);
        }
        EXPECT_EQ(+g.entries[11].end, 0.5f);
        EXPECT_EQ(+g.entries[12].start, 0.5f);
        EXPECT_EQ(+g.entries[23].end, 1.0f);
    }
}

TEST(Presets, PerMaterialValues)
{
    const MaterialPresets p = BuildMaterialPresets();
    const LayerRecord marble = p[1].rec;
    EXPECT_EQ(+marble.turbulence, 0.9f);
    EXPECT_EQ(+marble.detail, 6);
    EXPECT_EQ(+marble.scaleZ, 2.0f);
    EXPECT_EQ(+marble.foldY, 0.0f);
    const LayerRecord leopard = p[11].rec;
    EXPECT_EQ(+leopard.scaleX, 25.0f);
    EXPECT_EQ(+leopard.scaleY, 40.0f);
    const LayerRecord flame = p[9].rec;
    EXPECT_EQ(+flame.foldX, 0.5f);
    EXPECT_EQ(+flame.foldZ, 0.5f);
    const LayerRecord cyclone = p[17].rec;
    EXPECT_EQ(+cyclone.offsetX, -0.5f);
    EXPECT_EQ(+cyclone.offsetY, -0.5f);
    EXPECT_EQ(+cyclone.turbulence, 0.75f);
    // Materials without values of their own share the common block.
    for (int m : {6, 13, 15, 16, 24, 39}) {
        const LayerRecord r = p[m].rec;
        EXPECT_EQ(+r.turbulence, 0.5f);
        EXPECT_EQ(+r.detail, 3);
        EXPECT_EQ(+r.scaleX, 1.0f);
        EXPECT_EQ(+r.foldX, 0.0f);
        EXPECT_EQ(+r.foldY, 0.5f);
        EXPECT_EQ(+r.foldZ, 0.5f);
        EXPECT_EQ(+r.offsetX, 0.0f);
    }
}

TEST(Presets, LastPresetsDifferOnlyInMaterial)
{
    const MaterialPresets p = BuildMaterialPresets();
    for (int m = 20; m < kPresetCount; ++m) {
        LayerRecord a = p[19].rec;
        LayerRecord b = p[m].rec;
        a.material = 0;
        b.material = 0;
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << m;
        EXPECT_EQ(std::memcmp(p[19].gradient->entries.data(), p[m].gradient->entries.data(),
                              sizeof(GradientEntry) * kGradientEntries),
                  0);
    }
}

TEST(Presets, GreyRampAndRuns)
{
    const MaterialPresets p = BuildMaterialPresets();
    // Grey ramp: white at 0 down to black at 1.
    for (int m : {4, 12, 6, 30}) {
        ExpectColour(p[m], 0, true, 1, 1, 1);
        ExpectColour(p[m], 12, true, 0.5f, 0.5f, 0.5f);
        ExpectColour(p[m], 23, false, 0, 0, 0);
    }
    // Sky: a run to light blue, then constant.
    ExpectColour(p[0], 0, true, 1, 1, 1);
    ExpectColour(p[0], 15, false, 0.5f, 0.75f, 0.95f);
    ExpectColour(p[0], 20, true, 0.5f, 0.75f, 0.95f, 0);
    ExpectColour(p[0], 23, false, 0.5f, 0.75f, 0.95f, 0);
    // Marble: two runs joined.
    ExpectColour(p[1], 0, true, 0.6f, 0.6f, 0.6f, 0);
    ExpectColour(p[1], 8, true, 0.6f - 0.5f * 0.5f, 0.6f - 0.42f * 0.5f, 0.35f, 1e-6f);
    ExpectColour(p[1], 15, false, 0.1f, 0.18f, 0.1f);
    ExpectColour(p[1], 23, false, 0, 0, 0);
    // Brick: the mortar colour, a jump, the bricks.
    ExpectColour(p[3], 0, true, 0.4f, 0.4f, 0.4f, 0);
    ExpectColour(p[3], 0, false, 0.4f, 0.4f, 0.4f, 0);
    ExpectColour(p[3], 1, true, 0.5f, 0.02f, 0.05f, 0);
    ExpectColour(p[3], 23, false, 0.85f, 0.06f, 0.15f);
    // Checker Texture: jump to black at entry 11.
    ExpectColour(p[5], 10, false, 0.225f, 0.225f, 0.225f);
    ExpectColour(p[5], 11, true, 0, 0, 0, 0);
    ExpectColour(p[5], 23, false, 0.9f, 0.9f, 0.9f);
    // Flame: byte colours at the ends of the runs.
    ExpectColour(p[9], 1, false, Byte(254), Byte(239), Byte(211));
    ExpectColour(p[9], 9, false, Byte(236), Byte(89), Byte(51));
    ExpectColour(p[9], 14, false, Byte(195), 0, 0);
    ExpectColour(p[9], 23, false, 0, 0, 0);
    // Crackle ends at fractional byte values.
    ExpectColour(p[14], 0, true, Byte(44), Byte(61), Byte(35), 0);
    ExpectColour(p[14], 23, false, 73.25f / 255, 97.5f / 255, 43.25f / 255);
    // Leopard: black from entry 5 on.
    ExpectColour(p[11], 5, true, 0, 0, 0, 0);
    // Cyclone: white reached at the end of entry 22, entry 23 above 1.
    ExpectColour(p[17], 0, true, Byte(63), Byte(119), Byte(203), 0);
    ExpectColour(p[17], 22, false, 1, 1, 1);
    EXPECT_GT(EndOf(p[17], 23, 0), 1.03f);
    EXPECT_NEAR(EndOf(p[17], 23, 0), 1.0f + (1.0f - 63 / 255.0f) / 23, 2e-6f);
    EXPECT_NEAR(EndOf(p[17], 23, 2), 1.0f + (1.0f - 203 / 255.0f) / 23, 2e-6f);
    // Cyclone1: entry 23 starts at the target and ends one step beyond.
    ExpectColour(p[18], 23, true, Byte(89), Byte(193), Byte(239));
    EXPECT_NEAR(EndOf(p[18], 23, 0), 0.321f, 1e-3f);
    EXPECT_NEAR(EndOf(p[18], 23, 1), 0.746f, 1e-3f);
    EXPECT_NEAR(EndOf(p[18], 23, 2), 0.935f, 1e-3f);
    // Every run joins: each entry starts where the previous ended, except
    // at the named jumps.
    for (int m = 0; m < kPresetCount; ++m) {
        for (int j = 1; j < kGradientEntries; ++j) {
            if ((m == 3 && j == 1) || (m == 5 && j == 11) || (m == 0 && j == 16) || (m == 11 && j == 5)) continue;
            for (int c = 0; c < 3; ++c) EXPECT_EQ(StartOf(p[m], j, c), EndOf(p[m], j - 1, c)) << m << " " << j;
        }
    }
}

TEST(Presets, RunsAreRepeatedFloatAdditions)
{
    const MaterialPresets p = BuildMaterialPresets();
    // Onion: one run of 24 entries; each end is the start plus one float step.
    const float step = (0.0f - 143.0f / 255.0f) / 24.0f;
    float run = 143.0f / 255.0f;
    for (int j = 0; j < kGradientEntries; ++j) {
        EXPECT_EQ(StartOf(p[10], j, 0), run);
        run += step;
        EXPECT_EQ(EndOf(p[10], j, 0), run);
    }
}

TEST(Presets, NewTextureIsACopyOfMarble)
{
    const MaterialPresets& presets = MaterialPresetTable();
    Texture t = NewTexture(presets);
    ASSERT_EQ(t.LayerCount(), 1);
    const LayerSlot& s = t.layers[0];
    EXPECT_EQ(s.blendMode, 1);
    EXPECT_EQ(s.blendCoef, 1.0f);
    EXPECT_EQ(s.orientation, 0.0f);
    EXPECT_EQ(s.reliefOrientation, 0.0f);
    const ColorKeyRecord zero{};
    EXPECT_EQ(std::memcmp(&s.colorKey, &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(&s.layer.rec, &presets[1].rec, sizeof(LayerRecord)), 0);
    EXPECT_TRUE(s.layer.keys.empty());
    EXPECT_FALSE(s.layer.picture);
    EXPECT_TRUE(s.layer.PicturePath().empty());
    for (uint8_t b : t.reserved) EXPECT_EQ(b, 0);

    // The layer's gradient is its own.
    const float before = presets[1].gradient->entries[3].startR;
    t.layers[0].layer.gradient->entries[3].startR = 0.123f;
    EXPECT_EQ(+presets[1].gradient->entries[3].startR, before);
    EXPECT_EQ(+MaterialPresetTable()[1].gradient->entries[3].startR, before);
}
