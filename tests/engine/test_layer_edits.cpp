// The rules by which the editor changes a layer, without a window.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/Animation.h"
#include "engine/LayerEdits.h"
#include "engine/PatternNames.h"

using namespace morvane;

namespace {

const MaterialPresets& Presets() { return MaterialPresetTable(); }

constexpr int kWood = 2;
constexpr int kRipplesImage = 26;

// A layer of preset `material` animated with two keys, with a picture path
// and a relief of its own.
Layer EditedLayer(int material)
{
    Layer layer = LayerFromPreset(Presets()[static_cast<size_t>(material)]);
    layer.SetPicturePath("\\kvo\\old.tga");
    layer.rec.relief = 4;
    layer.rec.lightDirX = 0.25f;
    SetAnimated(layer, true);
    return layer;
}

void ExpectGradientOf(const Layer& layer, int material)
{
    ASSERT_TRUE(layer.gradient);
    const Gradient& want = *Presets()[static_cast<size_t>(material)].gradient;
    for (int j = 0; j < kGradientEntries; ++j) {
        const GradientEntry& a = layer.gradient->entries[static_cast<size_t>(j)];
        const GradientEntry& b = want.entries[static_cast<size_t>(j)];
        EXPECT_EQ(+a.start, +b.start) << j;
        EXPECT_EQ(+a.end, +b.end) << j;
        EXPECT_EQ(+a.startR, +b.startR) << j;
        EXPECT_EQ(+a.endB, +b.endB) << j;
    }
}

}  // namespace

TEST(LayerEdits, AMaterialTakesItsPresetsPatternFieldsFoldsAndGradientAndDropsThePicture)
{
    Layer layer = EditedLayer(1);
    const LayerRecord& wood = Presets()[kWood].rec;
    EXPECT_EQ(ApplyMaterial(layer, Presets(), kWood, [](Layer&) {
        ADD_FAILURE() << "no picture is asked for";
        return false;
    }), kWood);
    EXPECT_EQ(+layer.rec.material, kWood);
    for (auto [got, want] : {std::pair{+layer.rec.turbulence, +wood.turbulence}, {+layer.rec.scaleX, +wood.scaleX},
                             {+layer.rec.scaleZ, +wood.scaleZ}, {+layer.rec.offsetY, +wood.offsetY},
                             {+layer.rec.lacunarity, +wood.lacunarity}, {+layer.rec.omega, +wood.omega},
                             {+layer.rec.foldX, +wood.foldX}, {+layer.rec.foldZ, +wood.foldZ}})
        EXPECT_EQ(got, want);
    EXPECT_EQ(+layer.rec.detail, +wood.detail);
    EXPECT_EQ(layer.PicturePath(), "");
    ExpectGradientOf(layer, kWood);
    // What the preset does not name stays: relief, light, animation.
    EXPECT_EQ(+layer.rec.relief, 4);
    EXPECT_EQ(+layer.rec.lightDirX, 0.25f);
    EXPECT_EQ(KeyCount(layer), 2);

    // A layer without a gradient gets one.
    Layer plain = EditedLayer(1);
    plain.gradient.reset();
    ApplyMaterial(plain, Presets(), kWood, {});
    ExpectGradientOf(plain, kWood);
}

