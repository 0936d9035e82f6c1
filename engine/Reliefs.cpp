// The relief patterns 0 ("Waves") to 14 ("Crackle").  Each adds a
// perturbation of the surface normal, already scaled by the layer's relief
// intensity.
#include <algorithm>
#include <array>
#include <cmath>

#include "engine/Crackle.h"
#include "engine/PatternsInternal.h"

namespace morvane::patterns {

namespace {

constexpr int kSpectralSize = 21;

// 2^(-i/2) = (2^i)^(-0.5), built once before main runs.
const std::array<double, kSpectralSize> kSpectralWeights = [] {
    std::array<double, kSpectralSize> w{};
    for (int i = 0; i < kSpectralSize; ++i) w[i] = std::pow(std::pow(2.0, i), -0.5);
    return w;
}();

inline void AddScaled(float out[3], float k, const float v[3])
{
    out[0] += k * v[0];
    out[1] += k * v[1];
    out[2] += k * v[2];
}

// Vector noise scaled by a spectral weight (in double, stored as float).
inline void WeightedNoise(float v[3], const float q[3], double w)
{
    VNoise3(v, q[0], q[1], q[2]);
    for (int c = 0; c < 3; ++c) v[c] = static_cast<float>(v[c] * w);
}

inline void ScalePoint(float q[3], float f)
{
    q[0] *= f;
    q[1] *= f;
    q[2] *= f;
}

// The partial octave of "Multifractal", "Hetero" and "Hybrid":
// frac(phase) x V(q) x w[k], where frac keeps the sign.
inline void AddPartialOctave(float acc[3], const float q[3], float phase, int64_t k)
{
    const float r = FracTrunc(phase);
    if (r == 0.0f || !std::isfinite(r)) return;
    float v[3];
    VNoise3(v, q[0], q[1], q[2]);
    const double w = SpectralWeight(k);
    for (int c = 0; c < 3; ++c) acc[c] = static_cast<float>(acc[c] + r * v[c] * w);
}

template <bool Scaled>
void Waves(float x, float y, float z, const Layer& layer, float out[3])
{
    const LayerRecord& r = layer.rec;
    const int32_t sources = LimitedReliefDetail(r);
    const int k = static_cast<int>(std::clamp<int32_t>(sources, 0, kWaveSources));
    const float ri = r.reliefIntensity, frequency = r.frequency, phase = r.phase;
    float sum[3] = {0.0f, 0.0f, 0.0f};
    SumWaves(
        x, y, z, k,
        [&](int i, float dist) {
            if constexpr (Scaled) {
                const float f = WaveScales[i];
                return TableSin(dist * f * frequency + phase) * ri / f / dist * 0.05f;
            } else {
                return TableSin(dist * frequency + phase) * ri / dist * 0.05f;
            }
        },
        sum);
    Add(out, sum);
}

}  // namespace

double SpectralWeight(int64_t i)
{
    return kSpectralWeights[static_cast<size_t>(std::clamp<int64_t>(i, 0, kSpectralSize - 1))];
}

// 0 "Waves" and 1 "Ripples": waves around the first reliefDetail sources.
void ReliefWaves(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    Waves<true>(x, y, z, layer, out);
}

void ReliefRipples(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    Waves<false>(x, y, z, layer, out);
}

// 2 "Bumps"
void ReliefBumps(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float v[3];
    VNoise3(v, x, y, z);
    AddScaled(out, layer.rec.reliefIntensity, v);
}

// 3 "Dents"
void ReliefDents(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float n = Noise3(x, y, z);
    float v[3];
    VNoise3(v, x, y, z);
    AddScaled(out, n * n * n * layer.rec.reliefIntensity, v);
}

// 4 "Inverse Dents"
void ReliefInverseDents(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float a[3] = {0.0f, 0.0f, 0.0f};
    float f = 1.0f;
    const int32_t octaves = LimitedReliefDetail(layer.rec);
    for (int32_t i = 0; i < octaves; ++i) {
        if (std::isinf(f)) break;  // every further octave adds 0
        float v[3];
        VNoise3(v, f * x, f * y, f * z);
        a[0] += std::fabs(v[0] / f);
        a[1] += std::fabs(v[1] / f);
        a[2] += std::fabs(v[2] / f);
        f = 2.0f * f;
    }
    AddScaled(out, layer.rec.reliefIntensity, a);
}

// 5 "Quilted": the direction from the cell centre, as a unit vector.
void ReliefQuilted(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float f[3] = {x - static_cast<float>(CellIndex(x)) - 0.5f, y - static_cast<float>(CellIndex(y)) - 0.5f,
                        z - static_cast<float>(CellIndex(z)) - 0.5f};
    const float t = std::sqrt(f[0] * f[0] + 2.0f * f[1] * f[1]);
    const int32_t detail = LimitedReliefDetail(layer.rec);
    // Detail 0 takes the limit of an ever steeper cell: any positive
    // profile value gives the same direction.
    float o = t > 0.0f ? 1.0f : 0.0f;
    if (detail != 0) {
        const float m = 1.0f / static_cast<float>(detail);
        o = QuiltCell(t, m, 2.0f * m);
    }
    const float k = layer.rec.reliefIntensity * o;
    const float n[3] = {k * f[0], k * f[1], k * f[2]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0.0f) || !std::isfinite(length)) return;  // no direction
    for (int c = 0; c < 3; ++c) out[c] += n[c] / length;
}

