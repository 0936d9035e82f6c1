#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "engine/Records.h"

using namespace morvane;

namespace {

Layer SampleLayer()
{
    Layer l;
    l.rec.material = 1;
    l.rec.relief = 3;
    l.rec.turbulence = 0.75f;
    l.rec.detail = 6;
    l.rec.scaleX = 2.5f;
    l.rec.lightDirZ = 1.6f;
    l.rec.offsetX = 0.125f;
    l.rec.reliefOffsetZ = 3.0f;
    l.rec.lacunarity = 2.0f;
    l.rec.omega = 0.5f;
    l.rec.reliefDetail = 10;
    l.rec.width = 160;
    l.rec.height = 120;
    l.gradient = Gradient::Tiled();
    for (int j = 0; j < kGradientEntries; ++j) {
        l.gradient->entries[j].startR = j / 24.0f;
        l.gradient->entries[j].endB = 1.0f - j / 24.0f;
    }
    l.SetPicture(2, 2, std::vector<uint8_t>(16, 7));
    l.SetPicturePath("C:\\pics\\a.tga");
    return l;
}

}  // namespace

TEST(Records, TiledGradientJoinsAtTheRightPlaces)
{
    const Gradient g = Gradient::Tiled();
    EXPECT_EQ(+g.head.count, 24);
    EXPECT_EQ(+g.entries[0].start, 0.0f);
    EXPECT_EQ(+g.entries[11].end, 0.5f);
    EXPECT_EQ(+g.entries[12].start, 0.5f);
    EXPECT_EQ(+g.entries[23].end, 1.0f);
    for (int j = 1; j < kGradientEntries; ++j) EXPECT_EQ(+g.entries[j].start, +g.entries[j - 1].end);
}

TEST(Records, CopiesAreDeepAndShareTheirPicture)
{
    Texture t;
    t.layers.resize(2);
    t.layers[1].layer = SampleLayer();
    t.layers[1].layer.keys.push_back(MakeKey(t.layers[1].layer));

    Texture copy = t;
    copy.layers[1].layer.gradient->entries[3].startR = 0.9f;
    copy.layers[1].layer.keys[0].gradient.entries[3].startG = 0.9f;
    copy.layers[1].colorKey.keyR = 0.5f;
    // The picture is never changed in place: the copy shares it, and a
    // picture put into the copy leaves the original's as it was.
    EXPECT_EQ(copy.layers[1].layer.picture, t.layers[1].layer.picture);
    copy.layers[1].layer.SetPicture(1, 1, {99, 99, 99, 0});

    EXPECT_NE(+t.layers[1].layer.gradient->entries[3].startR, 0.9f);
    EXPECT_NE(+t.layers[1].layer.keys[0].gradient.entries[3].startG, 0.9f);
    EXPECT_EQ(t.layers[1].layer.Pixels(), std::vector<uint8_t>(16, 7));
    EXPECT_EQ(+t.layers[1].colorKey.keyR, 0.0f);
    EXPECT_EQ(copy.LayerCount(), 2);
}

TEST(Records, MirrorTableCoversExactlyTheAnimatedFields)
{
    std::set<size_t> layerOffsets;
    for (const auto& f : MirroredFields()) {
        EXPECT_TRUE(layerOffsets.insert(f.layerOffset).second) << f.name;
        EXPECT_EQ(FindMirroredField(f.layerOffset), &f);
    }
    EXPECT_EQ(layerOffsets.size(), 35u);
    // Not animated.
    for (size_t off : {offsetof(LayerRecord, material), offsetof(LayerRecord, relief),
                       offsetof(LayerRecord, width), offsetof(LayerRecord, animated),
                       offsetof(LayerRecord, keyCount), offsetof(LayerRecord, duration),
                       offsetof(LayerRecord, picturePath), offsetof(LayerRecord, reserved18)}) {
        EXPECT_EQ(FindMirroredField(off), nullptr) << off;
    }
    const MirroredField* omega = FindMirroredField(offsetof(LayerRecord, omega));
    ASSERT_NE(omega, nullptr);
    EXPECT_EQ(omega->keyOffset, 158);
    EXPECT_EQ(FindMirroredField(offsetof(LayerRecord, detail))->type, FieldType::Int16);
}

TEST(Records, KeyRoundTripLeavesTheLayerUnchanged)
{
    const Layer original = SampleLayer();
    Keyframe key = MakeKey(original);
    EXPECT_EQ(+key.rec.turbulence, 0.75f);
    EXPECT_EQ(+key.rec.detail, 6);
    EXPECT_EQ(+key.rec.offsetX, 0.125f);
    EXPECT_EQ(+key.rec.reliefDetail, 10);
    EXPECT_EQ(+key.rec.time, 0.0f);

    Layer changed = original;
    changed.rec.turbulence = 0.1f;
    changed.rec.detail = 2;
    changed.rec.material = 9;
    changed.rec.width = 8;
    changed.gradient->entries[5].startR = 0.0f;
    LoadKey(key, changed);
    EXPECT_EQ(+changed.rec.turbulence, 0.75f);
    EXPECT_EQ(+changed.rec.detail, 6);
    EXPECT_EQ(+changed.rec.material, 9);  // untouched by keys
    EXPECT_EQ(+changed.rec.width, 8);
    EXPECT_EQ(+changed.gradient->entries[5].startR, +original.gradient->entries[5].startR);
    EXPECT_EQ(changed.PicturePath(), original.PicturePath());

    // Editing the key's gradient never touches the layer's.
    key.gradient.entries[0].startR = 0.3f;
    EXPECT_EQ(+original.gradient->entries[0].startR, 0.0f);
}

TEST(Records, PicturePathStopsAtNulOrFieldEnd)
{
    Layer l;
    std::memset(l.rec.picturePath, 'x', sizeof l.rec.picturePath);  // no NUL at all
    EXPECT_EQ(l.PicturePath().size(), 256u);
    l.SetPicturePath(std::string(300, 'y'));
    EXPECT_EQ(l.PicturePath().size(), 255u);
    l.SetPicturePath("a.tga");
    EXPECT_EQ(l.PicturePath(), "a.tga");
    EXPECT_EQ(+l.rec.picturePath[6], '\0');
}
