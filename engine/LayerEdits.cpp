#include "engine/LayerEdits.h"

#include <algorithm>

#include "engine/Animation.h"
#include "engine/PatternNames.h"

namespace morvane {

void SetSlotField(LayerSlot& slot, SlotField field, float value)
{
    switch (field) {
    case SlotField::Orientation: slot.orientation = value; break;
    case SlotField::ReliefOrientation: slot.reliefOrientation = value; break;
    case SlotField::BlendCoef: slot.blendCoef = value; break;
    }
}

bool SetBlendMode(LayerSlot& slot, int mode)
{
    if (mode < 0 || mode == slot.blendMode) return false;
    slot.blendMode = mode;
    return true;
}

void SetColorKey(LayerSlot& slot, float red, float green, float blue)
{
    slot.colorKey.keyR = red;
    slot.colorKey.keyG = green;
    slot.colorKey.keyB = blue;
}

// ---------------------------------------------------------------------------
// Material and relief

namespace {

// The preset's pattern fields and number.
void TakePatternFields(LayerRecord& r, const LayerRecord& p, int material)
{
    r.material = static_cast<int8_t>(material);
    r.turbulence = p.turbulence;
    r.detail = p.detail;
    r.scaleX = p.scaleX;
    r.scaleY = p.scaleY;
    r.scaleZ = p.scaleZ;
    r.offsetX = p.offsetX;
    r.offsetY = p.offsetY;
    r.offsetZ = p.offsetZ;
    r.lacunarity = p.lacunarity;
    r.omega = p.omega;
}

// The positions and colours of every entry of `source`; the layer's head
// and reserved bytes stay.
void TakeGradient(Layer& layer, const Gradient& source)
{
    if (!layer.gradient) layer.gradient = Gradient::Tiled();
    CopyGradientEntries(source, *layer.gradient);
}

}  // namespace

int ApplyMaterial(Layer& layer, const MaterialPresets& presets, int material,
                  const std::function<bool(Layer&)>& choosePicture)
{
    const LayerRecord& preset = presets[static_cast<size_t>(material)].rec;
    TakePatternFields(layer.rec, preset, material);
    layer.SetPicturePath(std::string());
    if (!IsPictureMaterial(material)) {
        layer.rec.foldX = preset.foldX;
        layer.rec.foldY = preset.foldY;
        layer.rec.foldZ = preset.foldZ;
    } else if (choosePicture && choosePicture(layer)) {
        layer.rec.formatIndex = kFreeFormatIndex;
    } else {
        layer.rec.material = kMarble;
        material = kMarble;
    }
    const Layer& shown = presets[static_cast<size_t>(material)];
    TakeGradient(layer, shown.gradient ? *shown.gradient : Gradient::Tiled());
    return material;
}

void ChooseRelief(LayerRecord& rec, int relief)
{
    rec.relief = static_cast<int8_t>(relief);
    ResetReliefParameters(rec);
}

// ---------------------------------------------------------------------------
// Colours and light

void SetLayerColour(Layer& layer, Keyframe* key, LayerColour which, int red, int green, int blue)
{
    size_t offset = offsetof(LayerRecord, lightR);
    float factor = 1.0f / 255.0f;
    if (which == LayerColour::Brilliance) {
        offset = offsetof(LayerRecord, brillianceR);
        factor = 200.0f / 255.0f;
    } else if (which == LayerColour::Reflection) {
        offset = offsetof(LayerRecord, reflectR);
    }
    const int bytes[3] = {red, green, blue};
    for (size_t i = 0; i < 3; ++i) SetLayerField(layer, key, offset + 4 * i, static_cast<float>(bytes[i]) * factor);
}

void SetLightDirection(Layer& layer, Keyframe* key, float x, float y)
{
    SetLayerField(layer, key, offsetof(LayerRecord, lightDirX), x);
    SetLayerField(layer, key, offsetof(LayerRecord, lightDirY), y);
}

// ---------------------------------------------------------------------------
// Gradient

namespace {

void WriteBoundary(Gradient& g, int k, const std::array<float, 3>& rgb)
{
    auto& e = g.entries;
    const size_t i = static_cast<size_t>(k);
    e[i].startR = rgb[0];
    e[i].startG = rgb[1];
    e[i].startB = rgb[2];
    if (k > 0) {
        e[i - 1].endR = rgb[0];
        e[i - 1].endG = rgb[1];
        e[i - 1].endB = rgb[2];
    }
    if (k == kGradientEntries - 1) {
        e[i].endR = rgb[0];
        e[i].endG = rgb[1];
        e[i].endB = rgb[2];
    }
}

}  // namespace

void SetGradientBoundary(Layer& layer, Keyframe* key, int k, const std::array<float, 3>& rgb)
{
    if (k < 0 || k >= kGradientEntries) return;
    if (layer.gradient) WriteBoundary(*layer.gradient, k, rgb);
    if (key) WriteBoundary(key->gradient, k, rgb);
}

// ---------------------------------------------------------------------------
// Moving and turning

void MoveLayer(Layer& layer, Keyframe* key, int fromX, int fromY, int toX, int toY)
{
    const int width = StoredImageWidth(layer.rec);
    const int height = StoredImageHeight(layer.rec);
    float x = layer.rec.offsetX;
    float y = layer.rec.offsetY;
    if (width != 0) x = x + static_cast<float>(fromX - toX) / static_cast<float>(width);
    if (height != 0) y = y - static_cast<float>(fromY - toY) / static_cast<float>(height);
    SetLayerField(layer, key, offsetof(LayerRecord, offsetX), x);
    SetLayerField(layer, key, offsetof(LayerRecord, offsetY), y);
}

void TurnLayer(LayerSlot& slot, int fromX, int toX) { slot.orientation += static_cast<float>(fromX - toX) / 720.0f; }

// ---------------------------------------------------------------------------
// Animation

void SetAnimated(Layer& layer, bool on)
{
    layer.rec.animated = on ? 1 : 0;
    if (!on) return;
    layer.rec.keyCount = 2;
    layer.rec.duration = 4.0f;
    layer.keys = {MakeKey(layer), MakeKey(layer)};
    layer.keys[0].rec.time = 0.0f;
    layer.keys[1].rec.time = 1.0f;
}

bool MoveKey(Layer& layer, int k, float time)
{
    const int count = KeyCount(layer);
    if (k <= 0 || k >= count - 1) return false;
    auto& keys = layer.keys;
    const size_t i = static_cast<size_t>(k);
    if (!(keys[i - 1].rec.time < time && time < keys[i + 1].rec.time) || time == keys[i].rec.time) return false;
    keys[i].rec.time = time;
    return true;
}

// ---------------------------------------------------------------------------
// The stack of layers

bool HasRoomForLayers(const Texture& texture, int count) { return texture.LayerCount() + count <= kMostLayers; }

LayerSlot NewLayer(const MaterialPresets& presets, bool overOthers)
{
    LayerSlot slot;
    slot.layer = LayerFromPreset(presets[kMarble]);
    if (overOthers) slot.layer.rec.lightR = slot.layer.rec.lightG = slot.layer.rec.lightB = 0.0f;
    return slot;
}

int DeleteLayer(Texture& texture, int index)
{
    if (texture.LayerCount() < 2 || index < 0 || index >= texture.LayerCount()) return 0;
    texture.layers.erase(texture.layers.begin() + index);
    return std::min(index + 1, texture.LayerCount());
}

}  // namespace morvane