// 6 "Brick": joints that slope across their width.
void ReliefBrick(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const float ri = layer.rec.reliefIntensity;
    const BrickJoint j = BrickJointOf(x, y, z);
    constexpr float w = 0.05f;
    if (j.fx > 0.0f && j.fx < w && j.fy >= w) out[0] += ((j.fx - w) * 20.0f + 0.5f) * ri;
    else if (j.fy >= 0.0f && j.fy < w) out[1] += ((j.fy - w) * 20.0f + 0.5f) * ri;
    else if (j.fz > 0.0f && j.fz < w) out[2] += ((j.fz - w) * 20.0f + 0.5f) * ri;
}

// 7 "Fbm"
void ReliefFbm(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const float p[3] = {x, y, z};
    float v[3];
    VectorFbm(p, r.phase, r.frequency, LimitedDetail(r), v);
    const float ri = r.reliefIntensity, t = r.turbulence;
    for (int c = 0; c < 3; ++c) out[c] += ri * v[c] + t;
}

// 8 "Crater": craters in some of the nine cells around the point, plus
// fine noise scaled by the phase.
void ReliefCrater(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const float p[3] = {x, y, z};
    float a[3] = {0.0f, 0.0f, 0.0f};
    // Detail 0 puts every crater centre infinitely far: no crater.
    const int detail = LimitedDetail(r);
    if (detail != 0) {
        const float d = static_cast<float>(detail);
        const float c0[3] = {std::floor(d * x), std::floor(d * y), std::floor(d * z)};
        static constexpr float kShift[3][3] = {{0.5f, 0.5f, 0.5f}, {3.5f, 10.5f, 7.5f}, {6.5f, -2.5f, 20.5f}};
        const float frequency = r.frequency;
        for (int i = -1; i <= 1; ++i) {
            for (int j = -1; j <= 1; ++j) {
                const float c[3] = {c0[0] + static_cast<float>(i), c0[1] + static_cast<float>(j), c0[2]};
                if (!(Noise3(3.0f * c[0] - 9.5f, 7.0f * c[1] + 7.5f, 12.0f * c[2] - 5.3f) < 0.55f)) continue;
                float e[3];
                for (int axis = 0; axis < 3; ++axis) {
                    const float* o = kShift[axis];
                    const float n = Noise3(c[0] + o[0], c[1] + o[1], c[2] + o[2]);
                    const float k = ((2.0f * n - 1.0f) * 0.6f + c[axis] + 0.5f) / d;
                    e[axis] = p[axis] - k;
                }
                const float t = Noise3(100.0f * e[0], 100.0f * e[1], 100.0f * e[2]);
                const float radius = (1.0f - 0.25f * t) * frequency * 0.1f;
                const float length = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
                if (!(length < radius)) continue;
                float u[3] = {0.0f, 0.0f, 1.0f};
                if (length != 0.0f) {
                    for (int axis = 0; axis < 3; ++axis) u[axis] = e[axis] / length;
                }
                const float depth = SmoothStep(0.0f, 1.0f, length / radius) * (1.0f - t * 0.33333334f);
                for (int axis = 0; axis < 3; ++axis) a[axis] -= depth * u[axis];
            }
        }
    }
    if (r.phase > 0.0f) {
        const float q[3] = {5.0f * x, 5.0f * y, 5.0f * z};
        float v[3];
        VectorFbm(q, 0.833f, 2.0f, 4, v);
        AddScaled(a, 0.1f * r.phase, v);
    }
    AddScaled(out, r.reliefIntensity, a);
}

