// The cellular, escape-time, wave and gradient colour patterns: materials
// 14 ("Crackle") to 23 ("ColorQuilted") and 36 to 38 (the three gradients).
// They all draw through the layer's gradient only: without one they add
// nothing.
#include <algorithm>
#include <cmath>

#include "engine/Crackle.h"
#include "engine/PatternsInternal.h"

namespace morvane::patterns {

namespace {

// The distance from p to wave source i, 1 where it is 0.
float SourceDistance(float x, float y, float z, int i)
{
    float d[3];
    return SourceOffset(x, y, z, i, d);
}

float Clamp01(float v)
{
    if (v > 1.0f) return 1.0f;
    if (v < 0.0f) return 0.0f;
    return v;
}

float AsinClamped(float s) { return static_cast<float>(std::asin(std::clamp(static_cast<double>(s), -1.0, 1.0))); }

// The angle of "Cyclone": 0 to 2 pi counter-clockwise from the negative y
// axis; 0 at the origin.
float CycloneAngle(float x, float y, float r)
{
    if (r == 0.0f) return 0.0f;
    const float ratio = y / r;
    if (x >= 0.0f) return static_cast<float>(AsinClamped(ratio) + 1.570796326795);
    return static_cast<float>(4.712388980385 - AsinClamped(ratio));
}

template <float (*Wave)(float)>
void Cyclone(float x, float y, float z, const Layer& layer, float out[3])
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const float t = layer.rec.turbulence;
    const float f = t != 0.0f ? t * FbmAt(x, y, z, FbmOf(layer.rec)) : 0.0f;
    const float r = std::sqrt(x * x + y * y);
    const float theta = CycloneAngle(x, y, r);
    const float arms = theta * static_cast<float>(LimitedDetail(layer.rec));
    const float s = Wave(static_cast<float>(arms * 0.159154943091884 + (z + r) + f));
    AddLookup(out, *g, Wave(r) + s);
}

}  // namespace

// 14 "Crackle": the distance between the nearest and the second nearest
// feature point.
void MaterialCrackle(float x, float y, float z, const Layer& layer, float out[3], EvalContext& ctx)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const LayerRecord& r = layer.rec;
    const CrackleList& list = ctx.crackle.Points(x, y, z, r.turbulence, LimitedDetail(r), r.lacunarity, r.omega);
    const CrackleNearest n = FindNearestTwo(list, x, y, z);
    float v = std::sqrt(n.d2) - std::sqrt(n.d1);
    if (v >= 1.0f) v = 1.0f;
    AddLookup(out, *g, v);
}

// 15 "Mandelbrot": the escape count of x + iy over detail iterations.
void MaterialMandelbrot(float x, float y, float, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const int detail = LimitedDetail(layer.rec);
    float zr = x, zi = y;
    int n = 0;
    for (int i = 0; i < detail; ++i) {
        const float nr = zr * zr - zi * zi + x;
        const float ni = 2.0f * zr * zi + y;
        zr = nr;
        zi = ni;
        if (zr * zr + zi * zi > 4.0f) break;
        ++n;
    }
    const float v = detail == 0 ? 0.0f : static_cast<float>(n) / static_cast<float>(detail);
    AddLookup(out, *g, v);
}

// 16 "Radial"
void MaterialRadial(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const float f = layer.rec.turbulence * FbmAt(x, y, z, FbmOf(layer.rec));
    float a = 0.25f;
    if (!(std::fabs(x) < 0.001 && std::fabs(y) < 0.001)) {
        a = static_cast<float>((std::atan2(static_cast<double>(x), static_cast<double>(y)) + 3.14159265359) *
                                   1.570796326795 +
                               0.25);
    }
    AddLookup(out, *g, TableSin(a + f));
}

// 17 "Cyclone" and 18 "Cyclone1"
void MaterialCyclone(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    Cyclone<TableSin>(x, y, z, layer, out);
}

void MaterialCyclone1(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    Cyclone<TriangleWave>(x, y, z, layer, out);
}

