// The texture model: packed little-endian byte images of the records that
// the program's files store, and the owning types that hold a texture in
// memory.
//
// The packed records are exactly the bytes of the files.  Their pointer
// fields are 32-bit values that files carry but that nothing ever uses: in
// memory the real storage lives in the owning types (Gradient, Keyframe,
// Layer, LayerSlot, Texture), which copy deeply by value, all but a layer's
// picture, which is never changed in place and so is shared.
//
// Never take the address or a reference of a packed member: read and write
// packed fields by value only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

static_assert(sizeof(float) == 4 && sizeof(int) == 4, "32-bit float and int expected");

namespace morvane {

// A pointer slot as stored in a file: 4 bytes, never dereferenced.
using FileRef = uint32_t;

constexpr int kGradientEntries = 24;

#pragma pack(push, 1)

struct GradientEntry {
    float start;
    float end;
    float startR;
    float startG;
    float startB;
    uint8_t reserved1[4];
    float endR;
    float endG;
    float endB;
    uint8_t reserved2[4];
};

struct GradientTable {  // the 8-byte head of a gradient
    int16_t count;
    FileRef entries;
    uint8_t reserved[2];
};

struct ColorKeyRecord {
    float keyR;
    float keyG;
    float keyB;
    uint8_t reserved[4];
};

// The layer's formatIndex of a size chosen freely in the Image Format
// dialog (0 .. 11 are its fixed sizes).
constexpr int kFreeFormatIndex = 12;

struct LayerRecord {
    int8_t material;
    int8_t relief;
    float reserved2;
    float frequency;
    float phase;
    float reliefIntensity;
    uint8_t reserved18[4];
    uint8_t reserved22[4];
    float turbulence;
    float foldX;
    float foldY;
    float foldZ;
    FileRef gradient;
    int16_t detail;
    float mortar;
    float scaleX;
    float scaleY;
    float scaleZ;
    float reliefScaleX;
    float reliefScaleY;
    float reliefScaleZ;
    float lightDirX;
    float lightDirY;
    float lightDirZ;
    float brillianceR;
    float brillianceG;
    float brillianceB;
    uint8_t reserved100[4];
    float reflectR;
    float reflectG;
    float reflectB;
    uint8_t reserved116[4];
    float lightR;
    float lightG;
    float lightB;
    uint8_t reserved132[4];
    int16_t width;
    int16_t height;
    int16_t formatIndex;
    float offsetX;
    float offsetY;
    float offsetZ;
    int32_t animated;
    int32_t keyCount;
    float duration;
    FileRef keys;
    float reliefOffsetZ;
    char picturePath[256];
    FileRef pixels;
    float lacunarity;
    float omega;
    int32_t reliefDetail;
};

// One animation key: the animated layer fields at their layer offset minus
// 2 (bytes 0..133), then the fields that lie further on in the layer.
struct KeyframeRecord {
    float reserved2;
    float frequency;
    float phase;
    float reliefIntensity;
    uint8_t unused16[8];
    float turbulence;
    float foldX;
    float foldY;
    float foldZ;
    FileRef gradient;
    int16_t detail;
    float mortar;
    float scaleX;
    float scaleY;
    float scaleZ;
    float reliefScaleX;
    float reliefScaleY;
    float reliefScaleZ;
    float lightDirX;
    float lightDirY;
    float lightDirZ;
    float brillianceR;
    float brillianceG;
    float brillianceB;
    uint8_t reserved98[4];
    float reflectR;
    float reflectG;
    float reflectB;
    uint8_t reserved114[4];
    float lightR;
    float lightG;
    float lightB;
    uint8_t reserved130[4];
    float offsetX;
    float offsetY;
    float offsetZ;
    float time;
    float reliefOffsetZ;
    float lacunarity;
    float omega;
    int32_t reliefDetail;
};

struct TextureRecord {
    uint8_t reserved[256];
    int32_t layerCount;
    FileRef blendCoef;
    FileRef blendMode;
    FileRef colorKey;
    FileRef layers;
    FileRef orientation;
    FileRef reliefOrientation;
};

#pragma pack(pop)

static_assert(sizeof(GradientEntry) == 40);
static_assert(offsetof(GradientEntry, start) == 0);
static_assert(offsetof(GradientEntry, end) == 4);
static_assert(offsetof(GradientEntry, startR) == 8);
static_assert(offsetof(GradientEntry, startG) == 12);
static_assert(offsetof(GradientEntry, startB) == 16);
static_assert(offsetof(GradientEntry, endR) == 24);
static_assert(offsetof(GradientEntry, endG) == 28);
static_assert(offsetof(GradientEntry, endB) == 32);

static_assert(sizeof(GradientTable) == 8);
static_assert(offsetof(GradientTable, count) == 0);
static_assert(offsetof(GradientTable, entries) == 2);
static_assert(offsetof(GradientTable, reserved) == 6);

static_assert(sizeof(ColorKeyRecord) == 16);
static_assert(offsetof(ColorKeyRecord, keyR) == 0);
static_assert(offsetof(ColorKeyRecord, keyG) == 4);
static_assert(offsetof(ColorKeyRecord, keyB) == 8);

static_assert(sizeof(LayerRecord) == 446);
static_assert(offsetof(LayerRecord, material) == 0);
static_assert(offsetof(LayerRecord, relief) == 1);
static_assert(offsetof(LayerRecord, reserved2) == 2);
static_assert(offsetof(LayerRecord, frequency) == 6);
static_assert(offsetof(LayerRecord, phase) == 10);
static_assert(offsetof(LayerRecord, reliefIntensity) == 14);
static_assert(offsetof(LayerRecord, reserved18) == 18);
static_assert(offsetof(LayerRecord, reserved22) == 22);
static_assert(offsetof(LayerRecord, turbulence) == 26);
static_assert(offsetof(LayerRecord, foldX) == 30);
static_assert(offsetof(LayerRecord, foldY) == 34);
static_assert(offsetof(LayerRecord, foldZ) == 38);
static_assert(offsetof(LayerRecord, gradient) == 42);
static_assert(offsetof(LayerRecord, detail) == 46);
static_assert(offsetof(LayerRecord, mortar) == 48);
static_assert(offsetof(LayerRecord, scaleX) == 52);
static_assert(offsetof(LayerRecord, scaleY) == 56);
static_assert(offsetof(LayerRecord, scaleZ) == 60);
static_assert(offsetof(LayerRecord, reliefScaleX) == 64);
static_assert(offsetof(LayerRecord, reliefScaleY) == 68);
static_assert(offsetof(LayerRecord, reliefScaleZ) == 72);
static_assert(offsetof(LayerRecord, lightDirX) == 76);
static_assert(offsetof(LayerRecord, lightDirY) == 80);
static_assert(offsetof(LayerRecord, lightDirZ) == 84);
static_assert(offsetof(LayerRecord, brillianceR) == 88);
static_assert(offsetof(LayerRecord, brillianceG) == 92);
static_assert(offsetof(LayerRecord, brillianceB) == 96);
static_assert(offsetof(LayerRecord, reserved100) == 100);
static_assert(offsetof(LayerRecord, reflectR) == 104);
static_assert(offsetof(LayerRecord, reflectG) == 108);
static_assert(offsetof(LayerRecord, reflectB) == 112);
static_assert(offsetof(LayerRecord, reserved116) == 116);
static_assert(offsetof(LayerRecord, lightR) == 120);
static_assert(offsetof(LayerRecord, lightG) == 124);
static_assert(offsetof(LayerRecord, lightB) == 128);
static_assert(offsetof(LayerRecord, reserved132) == 132);
static_assert(offsetof(LayerRecord, width) == 136);
static_assert(offsetof(LayerRecord, height) == 138);
static_assert(offsetof(LayerRecord, formatIndex) == 140);
static_assert(offsetof(LayerRecord, offsetX) == 142);
static_assert(offsetof(LayerRecord, offsetY) == 146);
static_assert(offsetof(LayerRecord, offsetZ) == 150);
static_assert(offsetof(LayerRecord, animated) == 154);
static_assert(offsetof(LayerRecord, keyCount) == 158);
static_assert(offsetof(LayerRecord, duration) == 162);
static_assert(offsetof(LayerRecord, keys) == 166);
static_assert(offsetof(LayerRecord, reliefOffsetZ) == 170);
static_assert(offsetof(LayerRecord, picturePath) == 174);
static_assert(offsetof(LayerRecord, pixels) == 430);
static_assert(offsetof(LayerRecord, lacunarity) == 434);
static_assert(offsetof(LayerRecord, omega) == 438);
static_assert(offsetof(LayerRecord, reliefDetail) == 442);

static_assert(sizeof(KeyframeRecord) == 166);
static_assert(offsetof(KeyframeRecord, reserved2) == 0);
static_assert(offsetof(KeyframeRecord, frequency) == 4);
static_assert(offsetof(KeyframeRecord, phase) == 8);
static_assert(offsetof(KeyframeRecord, reliefIntensity) == 12);
static_assert(offsetof(KeyframeRecord, unused16) == 16);
static_assert(offsetof(KeyframeRecord, turbulence) == 24);
static_assert(offsetof(KeyframeRecord, foldX) == 28);
static_assert(offsetof(KeyframeRecord, foldY) == 32);
static_assert(offsetof(KeyframeRecord, foldZ) == 36);
static_assert(offsetof(KeyframeRecord, gradient) == 40);
static_assert(offsetof(KeyframeRecord, detail) == 44);
static_assert(offsetof(KeyframeRecord, mortar) == 46);
static_assert(offsetof(KeyframeRecord, scaleX) == 50);
static_assert(offsetof(KeyframeRecord, scaleY) == 54);
static_assert(offsetof(KeyframeRecord, scaleZ) == 58);
static_assert(offsetof(KeyframeRecord, reliefScaleX) == 62);
static_assert(offsetof(KeyframeRecord, reliefScaleY) == 66);
static_assert(offsetof(KeyframeRecord, reliefScaleZ) == 70);
static_assert(offsetof(KeyframeRecord, lightDirX) == 74);
static_assert(offsetof(KeyframeRecord, lightDirY) == 78);
static_assert(offsetof(KeyframeRecord, lightDirZ) == 82);
static_assert(offsetof(KeyframeRecord, brillianceR) == 86);
static_assert(offsetof(KeyframeRecord, brillianceG) == 90);
static_assert(offsetof(KeyframeRecord, brillianceB) == 94);
static_assert(offsetof(KeyframeRecord, reserved98) == 98);
static_assert(offsetof(KeyframeRecord, reflectR) == 102);
static_assert(offsetof(KeyframeRecord, reflectG) == 106);
static_assert(offsetof(KeyframeRecord, reflectB) == 110);
static_assert(offsetof(KeyframeRecord, reserved114) == 114);
static_assert(offsetof(KeyframeRecord, lightR) == 118);
static_assert(offsetof(KeyframeRecord, lightG) == 122);
static_assert(offsetof(KeyframeRecord, lightB) == 126);
static_assert(offsetof(KeyframeRecord, reserved130) == 130);
static_assert(offsetof(KeyframeRecord, offsetX) == 134);
static_assert(offsetof(KeyframeRecord, offsetY) == 138);
static_assert(offsetof(KeyframeRecord, offsetZ) == 142);
static_assert(offsetof(KeyframeRecord, time) == 146);
static_assert(offsetof(KeyframeRecord, reliefOffsetZ) == 150);
static_assert(offsetof(KeyframeRecord, lacunarity) == 154);
static_assert(offsetof(KeyframeRecord, omega) == 158);
static_assert(offsetof(KeyframeRecord, reliefDetail) == 162);

static_assert(sizeof(TextureRecord) == 284);
static_assert(offsetof(TextureRecord, reserved) == 0);
static_assert(offsetof(TextureRecord, layerCount) == 256);
static_assert(offsetof(TextureRecord, blendCoef) == 260);
static_assert(offsetof(TextureRecord, blendMode) == 264);
static_assert(offsetof(TextureRecord, colorKey) == 268);
static_assert(offsetof(TextureRecord, layers) == 272);
static_assert(offsetof(TextureRecord, orientation) == 276);
static_assert(offsetof(TextureRecord, reliefOrientation) == 280);

// Width and height as stored (16 bits each), read without sign so that
// sizes from 32768 up stay positive.
inline int StoredImageWidth(const LayerRecord& rec) { return static_cast<uint16_t>(rec.width); }
inline int StoredImageHeight(const LayerRecord& rec) { return static_cast<uint16_t>(rec.height); }

// ---------------------------------------------------------------------------
// Owning types

// A gradient: its 8-byte head and always exactly 24 entries, whatever the
// head's count says.
struct Gradient {
    GradientTable head{kGradientEntries, 0, {0, 0}};
    std::array<GradientEntry, kGradientEntries> entries{};