// 9 "Multifractal": a product of octaves.
void ReliefMultifractal(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const float frequency = r.frequency;
    float m[3] = {1.0f, 1.0f, 1.0f};
    float q[3] = {x, y, z};
    const int32_t octaves = LimitedReliefDetail(r);
    for (int32_t i = 0; i < octaves; ++i) {
        float v[3];
        VNoise3(v, q[0], q[1], q[2]);
        for (int c = 0; c < 3; ++c) m[c] = m[c] * (v[c] + 1.0f);
        ScalePoint(q, frequency);
    }
    AddPartialOctave(m, q, r.phase, std::max<int32_t>(octaves, 0));
    AddScaled(out, r.reliefIntensity, m);
}

// 10 "Hetero": each octave scaled by the sum so far.
void ReliefHetero(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const float frequency = r.frequency;
    float h[3];
    VNoise3(h, x, y, z);
    float q[3] = {frequency * x, frequency * y, frequency * z};
    const int32_t octaves = LimitedReliefDetail(r);
    for (int32_t i = 1; i < octaves; ++i) {
        float v[3];
        WeightedNoise(v, q, SpectralWeight(i));
        for (int c = 0; c < 3; ++c) h[c] += h[c] * v[c];
        ScalePoint(q, frequency);
    }
    AddPartialOctave(h, q, r.phase, std::max<int32_t>(octaves, 1));
    AddScaled(out, r.reliefIntensity, h);
}

// 11 "Hybrid": additive and multiplicative together.
void ReliefHybrid(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const float frequency = r.frequency;
    const float p[3] = {x, y, z};
    float h[3];
    WeightedNoise(h, p, SpectralWeight(0));
    float w[3] = {h[0], h[1], h[2]};
    float q[3] = {frequency * x, frequency * y, frequency * z};
    const int32_t octaves = LimitedReliefDetail(r);
    for (int32_t i = 1; i < octaves; ++i) {
        for (int c = 0; c < 3; ++c) {
            if (w[c] > 1.0f) w[c] = 1.0f;
        }
        float s[3];
        WeightedNoise(s, q, SpectralWeight(i));
        for (int c = 0; c < 3; ++c) {
            h[c] += w[c] * s[c];
            w[c] = w[c] * s[c];
        }
        ScalePoint(q, frequency);
    }
    AddPartialOctave(h, q, r.phase, std::max<int32_t>(octaves, 1));
    AddScaled(out, r.reliefIntensity, h);
}

