#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/Animation.h"

using namespace morvane;

namespace {

// An animated layer whose key k has time times[k], turbulence 10 k, detail
// details[k] and gradient entry colours 0.1 k.
Layer Animated(const std::vector<float>& times, const std::vector<int16_t>& details = {})
{
    Layer layer;
    layer.rec.material = 5;
    layer.rec.animated = 1;
    layer.rec.reliefDetail = 7;
    layer.gradient = Gradient::Tiled();
    for (size_t k = 0; k < times.size(); ++k) {
        Keyframe key = MakeKey(layer);
        key.rec.time = times[k];
        key.rec.turbulence = 10.0f * k;
        key.rec.detail = k < details.size() ? details[k] : 0;
        key.rec.reliefDetail = 100 * static_cast<int32_t>(k);
        for (GradientEntry& g : key.gradient.entries) {
            g.start = 0.5f;  // positions are never interpolated
            g.startR = g.endB = 0.1f * k;
        }
        layer.keys.push_back(key);
    }
    layer.rec.keyCount = static_cast<int32_t>(times.size());
    return layer;
}

float TurbulenceAt(Layer layer, float t, InterpolationOptions options = {})
{
    InterpolateLayerAt(layer, t, options);
    return layer.rec.turbulence;
}

bool SameBytes(const KeyframeRecord& a, const KeyframeRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(Animation, FrameCountsAndTimesOfPlayAndMovie)
{
    // Play: trunc(duration) x 25 + 1 frames, the last one at the end.
    EXPECT_EQ(FrameCount(FrameRun::Play, 4.0f), 101);
    EXPECT_EQ(FrameTime(1, 4.0f), 0.01f);
    EXPECT_EQ(FrameTime(100, 4.0f), 1.0f);
    EXPECT_EQ(FrameCount(FrameRun::Play, 2.5f), 51);
    EXPECT_EQ(FrameTime(50, 2.5f), 0.8f);
    EXPECT_EQ(FrameCount(FrameRun::Play, 0.5f), 1);
    EXPECT_EQ(FrameTime(0, 0.5f), 0.0f);
    EXPECT_EQ(FrameCount(FrameRun::Play, -1.0f), 0);
    EXPECT_EQ(FrameCount(FrameRun::Play, std::nanf("")), 1);

    // Movie: trunc(duration x fps) frames; the NTSC movie counts 30.
    EXPECT_EQ(FrameCount(FrameRun::Movie, 4.0f), 100);
    EXPECT_EQ(FrameCount(FrameRun::Movie, 2.5f), 62);
    EXPECT_EQ(FrameCount(FrameRun::Movie, 0.5f), 12);
    EXPECT_EQ(FrameCount(FrameRun::Movie, 0.04f), 1);
    EXPECT_EQ(FrameCount(FrameRun::Movie, 0.03f), 0);
    EXPECT_EQ(FrameCount(FrameRun::Movie, 4.0f, kNtscFramesPerSecond), 120);
    EXPECT_EQ(FrameTime(60, 4.0f, kNtscFramesPerSecond), 0.5f);

    // No time is ever undefined.
    for (float d : {0.0f, -2.0f, std::numeric_limits<float>::infinity(), std::nanf("")}) {
        EXPECT_EQ(FrameTime(0, d), 0.0f);
        EXPECT_EQ(FrameTime(5, d), 0.0f);
    }
}

TEST(Animation, TheLastFrameOfAPlayEndsExactlyOnTheLastKey)
{
    // Times added up in single precision fall short of 1 and the detail
    // would end at 5.
    Layer layer = Animated({0.0f, 1.0f}, {3, 6});
    const int frames = FrameCount(FrameRun::Play, 4.0f);
    InterpolateLayerAt(layer, FrameTime(frames - 1, 4.0f), {.lastFrame = true});
    EXPECT_EQ(+layer.rec.detail, 6);
    EXPECT_EQ(+layer.rec.turbulence, 10.0f);
}

TEST(Animation, InterpolatesAtAndBetweenKeys)
{
    const Layer layer = Animated({0.0f, 0.5f, 1.0f}, {3, 6, 1});
    EXPECT_EQ(TurbulenceAt(layer, 0.0f), 0.0f);
    EXPECT_EQ(TurbulenceAt(layer, 0.25f), 5.0f);
    EXPECT_EQ(TurbulenceAt(layer, 0.5f), 10.0f);  // the end of the first segment
    EXPECT_EQ(TurbulenceAt(layer, 0.75f), 15.0f);
    EXPECT_EQ(TurbulenceAt(layer, 1.0f), 20.0f);

    Layer l = layer;
    InterpolateLayerAt(l, 0.25f);
    EXPECT_EQ(+l.rec.detail, 4);  // 4.5 truncated
    EXPECT_EQ(+l.gradient->entries[3].startR, 0.05f);
    EXPECT_EQ(+l.gradient->entries[3].endB, 0.05f);
    EXPECT_EQ(+l.gradient->entries[3].start, +Gradient::Tiled().entries[3].start);
    EXPECT_EQ(+l.rec.reliefDetail, 7);  // playback leaves it
    EXPECT_EQ(+l.rec.material, 5);
    InterpolateLayerAt(l, 0.75f);
    EXPECT_EQ(+l.rec.detail, 3);  // 3.5

    InterpolateLayerAt(l, 0.75f, {.reliefDetail = true});
    EXPECT_EQ(+l.rec.reliefDetail, 150);
}

TEST(Animation, SegmentChoiceAtTheEdges)
{
    // Past the last key the last segment extrapolates (not the first).
    EXPECT_NEAR(TurbulenceAt(Animated({0.0f, 0.5f, 0.8f}), 0.9f), 10.0f + 10.0f * 0.4f / 0.3f, 1e-4);
    // Before the first key the first segment extrapolates.
    EXPECT_NEAR(TurbulenceAt(Animated({0.2f, 0.6f}), 0.0f), -5.0f, 1e-5);
    // The last frame takes the last segment from its first key on ...
    EXPECT_EQ(TurbulenceAt(Animated({0.0f, 0.5f, 1.0f}), 0.5f, {.lastFrame = true}), 10.0f);
    // ... but never reaches back to it from before that key.
    EXPECT_NEAR(TurbulenceAt(Animated({0.0f, 0.9f, 1.0f}), 0.8f, {.lastFrame = true}), 10.0f * 0.8f / 0.9f, 1e-5);
}

TEST(Animation, DegenerateKeysLeaveNoUndefinedField)
{
    // Two keys at one time, as Add Key leaves them: the earlier key.
    Layer same = Animated({0.0f, 0.0f, 1.0f});
    same.keys[1].rec.turbulence = 99.0f;
    EXPECT_EQ(TurbulenceAt(same, 0.0f), 0.0f);
    EXPECT_EQ(TurbulenceAt(same, 0.5f), 59.5f);

    // Fewer than two keys, or no time: nothing changes.
    for (Layer l : {Animated({}), Animated({0.5f})}) {
        l.rec.turbulence = 3.0f;
        EXPECT_EQ(TurbulenceAt(l, 0.5f), 3.0f);
    }
    EXPECT_EQ(TurbulenceAt(Animated({0.0f, 1.0f}), std::nanf("")), 0.0f);
    // A key count beyond the keys held reads no key that does not exist.
    Layer overcounted = Animated({0.0f, 1.0f});
    overcounted.rec.keyCount = 40;
    EXPECT_EQ(TurbulenceAt(overcounted, 0.5f), 5.0f);

    // Extrapolated integers stay within their fields.
    Layer wide = Animated({0.0f, 0.001f}, {0, 30000});
    wide.keys[1].rec.reliefDetail = std::numeric_limits<int32_t>::max();
    wide.keys[0].rec.reliefDetail = std::numeric_limits<int32_t>::min();
    InterpolateLayerAt(wide, 1000.0f, {.reliefDetail = true});
    EXPECT_EQ(+wide.rec.detail, std::numeric_limits<int16_t>::max());
    EXPECT_EQ(+wide.rec.reliefDetail, std::numeric_limits<int32_t>::max());
    InterpolateLayerAt(wide, -1000.0f, {.reliefDetail = true});
    EXPECT_EQ(+wide.rec.detail, std::numeric_limits<int16_t>::min());
    EXPECT_EQ(+wide.rec.reliefDetail, std::numeric_limits<int32_t>::min());
}

TEST(Animation, InsertingAndDeletingKeysKeepsTheirFields)
{
    Layer layer = Animated({0.0f, 1.0f});
    const Layer before = layer;

    // Add Key on key 0: times 0, 0, 1 and the copy is current.
    EXPECT_EQ(InsertKey(layer, 0), 1);
    ASSERT_EQ(layer.keys.size(), 3u);
    EXPECT_EQ(+layer.rec.keyCount, 3);
    EXPECT_TRUE(SameBytes(layer.keys[1].rec, before.keys[0].rec));
    EXPECT_TRUE(SameBytes(layer.keys[2].rec, before.keys[1].rec));
    layer.keys[1].gradient.entries[0].startR = 0.7f;  // the copy's own gradient
    EXPECT_EQ(+layer.keys[0].gradient.entries[0].startR, 0.0f);
    EXPECT_EQ(InsertKey(layer, 3), -1);
    EXPECT_EQ(InsertKey(layer, -1), -1);

    // Del Key on the last of three keys: key 1 becomes current.
    layer.keys[1].rec.time = 0.5f;
    Layer three = layer;
    EXPECT_EQ(DeleteKey(layer, 2), 1);
    ASSERT_EQ(+layer.rec.keyCount, 2);
    EXPECT_TRUE(SameBytes(layer.keys[1].rec, three.keys[1].rec));
    EXPECT_EQ(DeleteKey(layer, 0), -1);  // two keys stay

    // Del Key on the first key: the second becomes key 0 and current.
    EXPECT_EQ(DeleteKey(three, 0), 0);
    EXPECT_TRUE(SameBytes(three.keys[0].rec, layer.keys[1].rec));
    EXPECT_EQ(+three.keys[0].gradient.entries[0].startR, 0.7f);
}

TEST(Animation, LoadingAKeyCopiesItsMirroredFieldsOnly)
{
    Layer layer = Animated({0.0f, 0.5f, 1.0f}, {0, 9, 0});
    Keyframe& key = layer.keys[1];
    std::memset(key.rec.unused16, 0xAB, sizeof key.rec.unused16);
    key.rec.lightR = 0.25f;
    key.gradient.entries[2].start = 0.3f;

    ASSERT_TRUE(LoadKeyIntoLayer(layer, 1));
    EXPECT_EQ(+layer.rec.turbulence, 10.0f);
    EXPECT_EQ(+layer.rec.detail, 9);
    EXPECT_EQ(+layer.rec.lightR, 0.25f);
    EXPECT_EQ(+layer.rec.reliefDetail, 100);
    EXPECT_EQ(+layer.gradient->entries[2].start, 0.3f);
    EXPECT_EQ(+layer.gradient->entries[2].startR, 0.1f);
    EXPECT_EQ(+layer.rec.reserved18[0], 0);
    EXPECT_EQ(+layer.rec.material, 5);
    EXPECT_EQ(+layer.rec.keyCount, 3);

    EXPECT_FALSE(LoadKeyIntoLayer(layer, 3));
    EXPECT_FALSE(LoadKeyIntoLayer(layer, -1));
}