    // The standard tiling: entry j spans j/24 .. (j+1)/24, colours zero.
    static Gradient Tiled();
};

// Makes `dst` a new gradient with the positions and colours of `src`: a
// fresh head of count 24, reserved words zero.
Gradient CopyGradient(const Gradient& src);

// Copies the positions and colours of every entry of `src` into `dst`;
// `dst`'s head and reserved words stay as they are.
void CopyGradientEntries(const Gradient& src, Gradient& dst);

struct Keyframe {
    KeyframeRecord rec{};
    Gradient gradient;  // every key has its own gradient
};

// A layer picture: width x height pixels of four bytes (red, green, blue, a
// spare byte), rows packed, the bottom row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width x height x 4

    bool empty() const { return pixels.empty(); }
    uint8_t* Row(int row) { return pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(width) * 4u; }
};

struct Layer {
    LayerRecord rec{};
    std::optional<Gradient> gradient;  // empty: the patterns' built-in colours
    std::vector<Keyframe> keys;
    // The picture, or none.  Its size is its own, from its load; the
    // record's width and height are the layer's image size, which the image
    // format changes and the picture patterns never read.  A picture is
    // never changed once a layer shows it, only replaced whole, so every
    // copy of the layer, and every layer showing the same picture file,
    // shares the one in memory.
    std::shared_ptr<const Picture> picture;