// 12 "Ridge": ridged octaves, all weighted by the x component.
void ReliefRidge(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const auto signal = [](float v) {
        const float s = 1.0f - std::fabs(v);
        return s * s;
    };
    const float frequency = r.frequency;
    float v[3];
    VNoise3(v, x, y, z);
    float sum[3] = {signal(v[0]), signal(v[1]), signal(v[2])};
    float s[3] = {sum[0], sum[1], sum[2]};
    float q[3] = {x, y, z};
    const int32_t octaves = LimitedReliefDetail(r);
    for (int32_t i = 1; i < octaves; ++i) {
        ScalePoint(q, frequency);
        const float g = Clamp(2.0f * s[0], 0.0f, 1.0f);
        VNoise3(v, q[0], q[1], q[2]);
        const double w = SpectralWeight(i);
        for (int c = 0; c < 3; ++c) {
            s[c] = signal(v[c]) * g;
            sum[c] = static_cast<float>(sum[c] + s[c] * w);
        }
    }
    AddScaled(out, r.reliefIntensity, sum);
}

// 13 "TerrainBump": plain halving octaves for a whole phase, weighted
// terrain octaves otherwise.
void ReliefTerrainBump(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const int32_t octaves = LimitedReliefDetail(r);
    if (octaves <= 0) return;  // no octave: nothing to add
    const float frequency = r.frequency, phase = r.phase;
    float a[3] = {0.0f, 0.0f, 0.0f};
    if (FracTrunc(phase) == 0.0f) {
        float amplitude = 1.0f, f = 1.0f;
        for (int32_t i = 0; i < octaves; ++i) {
            float v[3];
            VNoise3(v, f * x, f * y, f * z);
            for (int c = 0; c < 3; ++c) a[c] += amplitude * (2.0f * v[c] - 0.5f);
            amplitude *= 0.5f;
            f *= frequency;
        }
    } else {
        float v[3];
        VNoise3(v, x, y, z);
        float q[3] = {x + 0.5f * v[0], y + 0.5f * v[1], z + 0.5f * v[2]};
        VNoise3(v, q[0], q[1], q[2]);
        float w[3];
        for (int c = 0; c < 3; ++c) {
            w[c] = std::fabs(v[c] + 1.5f * FracTrunc(q[c]));
            a[c] = (2.0f * v[c] - 0.5f) * w[c];
        }
        float g = phase;
        for (int32_t i = 1; i < octaves; ++i) {
            ScalePoint(q, frequency);
            VNoise3(v, q[0], q[1], q[2]);
            for (int c = 0; c < 3; ++c) {
                const float d = 2.0f * v[c] - 0.5f;
                w[c] = Clamp(std::fabs(g * (d + 0.7f) * w[c]), 0.0f, 1.0f);
                a[c] = static_cast<float>(a[c] + std::min(static_cast<double>(w[c]), 0.9) * d);
            }
            g = g * phase;
        }
    }
    AddScaled(out, r.reliefIntensity, a);
}

// 14 "Crackle": towards the two nearest feature points, by the difference
// of their distances; the z component is never negative.
void ReliefCrackle(float x, float y, float z, const Layer& layer, float out[3], EvalContext& ctx)
{
    const LayerRecord& r = layer.rec;
    const auto octaves = static_cast<int16_t>(LimitedReliefDetail(r));
    const CrackleList& list = ctx.crackle.Points(x, y, z, r.phase, octaves, r.lacunarity, r.omega);
    const CrackleNearest n = FindNearestTwo(list, x, y, z);
    float v = std::sqrt(n.d2) - std::sqrt(n.d1);
    if (v > 1.0f) v = 1.0f;
    const float s = v * r.reliefIntensity;
    const float* p1 = list.points[n.first];
    const float* p2 = list.points[n.second];
    const float c[3] = {s * ((p1[0] - x) + (p2[0] - x)), s * ((p1[1] - y) + (p2[1] - y)),
                        s * ((p1[2] - z) + (p2[2] - z))};
    out[0] += c[0];
    out[1] += c[1];
    out[2] += std::fabs(c[2]);
}

}  // namespace morvane::patterns
