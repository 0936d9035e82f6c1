#include "engine/Records.h"

#include <algorithm>

namespace morvane {

namespace {

constexpr float kOneTwentyFourth = 0.041666668f;

#define MIRROR(field, type) \
    MirroredField{#field, offsetof(LayerRecord, field), offsetof(KeyframeRecord, field), FieldType::type}

constexpr MirroredField kMirror[] = {
    MIRROR(reserved2, Float),
    MIRROR(frequency, Float),
    MIRROR(phase, Float),
    MIRROR(reliefIntensity, Float),
    MIRROR(turbulence, Float),
    MIRROR(foldX, Float),
    MIRROR(foldY, Float),
    MIRROR(foldZ, Float),
    MIRROR(detail, Int16),
    MIRROR(mortar, Float),
    MIRROR(scaleX, Float),
    MIRROR(scaleY, Float),
    MIRROR(scaleZ, Float),
    MIRROR(reliefScaleX, Float),
    MIRROR(reliefScaleY, Float),
    MIRROR(reliefScaleZ, Float),
    MIRROR(lightDirX, Float),
    MIRROR(lightDirY, Float),
    MIRROR(lightDirZ, Float),
    MIRROR(brillianceR, Float),
    MIRROR(brillianceG, Float),
    MIRROR(brillianceB, Float),
    MIRROR(reflectR, Float),
    MIRROR(reflectG, Float),
    MIRROR(reflectB, Float),
    MIRROR(lightR, Float),
    MIRROR(lightG, Float),
    MIRROR(lightB, Float),
    MIRROR(offsetX, Float),
    MIRROR(offsetY, Float),
    MIRROR(offsetZ, Float),
    MIRROR(reliefOffsetZ, Float),
    MIRROR(lacunarity, Float),
    MIRROR(omega, Float),
    MIRROR(reliefDetail, Int32),
};

#undef MIRROR

// Keys hold the fields of layer bytes 2..135 at their layer offset minus 2.
constexpr bool MirrorIsConsistent()
{
    for (const auto& f : kMirror) {
        if (f.layerOffset >= 2 && f.layerOffset < 136 && f.keyOffset != f.layerOffset - 2) return false;
    }
    return true;
}
static_assert(MirrorIsConsistent());

}  // namespace

Gradient Gradient::Tiled()
{
    Gradient g;
    for (int j = 0; j < kGradientEntries; ++j) {
        g.entries[j].start = static_cast<float>(j) * kOneTwentyFourth;
        g.entries[j].end = static_cast<float>(j + 1) * kOneTwentyFourth;
    }
    return g;
}

void CopyGradientEntries(const Gradient& src, Gradient& dst)
{
    for (int j = 0; j < kGradientEntries; ++j) {
        const GradientEntry& s = src.entries[j];
        GradientEntry& d = dst.entries[j];
        d.start = s.start;
        d.end = s.end;
        d.startR = s.startR;
        d.startG = s.startG;
        d.startB = s.startB;
        d.endR = s.endR;
        d.endG = s.endG;
        d.endB = s.endB;
    }
}

Gradient CopyGradient(const Gradient& src)
{
    Gradient g;
    CopyGradientEntries(src, g);
    return g;
}

std::string Layer::PicturePath() const
{
    const char* p = rec.picturePath;
    return std::string(p, std::find(p, p + sizeof rec.picturePath, '\0'));
}

void Layer::SetPicturePath(const std::string& path)
{
    char buf[sizeof rec.picturePath] = {};
    std::memcpy(buf, path.data(), std::min(path.size(), sizeof buf - 1));
    std::memcpy(rec.picturePath, buf, sizeof buf);
}

void Layer::SetPicture(int width, int height, std::vector<uint8_t> pixels)
{
    picture = std::make_shared<const Picture>(Picture{width, height, std::move(pixels)});
}

bool Layer::HasPicture() const
{
    if (!picture || picture->width <= 0 || picture->height <= 0) return false;
    return static_cast<uint64_t>(picture->width) * static_cast<uint64_t>(picture->height) <= picture->pixels.size() / 4u;
}

const std::vector<uint8_t>& Layer::Pixels() const
{
    static const std::vector<uint8_t> kNone;
    return picture ? picture->pixels : kNone;
}

std::span<const MirroredField> MirroredFields() { return kMirror; }

const MirroredField* FindMirroredField(size_t layerOffset)
{
    for (const auto& f : kMirror) {
        if (f.layerOffset == layerOffset) return &f;
    }
    return nullptr;
}

Keyframe MakeKey(const Layer& layer)
{
    Keyframe key;
    for (const auto& f : kMirror) CopyMirrored(f, layer.rec, key.rec);
    key.rec.time = 0.0f;
    key.gradient = layer.gradient ? CopyGradient(*layer.gradient) : Gradient::Tiled();
    return key;
}

void LoadKey(const Keyframe& key, Layer& layer)
{
    for (const auto& f : kMirror) CopyMirrored(f, key.rec, layer.rec);
    if (layer.gradient) CopyGradientEntries(key.gradient, *layer.gradient);
}

}  // namespace morvane