TEST(LayerEdits, APictureMaterialAsksForItsPictureAndFallsBackToMarbleWithoutOne)
{
    // A picture chosen: the material stays, the format is the free one and
    // the folds are the layer's own.
    Layer layer = EditedLayer(kWood);
    const float fold = layer.rec.foldY;
    const int shown = ApplyMaterial(layer, Presets(), kRipplesImage, [](Layer& l) {
        EXPECT_EQ(l.PicturePath(), "");  // the old picture is gone first
        l.SetPicturePath("\\kvo\\new.tga");
        return true;
    });
    EXPECT_EQ(shown, kRipplesImage);
    EXPECT_EQ(+layer.rec.material, kRipplesImage);
    EXPECT_EQ(layer.PicturePath(), "\\kvo\\new.tga");
    EXPECT_EQ(+layer.rec.formatIndex, 12);
    EXPECT_EQ(+layer.rec.foldY, fold);
    ExpectGradientOf(layer, kRipplesImage);

    // None chosen: Marble's number and gradient, the picture preset's fields.
    Layer fallback = EditedLayer(kWood);
    const int16_t format = fallback.rec.formatIndex;
    EXPECT_EQ(ApplyMaterial(fallback, Presets(), kRipplesImage, [](Layer&) { return false; }), kMarble);
    EXPECT_EQ(+fallback.rec.material, kMarble);
    EXPECT_EQ(+fallback.rec.scaleX, +Presets()[kRipplesImage].rec.scaleX);
    EXPECT_EQ(+fallback.rec.formatIndex, format);
    ExpectGradientOf(fallback, kMarble);
}

TEST(LayerEdits, AReliefStartsItsParametersAfresh)
{
    Layer layer = EditedLayer(kWood);
    layer.rec.reliefIntensity = 17.0f;
    layer.rec.reliefDetail = 3;
    ChooseRelief(layer.rec, 9);
    EXPECT_EQ(+layer.rec.relief, 9);
    EXPECT_EQ(+layer.rec.reliefIntensity, 5.0f);
    EXPECT_EQ(+layer.rec.reliefDetail, 10);
}

TEST(LayerEdits, AFieldTheKeysMirrorIsWrittenToTheCurrentKeyToo)
{
    Layer layer = EditedLayer(kWood);
    Keyframe& key = layer.keys[1];
    const KeyframeRecord other = layer.keys[0].rec;

    EXPECT_TRUE(SetLayerField(layer, &key, offsetof(LayerRecord, turbulence), 0.25f));
    EXPECT_TRUE(SetLayerField<int16_t>(layer, &key, offsetof(LayerRecord, detail), 7));
    EXPECT_TRUE(SetLayerField<int32_t>(layer, &key, offsetof(LayerRecord, reliefDetail), 12));
    EXPECT_EQ(+layer.rec.turbulence, 0.25f);
    EXPECT_EQ(+key.rec.turbulence, 0.25f);
    EXPECT_EQ(+key.rec.detail, 7);
    EXPECT_EQ(+key.rec.reliefDetail, 12);
    EXPECT_EQ(std::memcmp(&layer.keys[0].rec, &other, sizeof other), 0);

    // A field the keys do not hold stays in the layer; no key, no mirror;
    // an offset past the record writes nothing.
    const KeyframeRecord before = key.rec;
    EXPECT_TRUE(SetLayerField<int8_t>(layer, &key, offsetof(LayerRecord, material), 5));
    EXPECT_EQ(+layer.rec.material, 5);
    EXPECT_TRUE(SetLayerField(layer, nullptr, offsetof(LayerRecord, omega), 0.5f));
    EXPECT_EQ(std::memcmp(&key.rec, &before, sizeof before), 0);
    EXPECT_FALSE(SetLayerField(layer, &key, sizeof(LayerRecord) - 2, 1.0f));

    // The colour bars: bytes to values by what they edit, layer and key.
    SetLayerColour(layer, &key, LayerColour::Brilliance, 255, 0, 51);
    EXPECT_EQ(+key.rec.brillianceR, 200.0f);
    EXPECT_EQ(+layer.rec.brillianceB, 51.0f * (200.0f / 255.0f));
    SetLayerColour(layer, &key, LayerColour::Reflection, 255, 128, 0);
    EXPECT_EQ(+key.rec.reflectG, 128.0f * (1.0f / 255.0f));
    SetLayerColour(layer, &key, LayerColour::Light, 0, 0, 255);
    EXPECT_EQ(+layer.rec.lightB, 1.0f);
    SetLightDirection(layer, &key, -0.5f, 2.0f);
    EXPECT_EQ(+key.rec.lightDirX, -0.5f);
    EXPECT_EQ(+key.rec.lightDirY, 2.0f);

    // A drag moves the pattern with the mouse, in the key too; an image
    // size of 0 leaves its offset.
    layer.rec.width = 200;
    layer.rec.height = 0;
    const float x = layer.rec.offsetX, y = layer.rec.offsetY;
    MoveLayer(layer, &key, 50, 10, 10, 90);
    EXPECT_EQ(+layer.rec.offsetX, x + 40.0f / 200.0f);
    EXPECT_EQ(+key.rec.offsetX, +layer.rec.offsetX);
    EXPECT_EQ(+layer.rec.offsetY, y);
}