    // The picture path up to its first NUL or the end of the field.
    std::string PicturePath() const;
    void SetPicturePath(const std::string& path);

    // Makes `pixels` of width x height pixels the layer's picture, a picture
    // of its own; the image size stays as it is.
    void SetPicture(int width, int height, std::vector<uint8_t> pixels);
    // Whether the picture's pixels hold all of it, so that it can be sampled.
    bool HasPicture() const;
    // The picture's pixels, and its size (none and 0 without a picture).
    const std::vector<uint8_t>& Pixels() const;
    int PictureWidth() const { return picture ? picture->width : 0; }
    int PictureHeight() const { return picture ? picture->height : 0; }
};

// The per-layer entries of a texture: the six parallel arrays of the file
// record kept together so they cannot fall out of step.
struct LayerSlot {
    float blendCoef = 1.0f;
    int32_t blendMode = 1;
    ColorKeyRecord colorKey{};
    Layer layer;
    float orientation = 0.0f;
    float reliefOrientation = 0.0f;
};

struct Texture {
    std::array<uint8_t, 256> reserved{};
    std::vector<LayerSlot> layers;  // at least one in every texture

    int32_t LayerCount() const { return static_cast<int32_t>(layers.size()); }
};

// ---------------------------------------------------------------------------
// The mirror between layer fields and key fields.

