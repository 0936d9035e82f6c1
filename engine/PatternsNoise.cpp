// The noise colour patterns: materials 0 ("Sky") to 13 ("Stains").
#include <cmath>
#include <cstring>

#include "engine/PatternsInternal.h"

namespace morvane::patterns {

namespace {

void SetColour(float c[3], float r, float g, float b)
{
    c[0] = r;
    c[1] = g;
    c[2] = b;
}

void StartColour(const GradientEntry& e, float c[3]) { SetColour(c, e.startR, e.startG, e.startB); }

}  // namespace

// ---------------------------------------------------------------------------

void GraniteColour(float x, float y, float z, float turbulence, const FbmParams& f, const Gradient* g, float out[3])
{
    float sum = std::fabs(0.5f - Noise3(x, y, z));
    float frequency = f.lacunarity;
    float amplitude = f.omega;
    for (int i = 1; i < f.detail; ++i) {
        sum += amplitude * std::fabs(0.5f - Noise3(x * frequency, y * frequency, z * frequency));
        if (i < f.detail - 1) {
            frequency *= f.lacunarity;
            amplitude *= f.omega;
        }
    }
    const float v = sum * turbulence;
    if (g) AddLookup(out, *g, v);
    else Add(out, v, v, v);
}

void MarbleColour(float x, float y, float z, float turbulence, const FbmParams& f, const Gradient* g, float out[3])
{
    const float v = TriangleWave(x + turbulence * FbmAt(x, y, z, f));
    if (g) AddLookup(out, *g, v);
    else if (v < 0.9f) Add(out, 0.9f, 0.8f - 0.8f * v, 0.8f - 0.8f * v);
}

BrickJoint BrickJointOf(float x, float y, float z)
{
    // The row is only needed for its parity.
    const double fy0 = std::floor(static_cast<double>(y));
    const bool oddRow = std::isfinite(fy0) && std::fmod(fy0, 2.0) != 0.0;
    const double bx = oddRow ? static_cast<double>(x) + 0.5 : static_cast<double>(x);
    BrickJoint j;
    j.fx = static_cast<float>(std::fabs(std::fmod(bx, 1.0)));
    j.fy = static_cast<float>(std::fabs(std::fmod(static_cast<double>(y), 1.0)));
    j.fz = static_cast<float>(std::fabs(std::fmod(static_cast<double>(z), 1.0)));
    return j;
}

// ---------------------------------------------------------------------------
// 0 "Sky"

void MaterialSky(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float t = layer.rec.turbulence;
    float d[3];
    TurbulentDisplacement(x, y, z, t, FbmOf(layer.rec), d);
    const float n = Noise3(x + t * d[0], y + t * d[1], z + t * d[2]);
    if (const Gradient* g = GradientOf(layer)) {
        AddLookup(out, *g, n);
    } else if (n < 0.4f) {
        Add(out, 1.0f, 1.0f, 1.0f);
    } else if (n < 0.6f) {
        Add(out, 0.0f, 1.0f, 0.0f);
    } else if (n < 0.8f) {
        Add(out, 0.0f, 0.0f, 1.0f);
    } else {
        Add(out, 1.0f, 0.0f, 0.0f);
    }
}

// 1 "Marble"
void MaterialMarble(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    MarbleColour(x, y, z, layer.rec.turbulence, FbmOf(layer.rec), GradientOf(layer), out);
}

// 2 "Wood"
void MaterialWood(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float t = layer.rec.turbulence;
    const FbmParams f = FbmOf(layer.rec);
    float d[3];
    VFbm(d, x, y, z, f.detail, f.lacunarity, f.omega);
    const float a = x + TableSin(t * (x + d[0]));
    const float b = y + TableSin(t * (y + d[1]));
    const float v = TriangleWave(std::sqrt(a * a + b * b));
    if (const Gradient* g = GradientOf(layer)) AddLookup(out, *g, v);
    else if (v > 0.6f) Add(out, 0.4f, 0.133f, 0.066f);
    else Add(out, 0.666f, 0.312f, 0.2f);
}

// 3 "Brick": Granite bricks at ten times the point, coloured by gradient
// entries 1..23, and mortar joints in the colour of entry 0.
void MaterialBrick(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* own = GradientOf(layer);
    if (!own) return;

    // Temporary, on the stack: entry j has the positions of entry j and the
    // colours of entry j + 1; entry 23 stays as it is.
    Gradient bricks = *own;
    bricks.head.count = kGradientEntries;
    for (int j = 0; j < kGradientEntries - 1; ++j) {
        GradientEntry& e = bricks.entries[j];
        const GradientEntry& next = own->entries[j + 1];
        e.startR = next.startR;
        e.startG = next.startG;
        e.startB = next.startB;
        e.endR = next.endR;
        e.endG = next.endG;
        e.endB = next.endB;
    }

    float c[3] = {0.0f, 0.0f, 0.0f};
    GraniteColour(10.0f * x, 10.0f * y, 10.0f * z, layer.rec.turbulence, FbmOf(layer.rec), &bricks, c);

    const BrickJoint j = BrickJointOf(x, y, z);
    const float m = kMortar;
    const bool mortar = (j.fx > 0.0f && j.fx < 0.8 * m && j.fy >= m) || (j.fy >= 0.0f && j.fy < m) ||
                        (j.fz > 0.0f && j.fz < m);
    if (mortar) StartColour(own->entries[0], c);
    Add(out, c);
}

// 4 "Checker"
void MaterialChecker(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    x += 0.001f;
    y += 0.001f;
    z += 0.001f;
    const float s = layer.rec.turbulence * FbmAt(x, y, z, FbmOf(layer.rec));
    float c[3];
    if (CellSumIsOdd(CellIndex(x + s), CellIndex(y + s), CellIndex(z + s))) StartColour(g->entries[0], c);
    else StartColour(g->entries[kGradientEntries - 1], c);
    Add(out, c);
}

// 5 "Checker Texture": Marble through the lower half of the gradient on
// odd cells and through the upper half on even ones.
void MaterialCheckerTexture(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* own = GradientOf(layer);
    if (!own) return;
    x += 0.001f;
    y += 0.001f;
    z += 0.001f;
    const bool odd = CellSumIsOdd(CellIndex(x), CellIndex(y), CellIndex(z));

    constexpr int kHalf = kGradientEntries / 2;
    Gradient half = *own;  // temporary, on the stack: 12 entries
    half.head.count = kHalf;
    if (!odd) std::memcpy(&half.entries[0], &own->entries[kHalf], sizeof(GradientEntry) * kHalf);
    for (int j = kHalf; j < kGradientEntries; ++j) {  // never matched, whatever reads them
        half.entries[j].start = 2.0f;
        half.entries[j].end = 2.0f;
    }

    MarbleColour(x, y, z, layer.rec.turbulence, FbmOf(layer.rec), &half, out);
}

// 6 "Reflection"
void MaterialReflection(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float n = Noise3(x, y, z);
    if (const Gradient* g = GradientOf(layer)) AddLookup(out, *g, n);
    else Add(out, n, n, n);
}

// 7 "Agate"
void MaterialAgate(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float f = FbmAt(x, y, z, FbmOf(layer.rec));
    const float a = (TableSin(static_cast<float>(1.3 * f + 1.1 * z)) + 1.0f) * 0.5f;
    const float t = static_cast<float>(std::pow(static_cast<double>(a), layer.rec.turbulence + 0.01));
    if (const Gradient* g = GradientOf(layer)) AddLookup(out, *g, t);
    else if (t < 0.5f) Add(out, 1.0f - 0.1f * t, 1.0f - 0.2f * t, 1.0f - t);
    else if (t < 0.6f) Add(out, 0.9f, 0.7f, 1.0f - t);
    else Add(out, 1.6f - t, 1.3f - t, 1.0f - t);
}

// 8 "Granite"
void MaterialGranite(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    GraniteColour(x, y, z, layer.rec.turbulence, FbmOf(layer.rec), GradientOf(layer), out);
}

// 9 "Flame": folds of x, y (and z through the displacement) through the
// gradient; nothing without one.
void MaterialFlame(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const Gradient* g = GradientOf(layer);
    if (!g) return;
    const float t = layer.rec.turbulence;
    float d[3];
    TurbulentDisplacement(x, y, z, t, FbmOf(layer.rec), d);  // (0, 0, 0) without turbulence
    x += t * d[0];
    y += t * d[1];
    float s = 0.0f;
    if (layer.rec.foldX != 0.0f) s = MirroredRepeat(x);
    if (layer.rec.foldY != 0.0f) s += MirroredRepeat(y);
    if (layer.rec.foldZ != 0.0f) s = s * (1.0f - d[2]);
    if (s > 1.0f) s = 1.0f;
    if (s < 0.0f) s = 0.0f;
    AddLookup(out, *g, s);
}

// 10 "Onion"
void MaterialOnion(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float t = layer.rec.turbulence;
    const FbmParams f = FbmOf(layer.rec);
    float d[3];
    VFbm(d, x, y, z, f.detail, f.lacunarity, f.omega);
    const float px = x + t * d[0], py = y + t * d[1], pz = z + t * d[2];
    const float v = t * std::fmod(std::sqrt(px * px + py * py + pz * pz), 1.0f);
    if (const Gradient* g = GradientOf(layer)) AddLookup(out, *g, v);
    else Add(out, v, v, v);
}

// 11 "Leopard": sines in radians.
void MaterialLeopard(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float t = layer.rec.turbulence;
    float d[3];
    TurbulentDisplacement(x, y, z, t, FbmOf(layer.rec), d);
    x += t * d[0];
    y += t * d[1];
    z += t * d[2];
    const double s = (std::sin(static_cast<double>(x)) + std::sin(static_cast<double>(y)) +
                      std::sin(static_cast<double>(z))) *
                     static_cast<double>(0.33333334f);
    const float v = static_cast<float>(s * s);
    if (const Gradient* g = GradientOf(layer)) AddLookup(out, *g, v);
    else Add(out, v, v, v);
}

// 12 "Smoke"
void MaterialSmoke(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float t = layer.rec.turbulence;
    const FbmParams f = FbmOf(layer.rec);
    float d[3];
    VNoise3(d, x, y, z);
    const float k = 4.0f * t;
    float sum = std::fabs(Noise3(k * d[0], k * d[1], k * d[2]));
    float frequency = f.lacunarity;
    float amplitude = f.omega;
    for (int i = 1; i < f.detail; ++i) {
        const float kf = 4.0f * frequency;
        sum += amplitude * std::fabs(Noise3(kf * d[0], kf * d[1], kf * d[2]));
        if (i < f.detail - 1) {
            frequency *= f.lacunarity;
            amplitude *= f.omega;
        }
    }
    if (const Gradient* g = GradientOf(layer)) AddLookup(out, *g, sum);
    else Add(out, sum, sum, sum);
}

// 13 "Stains": two colours in alternate cells of the x-z plane.
void MaterialStains(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float c1[3] = {1.0f, 1.0f, 1.0f};
    float c2[3] = {0.0f, 1.0f, 0.0f};
    if (const Gradient* g = GradientOf(layer)) {
        GradientLookup(c1, *g, 0.1f);
        GradientLookup(c2, *g, 0.9f);
    }
    const float t = layer.rec.turbulence;
    float d[3];
    TurbulentDisplacement(x, y, z, t, FbmOf(layer.rec), d);
    x += t * d[0];
    z += t * d[2];
    Add(out, CellSumIsOdd(CellIndex(x), CellIndex(z)) ? c1 : c2);
}

}  // namespace morvane::patterns