TEST(LayerEdits, AGradientBoundarySetsTheEntriesOnBothSidesOfIt)
{
    Layer layer = EditedLayer(kWood);
    Keyframe& key = layer.keys[1];
    SetGradientBoundary(layer, &key, 5, {0.1f, 0.2f, 0.3f});
    for (const Gradient* g : {&*layer.gradient, &key.gradient}) {
        EXPECT_EQ(+g->entries[5].startG, 0.2f);
        EXPECT_EQ(+g->entries[4].endB, 0.3f);
        EXPECT_NE(+g->entries[5].endR, 0.1f);
    }
    SetGradientBoundary(layer, &key, 23, {1.0f, 1.0f, 1.0f});
    EXPECT_EQ(+layer.gradient->entries[23].endR, 1.0f);
    EXPECT_EQ(+key.gradient.entries[23].startB, 1.0f);
    EXPECT_EQ(+layer.gradient->entries[22].endG, 1.0f);
}

TEST(LayerEdits, TheStackAndTheAnimation)
{
    Texture texture = NewTexture(Presets());
    // Over other layers a new layer brings no light; alone it keeps Marble's.
    EXPECT_GT(+NewLayer(Presets(), false).layer.rec.lightR, 0.0f);
    const LayerSlot added = NewLayer(Presets(), true);
    EXPECT_EQ(+added.layer.rec.material, kMarble);
    EXPECT_EQ(+added.layer.rec.lightG, 0.0f);
    EXPECT_EQ(added.blendMode, 1);
    EXPECT_FALSE(HasRoomForLayers(texture, kMostLayers));
    while (HasRoomForLayers(texture)) texture.layers.push_back(added);
    EXPECT_EQ(texture.LayerCount(), kMostLayers);

    // Deleting: the layer that followed is current; after the last, the one
    // before; the last layer of all stays.
    EXPECT_EQ(DeleteLayer(texture, 2), 3);
    EXPECT_EQ(DeleteLayer(texture, 6), 6);
    EXPECT_EQ(texture.LayerCount(), 6);
    texture.layers.resize(1);
    EXPECT_EQ(DeleteLayer(texture, 0), 0);
    EXPECT_EQ(texture.LayerCount(), 1);

    // Animate: two keys of the layer as it is, at the start and the end of
    // four seconds; a key moves only between its neighbours.
    Layer& layer = texture.layers[0].layer;
    SetAnimated(layer, true);
    EXPECT_EQ(KeyCount(layer), 2);
    EXPECT_EQ(+layer.rec.duration, 4.0f);
    EXPECT_EQ(+layer.keys[1].rec.time, 1.0f);
    EXPECT_EQ(+layer.keys[0].rec.scaleX, +layer.rec.scaleX);
    EXPECT_FALSE(MoveKey(layer, 1, 0.5f));  // the last key stays
    ASSERT_EQ(InsertKey(layer, 0), 1);
    layer.keys[1].rec.time = 0.5f;
    EXPECT_TRUE(MoveKey(layer, 1, 0.75f));
    EXPECT_FALSE(MoveKey(layer, 1, 1.0f));
    EXPECT_EQ(+layer.keys[1].rec.time, 0.75f);
    SetAnimated(layer, false);
    EXPECT_EQ(+layer.rec.animated, 0);
    EXPECT_EQ(KeyCount(layer), 3);
}