enum class FieldType : uint8_t { Float, Int16, Int32 };

struct MirroredField {
    const char* name;
    uint16_t layerOffset;  // byte offset in LayerRecord
    uint16_t keyOffset;    // byte offset in KeyframeRecord
    FieldType type;
};

// Every animated scalar field of a layer, in layer order.  The gradient is
// animated too; it is mirrored as a whole by the key operations.
std::span<const MirroredField> MirroredFields();

// Looks up a mirrored field by its layer offset; null if not animated.
const MirroredField* FindMirroredField(size_t layerOffset);

// Copies the value of one field from `from` to `to` (byte images).
inline void CopyMirrored(const MirroredField& f, const LayerRecord& layer, KeyframeRecord& key)
{
    const size_t size = f.type == FieldType::Int16 ? 2 : 4;
    std::memcpy(reinterpret_cast<uint8_t*>(&key) + f.keyOffset,
                reinterpret_cast<const uint8_t*>(&layer) + f.layerOffset, size);
}
inline void CopyMirrored(const MirroredField& f, const KeyframeRecord& key, LayerRecord& layer)
{
    const size_t size = f.type == FieldType::Int16 ? 2 : 4;
    std::memcpy(reinterpret_cast<uint8_t*>(&layer) + f.layerOffset,
                reinterpret_cast<const uint8_t*>(&key) + f.keyOffset, size);
}

// A key holding the animated fields of `layer` and its own copy of the
// layer's gradient (the tiled grey ramp when the layer has none); time 0.
Keyframe MakeKey(const Layer& layer);

// Copies a key's animated fields and gradient colours and positions into
// the layer.  Material, relief, image size and picture are untouched.
void LoadKey(const Keyframe& key, Layer& layer);

// Reads or writes a field of a record by byte offset (byte images, so no
// reference to a packed member is ever formed).
template <class T, class Record>
T ReadField(const Record& rec, size_t offset)
{
    T v;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(&rec) + offset, sizeof v);
    return v;
}
template <class T, class Record>
void WriteField(Record& rec, size_t offset, T v)
{
    std::memcpy(reinterpret_cast<uint8_t*>(&rec) + offset, &v, sizeof v);
}

}  // namespace morvane
