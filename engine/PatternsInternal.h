// Helpers shared by the pattern sources (PatternsNoise, PatternsCellular,
// PatternsPicture, Reliefs) and the declarations of every pattern.  Not for
// use outside the pattern code and its tests.
//
// Precision: patterns compute in single precision.  Where a constant is a
// double the expression containing it is evaluated in double and the result
// is rounded to float when it is stored, as C arithmetic does.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/EvalContext.h"
#include "engine/FloatInt.h"
#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/Patterns.h"
#include "engine/Records.h"

namespace morvane::patterns {

// The width of the brick joints; the brick patterns store it in the layer's
// mortar field (in the pre-render pass, see PrepareLayerPatterns).
constexpr float kMortar = 0.05f;

// ---------------------------------------------------------------------------
// Small numeric helpers

// Fractional part with the floor: 0 <= result < 1 for finite v.
inline float FracFloor(float v) { return v - std::floor(v); }
// Fractional part toward zero: it keeps the sign of v.
inline float FracTrunc(float v) { return v - std::trunc(v); }

// Floats at or above 2^24 are all even whole numbers.
constexpr float kFloatIntegerLimit = 16777216.0f;

// Whether trunc(a) is odd, for a >= 0; false for NaN and infinity.
inline bool TruncIsOdd(float a)
{
    if (!(a < kFloatIntegerLimit)) return false;
    return (static_cast<int32_t>(a) & 1) != 0;
}

// The index of the unit cell holding v: floor(v) for v >= 0, and
// -floor(-v) - 1 below 0 (so a negative whole number v gives v - 1).
inline int64_t CellIndex(float v)
{
    if (v >= 0.0f) return SatTrunc<int64_t>(std::floor(v));
    return -SatTrunc<int64_t>(std::floor(-v)) - 1;  // NaN gives -1
}

// Whether the sum of cell indices is odd (the sum wraps instead of
// overflowing; its parity is the parity of the true sum).
inline bool CellSumIsOdd(int64_t a, int64_t b, int64_t c = 0)
{
    return ((static_cast<uint64_t>(a) + static_cast<uint64_t>(b) + static_cast<uint64_t>(c)) & 1u) != 0;
}

// 0 -> 1 on even unit intervals of |v|, 1 -> 0 on odd ones.
inline float MirroredRepeat(float v)
{
    float a = std::fabs(v);
    if (!(a < kFloatIntegerLimit)) return 0.0f;  // a whole number, or not finite
    const int32_t i = static_cast<int32_t>(a);
    if (i & 1) a = static_cast<float>(i + 1) - a;
    return a - std::floor(a);
}

// The quilt cell profile: a cubic Bezier curve with control values 0, a,
// b, 1 at t, scaled.
inline float QuiltCell(float t, float a, float b)
{
    const float s = 1.0f - t;
    const float curve = 3.0f * t * s * s * a + 3.0f * t * t * s * b + t * t * t;
    return static_cast<float>(curve * 1.154700538);
}

// The 12-bit lattice index of a whole-number float coordinate, as the low
// bits of its two's-complement value.  Exact for every finite float (the
// remainder by 4096 is exact), so the lattice repeats every 4096 units even
// beyond the range of int; NaN and infinity give 0.
inline uint32_t LatticeIndex(float g)
{
    return static_cast<uint32_t>(SatTrunc(std::fmod(g, 4096.0f))) & 0xFFFu;
}

inline uint32_t LatticeHash(float gx, float gy, float gz)
{
    const auto perm = [](uint32_t i) { return static_cast<uint32_t>(static_cast<uint16_t>(NoisePerm[i])); };
    return perm(perm(perm(LatticeIndex(gx)) ^ LatticeIndex(gy)) ^ LatticeIndex(gz));
}

// ---------------------------------------------------------------------------
// Layer access

struct FbmParams {
    int16_t detail;
    float lacunarity;
    float omega;
};

inline FbmParams FbmOf(const LayerRecord& r) { return {LimitedDetail(r), r.lacunarity, r.omega}; }

inline float FbmAt(float x, float y, float z, const FbmParams& f)
{
    return Fbm(x, y, z, f.detail, f.lacunarity, f.omega);
}

inline const Gradient* GradientOf(const Layer& layer)
{
    return layer.gradient ? &*layer.gradient : nullptr;
}

inline void Add(float out[3], float r, float g, float b)
{
    out[0] += r;
    out[1] += g;
    out[2] += b;
}

inline void Add(float out[3], const float c[3]) { Add(out, c[0], c[1], c[2]); }

// Adds the gradient's colour of v.
inline void AddLookup(float out[3], const Gradient& g, float v)
{
    float c[3];
    GradientLookup(c, g, v);
    Add(out, c);
}

// The turbulent displacement vector: VFbm of the point when the turbulence
// is not 0, else (0, 0, 0) without computing anything.  Each pattern moves
// the components it needs by turbulence x d.
inline void TurbulentDisplacement(float x, float y, float z, float turbulence, const FbmParams& f, float d[3])
{
    d[0] = d[1] = d[2] = 0.0f;
    if (turbulence != 0.0f) VFbm(d, x, y, z, f.detail, f.lacunarity, f.omega);
}

// ---------------------------------------------------------------------------
// Wave sources

// The source count of the wave colour patterns: detail, 10 for 0, at most
// the number of sources.
inline int WaveSourceCount(int16_t detail)
{
    const int k = detail == 0 ? 10 : detail;
    return k < kWaveSources ? k : kWaveSources;
}

// The offset d of the point from wave source i; returns its length, 1 where
// it is 0.
inline float SourceOffset(float x, float y, float z, int i, float d[3])
{
    d[0] = x - WaveSources[i][0];
    d[1] = y - WaveSources[i][1];
    d[2] = z - WaveSources[i][2];
    float h = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (h == 0.0f) h = 1.0f;
    return std::sqrt(h);
}

// Adds to sum, for each of the first k sources, the point's offset from
// the source times weight(i, distance).
template <class Weight>
inline void SumWaves(float x, float y, float z, int k, Weight weight, float sum[3])
{
    for (int i = 0; i < k; ++i) {
        float d[3];
        const float s = weight(i, SourceOffset(x, y, z, i, d));
        sum[0] += s * d[0];
        sum[1] += s * d[1];
        sum[2] += s * d[2];
    }
}

// ---------------------------------------------------------------------------
// Shared by several patterns

// Granite and Marble with a gradient given apart from the layer (Brick and
// Checker Texture pass temporary gradients).  g may be null.
void GraniteColour(float x, float y, float z, float turbulence, const FbmParams& f, const Gradient* g, float out[3]);
void MarbleColour(float x, float y, float z, float turbulence, const FbmParams& f, const Gradient* g, float out[3]);

// The brick joint geometry: the offsets of the point inside its brick
// (fx, fy, fz, each >= 0; odd rows shifted by half a brick).
struct BrickJoint {
    float fx, fy, fz;
};
BrickJoint BrickJointOf(float x, float y, float z);

// Adds the picture's colour at picture coordinates (px, py), repeated with
// every other copy mirrored.  Adds nothing without a usable picture or at a
// coordinate that is not finite.
void PictureSample(const Layer& layer, float px, float py, float out[3]);

// ---------------------------------------------------------------------------
// The patterns (shape of PatternFn)

#define MORVANE_PATTERN(name) void name(float x, float y, float z, const Layer& layer, float out[3], EvalContext& ctx)

MORVANE_PATTERN(MaterialSky);
MORVANE_PATTERN(MaterialMarble);
MORVANE_PATTERN(MaterialWood);
MORVANE_PATTERN(MaterialBrick);
MORVANE_PATTERN(MaterialChecker);
MORVANE_PATTERN(MaterialCheckerTexture);
MORVANE_PATTERN(MaterialReflection);
MORVANE_PATTERN(MaterialAgate);
MORVANE_PATTERN(MaterialGranite);
MORVANE_PATTERN(MaterialFlame);
MORVANE_PATTERN(MaterialOnion);
MORVANE_PATTERN(MaterialLeopard);
MORVANE_PATTERN(MaterialSmoke);
MORVANE_PATTERN(MaterialStains);

MORVANE_PATTERN(MaterialCrackle);
MORVANE_PATTERN(MaterialMandelbrot);
MORVANE_PATTERN(MaterialRadial);
MORVANE_PATTERN(MaterialCyclone);
MORVANE_PATTERN(MaterialCyclone1);
MORVANE_PATTERN(MaterialColorRipples);
MORVANE_PATTERN(MaterialColorWaves);
MORVANE_PATTERN(MaterialColorDents);
MORVANE_PATTERN(MaterialColorWrinkles);
MORVANE_PATTERN(MaterialColorQuilted);
MORVANE_PATTERN(MaterialHorizontalGradient);
MORVANE_PATTERN(MaterialVerticalGradient);
MORVANE_PATTERN(MaterialRadialGradient);

MORVANE_PATTERN(MaterialPerturbedImage);
MORVANE_PATTERN(MaterialRipplesImage);
MORVANE_PATTERN(MaterialWavesImage);
MORVANE_PATTERN(MaterialDentsImage);
MORVANE_PATTERN(MaterialWrinklesImage);
MORVANE_PATTERN(MaterialQuiltedImage);
MORVANE_PATTERN(MaterialMarbleImage);
MORVANE_PATTERN(MaterialWoodImage);
MORVANE_PATTERN(MaterialLeopardImage);
MORVANE_PATTERN(MaterialOnionImage);
MORVANE_PATTERN(MaterialSwirledImage);

MORVANE_PATTERN(ReliefWaves);
MORVANE_PATTERN(ReliefRipples);
MORVANE_PATTERN(ReliefBumps);
MORVANE_PATTERN(ReliefDents);
MORVANE_PATTERN(ReliefInverseDents);
MORVANE_PATTERN(ReliefQuilted);
MORVANE_PATTERN(ReliefBrick);
MORVANE_PATTERN(ReliefFbm);
MORVANE_PATTERN(ReliefCrater);
MORVANE_PATTERN(ReliefMultifractal);
MORVANE_PATTERN(ReliefHetero);
MORVANE_PATTERN(ReliefHybrid);
MORVANE_PATTERN(ReliefRidge);
MORVANE_PATTERN(ReliefTerrainBump);
MORVANE_PATTERN(ReliefCrackle);

#undef MORVANE_PATTERN

// The spectral weights 2^(-i/2), i = 0..20, of the fractal reliefs; an
// index beyond the table reads its last weight, below it the first.
double SpectralWeight(int64_t i);

}  // namespace morvane::patterns
