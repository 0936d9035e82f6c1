#include "engine/Presets.h"

namespace morvane {

namespace {

constexpr float kOneTwentyFourth = 0.041666668f;

struct Rgb {
    float r, g, b;
};

constexpr Rgb Grey(float v) { return {v, v, v}; }
constexpr Rgb Bytes(float r, float g, float b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

// Writes a gradient's colours as a chain of linear runs.  Within a run each
// entry starts where the previous one ended and the running colour grows by
// a single-precision step added again and again, so the last digits follow
// the additions, not an exact linear formula.
class RunWriter {
public:
    explicit RunWriter(Gradient& g) : g_(g) {}

    // Starts a new chain at `c` (the first run, or a jump).
    RunWriter& From(Rgb c)
    {
        cur_ = c;
        nominal_ = c;
        return *this;
    }

    // Entries up to `last` run linearly to `to`.
    RunWriter& To(int last, Rgb to)
    {
        const float n = static_cast<float>(last - next_ + 1);
        const Rgb step{(to.r - nominal_.r) / n, (to.g - nominal_.g) / n, (to.b - nominal_.b) / n};
        Steps(last, step);
        nominal_ = to;
        return *this;
    }

    // Entries up to `last` hold the colour `c`.
    RunWriter& Constant(int last, Rgb c)
    {
        cur_ = c;
        nominal_ = c;
        return Steps(last, {0.0f, 0.0f, 0.0f});
    }

    // Entries up to `last` each add `step`.
    RunWriter& Steps(int last, Rgb step)
    {
        for (; next_ <= last; ++next_) {
            GradientEntry& e = g_.entries[next_];
            e.startR = cur_.r;
            e.startG = cur_.g;
            e.startB = cur_.b;
            cur_.r += step.r;
            cur_.g += step.g;
            cur_.b += step.b;
            e.endR = cur_.r;
            e.endG = cur_.g;
            e.endB = cur_.b;
        }
        return *this;
    }

private:
    Gradient& g_;
    int next_ = 0;
    Rgb cur_{};
    Rgb nominal_{};
};

Gradient GreyRamp()
{
    Gradient g;
    for (int j = 0; j < kGradientEntries; ++j) {
        GradientEntry& e = g.entries[j];
        e.start = static_cast<float>(j) * kOneTwentyFourth;
        e.end = static_cast<float>(j + 1) * kOneTwentyFourth;
        const float s = 1.0f - static_cast<float>(j) * kOneTwentyFourth;
        const float t = 1.0f - static_cast<float>(j + 1) * kOneTwentyFourth;
        e.startR = e.startG = e.startB = s;
        e.endR = e.endG = e.endB = t;
    }
    return g;
}

// The gradient of a material that has its own; positions stay those of the
// grey ramp.  False for a material that keeps the grey ramp.
bool PresetColours(int material, Gradient& g)
{
    RunWriter w(g);
    switch (material) {
    case 0:  // Sky
        w.From({1, 1, 1}).To(15, {0.5f, 0.75f, 0.95f}).Constant(23, {0.5f, 0.75f, 0.95f});
        return true;
    case 1:  // Marble
        w.From(Grey(0.6f)).To(15, {0.1f, 0.18f, 0.1f}).To(23, Grey(0));
        return true;
    case 2:  // Wood
        w.From({0.9f, 0.6f, 0.5f}).To(15, {0.8f, 0.5f, 0.4f}).To(23, {0.4f, 0.2f, 0.1f});
        return true;
    case 3:  // Brick: the mortar colour, then the bricks
        w.Constant(0, Grey(0.4f));
        w.From({0.5f, 0.02f, 0.05f}).To(23, {0.85f, 0.06f, 0.15f});
        return true;
    case 5:  // Checker Texture
        w.Constant(7, Grey(0.9f)).To(10, Grey(0.225f));
        w.Constant(19, Grey(0)).To(23, Grey(0.9f));
        return true;
    case 7:  // Agate
        w.From({0.5f, 1.0f, 0.7f}).To(15, {0.4f, 0.9f, 0.6f}).To(23, {0.2f, 0.7f, 0.4f});
        return true;
    case 8:  // Granite
        w.From({0.98f, 0.55f, 0.6f}).To(15, {0.8f, 0.4f, 0.45f}).To(23, {0.4f, 0.1f, 0.15f});
        return true;
    case 9:  // Flame
        w.From({1, 1, 1})
            .To(1, Bytes(254, 239, 211))
            .To(3, Bytes(252, 180, 66))
            .To(9, Bytes(236, 89, 51))
            .To(14, Bytes(195, 0, 0))
            .To(23, Grey(0));
        return true;
    case 10:  // Onion
        w.From(Bytes(143, 239, 255)).To(23, Bytes(0, 0, 100));
        return true;
    case 11:  // Leopard
        w.From(Bytes(255, 216, 176)).To(4, Grey(0)).Constant(23, Grey(0));
        return true;
    case 14:  // Crackle
        w.From(Bytes(44, 61, 35))
            .To(0, Bytes(29, 69, 31))
            .To(8, Bytes(62, 105, 54))
            .To(18, Bytes(42, 60, 37))
            .To(23, Bytes(73.25f, 97.5f, 43.25f));
        return true;
    case 17: {  // Cyclone: a twenty-third of the way to white per entry, so
                // the last entry ends one step beyond white.
        const Rgb s = Bytes(63, 119, 203);
        w.From(s).Steps(23, {(1.0f - s.r) / 23.0f, (1.0f - s.g) / 23.0f, (1.0f - s.b) / 23.0f});
        return true;
    }
    case 18: {  // Cyclone1: from white down, entry 23 starting at the target.
        const Rgb t = Bytes(89, 193, 239);
        w.From({1, 1, 1}).Steps(23, {(t.r - 1.0f) / 23.0f, (t.g - 1.0f) / 23.0f, (t.b - 1.0f) / 23.0f});
        return true;
    }
    default:
        return false;
    }
}

struct MaterialValues {
    float turbulence;
    int16_t detail;
    float scaleX, scaleY, scaleZ;
    float foldX, foldY, foldZ;
    float offsetX, offsetY;
};

// Materials without values of their own.
constexpr MaterialValues kCommon{0.5f, 3, 1, 1, 1, 0, 0.5f, 0.5f, 0, 0};

MaterialValues ValuesOf(int material)
{
    switch (material) {
    case 0: return {1.0f, 6, 1, 3, 1, 0, 0, 0, 0, 0};
    case 1: return {0.9f, 6, 2, 2, 2, 0, 0, 0, 0, 0};
    case 2: return {0.1f, 4, 5, 1, 1, 0, 0, 0, 0, 0};
    case 3: return {0.5f, 6, 4, 7, 4, 0, 0, 0, 0, 0};
    case 4: return {0.5f, 3, 2, 2, 2, 0.5f, 0.5f, 0.5f, 0, 0};
    case 5: return {0.8f, 4, 3, 3, 3, 0, 0, 0, 0, 0};
    case 7: return {0.5f, 3, 2, 2, 2, 0, 0, 0, 0, 0};
    case 8: return {0.8f, 6, 20, 20, 20, 0, 0, 0, 0, 0};
    case 9: return {0.5f, 6, 5, 1, 1, 0.5f, 0.5f, 0.5f, 0, 0};
    case 10: return {0.5f, 3, 4, 4, 1, 0, 0, 0, 0, 0};
    case 11: return {0.5f, 3, 25, 40, 1, 0, 0, 0, 0, 0};
    case 12: return {0.8f, 6, 4, 1, 1, 0, 0, 0, 0, 0};
    case 14: return {1.0f, 5, 4, 4, 1, 0, 0, 0, 0, 0};
    case 17: return {0.75f, 4, 4, 4, 1, 0, 0, 0, -0.5f, -0.5f};
    case 18: return {0.8f, 6, 2, 2, 1, 0, 0, 0, -0.5f, -0.5f};
    default: return kCommon;
    }
}

Layer BuildPreset(int p)
{
    Layer layer;
    LayerRecord& r = layer.rec;  // value-initialised: every field zero
    r.material = static_cast<int8_t>(p);
    r.relief = 0;
    r.reserved2 = 0.5f;
    r.frequency = 0.5f;
    r.phase = 0.005f;
    r.reliefIntensity = 0.0f;
    r.reliefScaleX = 10.0f;
    r.reliefScaleY = 10.0f;
    r.reliefScaleZ = 10.0f;
    r.lightDirX = 1.0f;
    r.lightDirY = 1.0f;
    r.lightDirZ = 1.6f;
    r.brillianceR = 200.0f;
    r.brillianceG = 200.0f;
    r.brillianceB = 200.0f;
    r.reflectR = 1.0f;
    r.reflectG = 1.0f;
    r.reflectB = 1.0f;
    r.lightR = 1.0f;
    r.lightG = 1.0f;
    r.lightB = 1.0f;
    r.width = kDefaultImageWidth;
    r.height = kDefaultImageHeight;
    r.formatIndex = 0;
    r.animated = 0;
    r.reliefOffsetZ = 0.0f;
    r.lacunarity = 2.0f;
    r.omega = 0.5f;
    r.reliefDetail = 10;

    const MaterialValues v = ValuesOf(p);
    r.turbulence = v.turbulence;
    r.detail = v.detail;
    r.scaleX = v.scaleX;
    r.scaleY = v.scaleY;
    r.scaleZ = v.scaleZ;
    r.foldX = v.foldX;
    r.foldY = v.foldY;
    r.foldZ = v.foldZ;
    r.offsetX = v.offsetX;
    r.offsetY = v.offsetY;

    Gradient g = GreyRamp();
    PresetColours(p, g);
    layer.gradient = g;
    return layer;
}

}  // namespace

MaterialPresets BuildMaterialPresets()
{
    MaterialPresets presets;
    for (int p = 0; p < kPresetCount; ++p) presets[p] = BuildPreset(p);
    return presets;
}

const MaterialPresets& MaterialPresetTable()
{
    static const MaterialPresets table = BuildMaterialPresets();
    return table;
}

Layer LayerFromPreset(const Layer& preset)
{
    Layer layer;
    layer.rec = preset.rec;
    layer.rec.gradient = 0;
    layer.rec.keys = 0;
    layer.rec.pixels = 0;
    layer.rec.keyCount = 0;
    layer.rec.animated = 0;
    layer.SetPicturePath("");
    layer.gradient = CopyGradient(preset.gradient ? *preset.gradient : Gradient::Tiled());
    return layer;
}

Texture NewTexture(const MaterialPresets& presets)
{
    return PresetTexture(presets, kMarble);
}

Texture PresetTexture(const MaterialPresets& presets, int material)
{
    Texture t;
    LayerSlot slot;
    slot.blendCoef = 1.0f;
    slot.blendMode = 1;
    slot.colorKey = ColorKeyRecord{};
    slot.orientation = 0.0f;
    slot.reliefOrientation = 0.0f;
    slot.layer = LayerFromPreset(presets[static_cast<size_t>(material)]);
    t.layers.push_back(std::move(slot));
    return t;
}

void ResetReliefParameters(LayerRecord& rec)
{
    rec.reliefIntensity = 5.0f;
    rec.reliefScaleX = 10.0f;
    rec.reliefScaleY = 10.0f;
    rec.reliefScaleZ = 10.0f;
    rec.phase = 0.5f;
    rec.frequency = 5.0f;
    rec.reliefOffsetZ = 0.0f;
    rec.reliefDetail = 10;
}

}  // namespace morvane