// 19 "ColorRipples"
void MaterialColorRipples(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const LayerRecord& r = layer.rec;
    const int k = WaveSourceCount(LimitedDetail(r));
    const float frequency = r.frequency, phase = r.phase;
    float s = 0.0f;
    for (int i = 0; i < k; ++i) s += TableSin(frequency * SourceDistance(x, y, z, i) + phase);
    const float v = (s / static_cast<float>(k) + 1.0f) * 0.5f * r.turbulence * 2.0f;
    AddLookup(out, *g, v);
}

// 20 "ColorWaves"
void MaterialColorWaves(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const LayerRecord& r = layer.rec;
    const int k = WaveSourceCount(LimitedDetail(r));
    const float frequency = r.frequency, phase = r.phase;
    float s = 0.0f;
    for (int i = 0; i < k; ++i) {
        s += TableSin(phase + WaveScales[i] * frequency * SourceDistance(x, y, z, i)) / WaveScales[i];
    }
    const float v = static_cast<float>((s / static_cast<float>(k) + 2.5) * 0.2 * r.turbulence * 2.0f);
    AddLookup(out, *g, v);
}

// 21 "ColorDents"
void MaterialColorDents(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const float n = Noise3(x, y, z);
    AddLookup(out, *g, n * n * n * layer.rec.turbulence);
}

// 22 "ColorWrinkles"
void MaterialColorWrinkles(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const FbmParams f = FbmOf(layer.rec);
    float sum = Noise3(x, y, z);
    float frequency = f.lacunarity;
    float amplitude = f.omega;
    for (int i = 1; i < f.detail; ++i) {
        sum += amplitude * Noise3(frequency * x, frequency * y, frequency * z);
        frequency *= f.lacunarity;
        amplitude *= f.omega;
    }
    AddLookup(out, *g, 0.5f * sum);
}

// 23 "ColorQuilted"
void MaterialColorQuilted(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const float t = layer.rec.turbulence;
    const float fx = x - static_cast<float>(CellIndex(x)) - 0.5f;
    const float fy = y - static_cast<float>(CellIndex(y)) - 0.5f;
    const float fz = z - static_cast<float>(CellIndex(z)) - 0.5f;
    const float u = QuiltCell(std::sqrt(fx * fx + 2.0f * fy * fy), t, 2.0f * t);
    const float sum = std::fabs(u * fx) + std::fabs(u * fy) + std::fabs(u * fz);
    AddLookup(out, *g, static_cast<float>(sum * 0.3333333333333333));
}

// 36 "Horizontal Gradient" and 37 "Vertical Gradient": a mirrored ramp
// along y or x.  Without turbulence the displacement is not computed and
// the factor (1 - d.z) is 1.
namespace {

void LinearGradient(float x, float y, float z, const Layer& layer, float out[3], int axis)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const float t = layer.rec.turbulence;
    float d[3];
    TurbulentDisplacement(x, y, z, t, FbmOf(layer.rec), d);
    const float w = axis == 0 ? x + t * d[0] : y + t * d[1];
    AddLookup(out, *g, Clamp01(MirroredRepeat(w) * (1.0f - d[2])));
}

}  // namespace

void MaterialHorizontalGradient(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    LinearGradient(x, y, z, layer, out, 1);
}

void MaterialVerticalGradient(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    LinearGradient(x, y, z, layer, out, 0);
}

// 38 "Radial Gradient": a mirrored ramp along the radius, 1 at odd whole
// radii.
void MaterialRadialGradient(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const float t = layer.rec.turbulence;
    float d[3];
    TurbulentDisplacement(x, y, z, t, FbmOf(layer.rec), d);
    x += t * d[0];
    y += t * d[1];
    const float r = std::sqrt(x * x + y * y);
    float m = 0.0f;  // whole radii beyond 2^24 are even
    if (r < kFloatIntegerLimit) {
        const int32_t i = static_cast<int32_t>(r);
        m = (i & 1) ? static_cast<float>(i + 1) - r : r - std::floor(r);
    }
    AddLookup(out, *g, Clamp01(m * (1.0f - d[2])));
}

}  // namespace morvane::patterns
