// The rules by which the editor changes a layer: what choosing a material
// or a relief sets, how a field and the current key's copy of it change
// together, what a drag moves or turns, what a new layer starts as.  The
// panels and the view translate the user's input into one of these calls
// (through the editing session, which also marks the document modified).
//
// `key` is the current key of an animated layer, or null: a field the keys
// mirror (MirroredFields in engine/Records.h) is written to the layer and
// to that key.  Nothing here checks that `key` belongs to `layer`.
#pragma once

#include <array>
#include <cstddef>
#include <functional>

#include "engine/Presets.h"
#include "engine/Records.h"

namespace morvane {

// --- Fields --------------------------------------------------------------

// Writes a field of the layer record (T float, int8_t, int16_t or int32_t
// at a LayerRecord byte offset) and, when the keys mirror it, the same
// field of `key`.  False, and nothing written, for an offset past the
// record.
template <class T>
bool SetLayerField(Layer& layer, Keyframe* key, size_t offset, T value)
{
    if (offset + sizeof(T) > sizeof(LayerRecord)) return false;
    WriteField(layer.rec, offset, value);
    if (key) {
        if (const MirroredField* f = FindMirroredField(offset)) CopyMirrored(*f, layer.rec, key->rec);
    }
    return true;
}

// The fields of a layer's slot (none is animated).
enum class SlotField { Orientation, ReliefOrientation, BlendCoef };
void SetSlotField(LayerSlot& slot, SlotField field, float value);

// Blend mode `mode` (0 "Transparency" .. 5 "Color Key"); false when it is
// no mode or the slot's already.
bool SetBlendMode(LayerSlot& slot, int mode);

// The colour key (channels 0..1); it is not animated.
void SetColorKey(LayerSlot& slot, float red, float green, float blue);

// --- Material and relief ---------------------------------------------------

// Chooses `material` (0 .. kPresetCount - 1): the layer takes the preset's
// number and pattern fields (turbulence, detail, the three scales and
// offsets, lacunarity, omega) and loses its picture path.  A material
// that takes no picture takes the preset's three folds too; one that does
// calls `choosePicture`, which puts a picture into the layer, or returns
// false when the user chose none: the layer's material is then Marble
// (its pattern fields stay those of the chosen preset).  A picture chosen
// makes the layer's format the free one (index 12).  Last, the layer
// takes the gradient of the material it ended with, positions and colours
// entry by entry (a layer without a gradient gets the tiled one first).
// Returns that material.
int ApplyMaterial(Layer& layer, const MaterialPresets& presets, int material,
                  const std::function<bool(Layer&)>& choosePicture);

// Chooses relief `relief`: its number, and the relief parameters afresh
// (ResetReliefParameters).
void ChooseRelief(LayerRecord& rec, int relief);

// --- Colours and light of the lighting and reflection dialogs -------------

// Which colour of the layer a colour bar edits, and its factor from a byte.
enum class LayerColour {
    Light,       // lightR, G, B = byte x (1/255)
    Brilliance,  // brillianceR, G, B = byte x (200/255)
    Reflection,  // reflectR, G, B = byte x (1/255)
};
void SetLayerColour(Layer& layer, Keyframe* key, LayerColour which, int red, int green, int blue);

// The light direction's x and y (z stays).
void SetLightDirection(Layer& layer, Keyframe* key, float x, float y);

// --- Gradient --------------------------------------------------------------

// The colour of boundary k (0 .. 23) of a gradient: entry k's start, entry
// k-1's end and, for the last boundary, entry 23's end as well; positions
// never change.  Written into the layer's gradient (when it has one) and
// the key's.
void SetGradientBoundary(Layer& layer, Keyframe* key, int k, const std::array<float, 3>& rgb);

// --- Moving and turning ----------------------------------------------------

// A drag of the view from `fromX, fromY` to `toX, toY` (window pixels, y
// down): the pattern follows the mouse, one image width (height) of drag
// moving it by 1.  An image size of 0 leaves that offset as it is.
void MoveLayer(Layer& layer, Keyframe* key, int fromX, int fromY, int toX, int toY);

// A horizontal drag from `fromX` to `toX`: 720 pixels to the left are one
// turn anticlockwise.
void TurnLayer(LayerSlot& slot, int fromX, int toX);

// --- Animation -------------------------------------------------------------

// Switches the animation on (two keys holding the layer as it is, at the
// start and the end of four seconds) or off (the keys stay).
void SetAnimated(Layer& layer, bool on);

// Moves key k to `time` (a fraction of the duration) when that keeps it
// strictly between its neighbours; the first and the last key stay.  True
// when it moved.
bool MoveKey(Layer& layer, int k, float time);

// --- The stack of layers -----------------------------------------------------

constexpr int kMostLayers = 8;

// Whether a texture can take `count` more layers.
bool HasRoomForLayers(const Texture& texture, int count = 1);

// A new layer: Marble from its preset, blend coefficient 1, "Additive", no
// turn, a black colour key; over other layers it brings no light of its
// own.
LayerSlot NewLayer(const MaterialPresets& presets, bool overOthers);

// Deletes layer `index` (0-based) of a texture of at least two layers.
// Returns the layer (1-based) that becomes current: the one that followed,
// or after the last the one before; 0, and nothing deleted, otherwise.
int DeleteLayer(Texture& texture, int index);

}  // namespace morvane
