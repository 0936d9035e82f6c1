#include "engine/Eval.h"

#include <bit>
#include <cmath>

#include "engine/FloatInt.h"
#include "engine/Lighting.h"
#include "engine/Patterns.h"

namespace morvane {

namespace {

// One turn in radians, as a double constant.
constexpr double kTwoPi = 6.28318530718;

// The cosine and sine of an angle given in turns.  The angle in radians is
// rounded to single precision first; the functions themselves work in
// double precision.
inline void TurnCosSin(float turns, double& c, double& s, RotationMemo& memo)
{
    const float a = static_cast<float>(turns * kTwoPi);
    const uint32_t bits = std::bit_cast<uint32_t>(a);
    for (int i = 0; i < RotationMemo::kSize; ++i) {
        if (memo.angleBits[i] == bits) {
            c = memo.cosine[i];
            s = memo.sine[i];
            return;
        }
    }
    c = std::cos(static_cast<double>(a));
    s = std::sin(static_cast<double>(a));
    const int slot = memo.next;
    memo.next = (slot + 1) % RotationMemo::kSize;
    memo.angleBits[slot] = bits;
    memo.cosine[slot] = c;
    memo.sine[slot] = s;
}

inline float Frac(float t) { return t - std::floor(t); }

// Material 24: the picture repeats once per unit of x and y, whatever the
// layer's image size.  Nothing is added unless the buffer holds the whole
// picture; row and column are kept inside it (the fraction of a tiny
// negative value rounds to 1.0f, which would address the row past the
// last).
void SampleImage(float x, float y, const Layer& layer, float colour[3])
{
    if (!layer.HasPicture()) return;
    const int32_t width = layer.picture->width;
    const int32_t height = layer.picture->height;

    int32_t row = SatTrunc(Frac(y) * static_cast<float>(height));
    int32_t column = SatTrunc(Frac(x) * static_cast<float>(width - 1));
    if (row < 0) row = 0;
    if (row > height - 1) row = height - 1;
    if (column < 0) column = 0;
    if (column > width - 1) column = width - 1;

    const uint8_t* p = layer.picture->pixels.data() + (static_cast<size_t>(row) * width + column) * 4u;
    constexpr float kByte = 1.0f / 255.0f;
    colour[0] += p[0] * kByte;
    colour[1] += p[1] * kByte;
    colour[2] += p[2] * kByte;
}

// Lighting of one layer's light for the normal N and the incoming colour
// C: returns d + (1 - d) s per channel in out.
inline void LightOne(const LayerRecord& layer, const float C[3], const float N[3], float out[3])
{
    const float lx = layer.lightDirX, ly = layer.lightDirY, lz = layer.lightDirZ;
    const float m = (lx * N[0] + ly * N[1] + lz * N[2] + 1.0f) / 2.0f;

    const float diffuse = DiffuseFactor(m);
    const float brilliance[3] = {layer.brillianceR, layer.brillianceG, layer.brillianceB};
    const float light[3] = {layer.lightR, layer.lightG, layer.lightB};
    const float reflect[3] = {layer.reflectR, layer.reflectG, layer.reflectB};
    const float away = 1.0f - m;
    for (int ch = 0; ch < 3; ++ch) {
        out[ch] = LitChannel(light[ch] * C[ch] * diffuse, brilliance[ch], away, light[ch], reflect[ch]);
    }
}

}  // namespace

bool NormaliseVector(float v[3])
{
    const double length = std::sqrt(static_cast<double>(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    v[0] = static_cast<float>(v[0] / length);
    v[1] = static_cast<float>(v[1] / length);
    v[2] = static_cast<float>(v[2] / length);
    return true;
}

void ClampColour(float colour[3])
{
    // Written as selections so that the compiler need not branch.
    for (int ch = 0; ch < 3; ++ch) {
        const float c = colour[ch] >= 0.0f ? colour[ch] : 0.0f;
        colour[ch] = c > 1.0f ? 1.0f : c;
    }
}

void GradientLookup(float rgb[3], const Gradient& gradient, float value)
{
    if (value > 1.0f) value = 1.0f;
    if (!(value >= 0.0f)) value = 0.0f;

    int count = gradient.head.count;
    if (count > kGradientEntries) count = kGradientEntries;
    for (int i = 0; i < count; ++i) {
        const GradientEntry& e = gradient.entries[static_cast<size_t>(i)];
        const float start = e.start, end = e.end;
        if (!(start <= value && value <= end)) continue;
        if (start == end) {
            rgb[0] = e.startR;
            rgb[1] = e.startG;
            rgb[2] = e.startB;
            return;
        }
        const float t = (value - start) / (end - start);
        rgb[0] = e.startR + t * (e.endR - e.startR);
        rgb[1] = e.startG + t * (e.endG - e.startG);
        rgb[2] = e.startB + t * (e.endB - e.startB);
        return;
    }
    rgb[0] = rgb[1] = rgb[2] = 0.0f;
}

void EvalLayer(float u, float v, const Layer& layer, float colour[3], float normal[3],
               float orientation, float reliefOrientation, EvalContext& ctx)
{
    const LayerRecord& rec = layer.rec;

    // Colour point: offset, scale, then the turn of the pattern.
    {
        const float offsetX = rec.offsetX, offsetY = rec.offsetY;
        const float sx = (u + offsetX) * rec.scaleX;
        const float sy = (v + offsetY) * rec.scaleY;
        double c, s;
        TurnCosSin(orientation, c, s, ctx.rotation);
        const float x = static_cast<float>(sx * c - sy * s);
        const float y = static_cast<float>(sx * s + sy * c);
        const float z = static_cast<float>(rec.offsetZ * rec.scaleZ * 0.1);

        const int material = rec.material;
        if (material == kImageMaterial) {
            SampleImage(x, y, layer, colour);
        } else if (const PatternFn pattern = ColourPatternFor(material)) {
            pattern(x, y, z, layer, colour, ctx);
        }
    }

    // Relief point: the same offset with the relief's own scales and turn.
    if (rec.reliefIntensity > 0.0f) {
        const PatternFn relief = ReliefPatternFor(rec.relief);
        if (!relief) return;
        const float offsetX = rec.offsetX, offsetY = rec.offsetY;
        const float sx = (u + offsetX) * rec.reliefScaleX;
        const float sy = (v + offsetY) * rec.reliefScaleY;
        double c, s;
        TurnCosSin(reliefOrientation, c, s, ctx.rotation);
        const float x = static_cast<float>(sx * c - sy * s);
        const float y = static_cast<float>(sx * s + sy * c);
        const float z = rec.reliefOffsetZ * rec.reliefScaleZ;
        relief(x, y, z, layer, normal, ctx);
    }
}

void EvalTexture(float u, float v, const Texture& texture, float colour[3], int32_t displayMode,
                 int32_t current, EvalContext& ctx)
{
    float C[3] = {0.0f, 0.0f, 0.0f};
    float N[3] = {0.0f, 0.0f, 1.0f};
    bool lit = false;

    const int32_t count = texture.LayerCount();
    for (int32_t i = 0; i < count; ++i) {
        if (displayMode == kDisplayLayersBelow && i >= current) continue;
        if (displayMode == kDisplayCurrentLayer && i != current) continue;

        const LayerSlot& slot = texture.layers[static_cast<size_t>(i)];
        float c[3] = {0.0f, 0.0f, 0.0f};
        float n[3] = {0.0f, 0.0f, 0.0f};
        EvalLayer(u, v, slot.layer, c, n, slot.orientation, slot.reliefOrientation, ctx);

        const float k = slot.blendCoef;
        const bool relief = slot.layer.rec.reliefIntensity > 0.0f;
        bool blended = true;
        switch (slot.blendMode) {
        case kBlendTransparency:
            for (int j = 0; j < 3; ++j) C[j] = (1.0f - k) * c[j] + k * C[j];
            if (relief)
                for (int j = 0; j < 3; ++j) N[j] = k * N[j] + (1.0f - k) * n[j];
            break;
        case kBlendAdditive:
            for (int j = 0; j < 3; ++j) C[j] = C[j] + k * c[j];
            if (relief)
                for (int j = 0; j < 3; ++j) N[j] = N[j] + k * n[j];
            break;
        case kBlendSubtractive:
            for (int j = 0; j < 3; ++j) C[j] = C[j] - k * c[j];
            if (relief)
                for (int j = 0; j < 3; ++j) N[j] = N[j] - k * n[j];
            break;
        case kBlendLuminancy: {
            constexpr float kThird = 0.33333334f;
            const float f = k * (c[0] + c[1] + c[2]) * kThird;
            for (int j = 0; j < 3; ++j) C[j] = C[j] * f;
            if (relief) {
                const float g = k * (n[0] + n[1] + n[2]) * kThird;
                for (int j = 0; j < 3; ++j) N[j] = N[j] * g;
            }
            break;
        }
        case kBlendChrominancy:
            for (int j = 0; j < 3; ++j) C[j] = C[j] * k * c[j];
            if (relief)
                for (int j = 0; j < 3; ++j) N[j] = N[j] * n[j];
            break;
        case kBlendColorKey: {
            const ColorKeyRecord& key = slot.colorKey;
            const float keys[3] = {key.keyR, key.keyG, key.keyB};
            bool inBand = true;
            for (int j = 0; j < 3; ++j) {
                if (!(0.97 * keys[j] <= c[j] && c[j] <= 1.03 * keys[j])) inBand = false;
            }
            if (!inBand)
                for (int j = 0; j < 3; ++j) C[j] = c[j];
            if (relief)
                for (int j = 0; j < 3; ++j) N[j] = N[j] + n[j];
            break;
        }
        default:
            blended = false;  // an unknown mode leaves colour and normal alone
            break;
        }
        if (blended && relief) lit = true;
        if (lit) NormaliseVector(N);
        ClampColour(C);
    }

    if (lit) LightRelief(texture, C, N);
    ClampColour(C);
    colour[0] = C[0];
    colour[1] = C[1];
    colour[2] = C[2];
}

void LightRelief(const Texture& texture, float colour[3], const float normal[3])
{
    const float C[3] = {colour[0], colour[1], colour[2]};
    const float N[3] = {normal[0], normal[1], normal[2]};
    float sum[3] = {0.0f, 0.0f, 0.0f};
    for (const LayerSlot& slot : texture.layers) {
        float lit[3];
        LightOne(slot.layer.rec, C, N, lit);
        for (int j = 0; j < 3; ++j) sum[j] += lit[j];
    }
    colour[0] = sum[0];
    colour[1] = sum[1];
    colour[2] = sum[2];
}

void ShadeSphere(const LayerRecord& layer, float colour[3], const float normal[3])
{
    const float C[3] = {colour[0], colour[1], colour[2]};
    const float N[3] = {normal[0], normal[1], normal[2]};
    LightOne(layer, C, N, colour);
}

}  // namespace morvane
