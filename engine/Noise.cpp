#include "engine/Noise.h"

#include <cmath>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/Cpu.h"
#include "engine/FloatInt.h"
#include "engine/Random.h"

namespace morvane {

namespace {

// The tables, written by BuildTables alone; everyone else reads them
// through the const names below.
struct NoiseTables {
    int16_t perm[kNoisePermSize];
    float lattice[kNoiseLatticeSize];
    int16_t gradients[kNoiseLatticeSize][4];
    float sine[kSineTableSize];
    float waveSources[kWaveSources][3];
    float waveScales[kWaveSources];
};
NoiseTables g_tables;

}  // namespace

const int16_t (&NoisePerm)[kNoisePermSize] = g_tables.perm;
const float (&NoiseLattice)[kNoiseLatticeSize] = g_tables.lattice;
const int16_t (&NoiseGradients)[kNoiseLatticeSize][4] = g_tables.gradients;
const float (&SineTable)[kSineTableSize] = g_tables.sine;
const float (&WaveSources)[kWaveSources][3] = g_tables.waveSources;
const float (&WaveScales)[kWaveSources] = g_tables.waveScales;

namespace {

std::mutex g_initMutex;
bool g_built = false;

uint16_t g_crcTable[256];

void BuildCrcTable()
{
    for (unsigned n = 0; n < 256; ++n) {
        unsigned c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xA001u : c >> 1;
        g_crcTable[n] = static_cast<uint16_t>(c);
    }
}

// Truncation toward zero for the lattice: the processor's own conversion
// where it is defined for every input (out of range and NaN give INT_MIN,
// which the fraction check below turns into a corner), else the helper.
inline int32_t LatticeTrunc(float v)
{
#if defined(__SSE2__)
    return _mm_cvtt_ss2si(_mm_set_ss(v));
#else
    return SatTrunc(v);
#endif
}

// The unit cube around a point: its lower corner, the fixed-point offsets
// of the point from it, and the smoothstep weights.
struct Cell {
    uint32_t ix, iy, iz;
    int32_t fx, fy, fz;
    float sx, sy, sz;
};

inline float LatticeFraction(float v, uint32_t& cell)
{
    const float shifted = v + 10000.0f;
    const int32_t i = LatticeTrunc(shifted);
    float f = shifted - static_cast<float>(i);
    // Non-finite or enormous coordinates have no fractional part that means
    // anything; they take the corner itself.
    if (!(f > -1.0f && f < 1.0f)) f = 0.0f;
    cell = static_cast<uint32_t>(i);
    return f;
}

inline void SetUpCell(float x, float y, float z, Cell& c)
{
    const float fx = LatticeFraction(x, c.ix);
    const float fy = LatticeFraction(y, c.iy);
    const float fz = LatticeFraction(z, c.iz);
    c.fx = static_cast<int16_t>(static_cast<int32_t>(fx * 32767.0f));
    c.fy = static_cast<int16_t>(static_cast<int32_t>(fy * 32767.0f));
    c.fz = static_cast<int16_t>(static_cast<int32_t>(fz * 32767.0f));
    c.sx = fx * fx * (3.0f - 2.0f * fx);
    c.sy = fy * fy * (3.0f - 2.0f * fy);
    c.sz = fz * fz * (3.0f - 2.0f * fz);
}

// The hashes NoisePerm[NoisePerm[NoisePerm[i] ^ j] ^ k] & 255 of the four
// corners of one z layer, sharing the inner lookups.  Permutation values
// are below 4096, so the exclusive-ors stay inside the table.
struct LayerHashes {
    int h00, h10, h01, h11;  // by x, y
};

struct CellHashes {
    uint32_t q00, q10, q01, q11;  // NoisePerm[NoisePerm[i] ^ j] for the four x, y
    uint32_t k0, k1;
};

inline uint32_t Perm(uint32_t i) { return static_cast<uint16_t>(NoisePerm[i]); }

inline CellHashes HashCell(const Cell& c)
{
    const uint32_t i0 = c.ix & 4095u, i1 = (c.ix + 1u) & 4095u;
    const uint32_t j0 = c.iy & 4095u, j1 = (c.iy + 1u) & 4095u;
    const uint32_t p0 = Perm(i0), p1 = Perm(i1);
    return {Perm(p0 ^ j0), Perm(p1 ^ j0), Perm(p0 ^ j1), Perm(p1 ^ j1), c.iz & 4095u, (c.iz + 1u) & 4095u};
}

inline LayerHashes HashLayer(const CellHashes& q, uint32_t k)
{
    return {static_cast<int>(Perm(q.q00 ^ k) & 255u), static_cast<int>(Perm(q.q10 ^ k) & 255u),
            static_cast<int>(Perm(q.q01 ^ k) & 255u), static_cast<int>(Perm(q.q11 ^ k) & 255u)};
}

template <bool Packed>
inline float Dot(const int16_t row[4], int32_t ox, int32_t oy, int32_t oz)
{
    uint32_t sum = static_cast<uint32_t>(int32_t{row[0]} * 16384);
    sum += static_cast<uint32_t>(int32_t{row[1]} * ox);
    sum += static_cast<uint32_t>(int32_t{row[2]} * oy);
    if constexpr (Packed) sum += static_cast<uint32_t>(int32_t{row[3]} * oz);
    return static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(sum >> 16)));
}

// Weight x value summed over the four corners of one z layer, pairwise:
// (x0 y0 + x1 y0) + (x0 y1 + x1 y1).
struct LayerWeights {
    float w00, w10, w01, w11;
    int32_t ox0, ox1, oy0, oy1;
};

inline LayerWeights Weights(const Cell& c)
{
    const float wx0 = 1.0f - c.sx, wy0 = 1.0f - c.sy;
    return {wx0 * wy0, c.sx * wy0, wx0 * c.sy, c.sx * c.sy,
            c.fx, int16_t(c.fx - 32767), c.fy, int16_t(c.fy - 32767)};
}

template <bool Packed>
inline float SumLayer(const LayerWeights& w, const LayerHashes& h, float wz, int32_t oz, int rowShift)
{
    const float t00 = w.w00 * wz * Dot<Packed>(NoiseGradients[h.h00 + rowShift], w.ox0, w.oy0, oz);
    const float t10 = w.w10 * wz * Dot<Packed>(NoiseGradients[h.h10 + rowShift], w.ox1, w.oy0, oz);
    const float t01 = w.w01 * wz * Dot<Packed>(NoiseGradients[h.h01 + rowShift], w.ox0, w.oy1, oz);
    const float t11 = w.w11 * wz * Dot<Packed>(NoiseGradients[h.h11 + rowShift], w.ox1, w.oy1, oz);
    return (t00 + t10) + (t01 + t11);
}

// The sum over the corners: the lower z layer, plus the upper one when its
// weight is not zero (it would add nothing anyway).
template <bool Packed>
inline float SumCorners(const Cell& c, const LayerWeights& w, const LayerHashes& lower,
                        const LayerHashes& upper, int rowShift)
{
    float sum = SumLayer<Packed>(w, lower, 1.0f - c.sz, c.fz, rowShift);
    if (c.sz != 0.0f) sum += SumLayer<Packed>(w, upper, c.sz, int16_t(c.fz - 32767), rowShift);
    return sum;
}

// The scalar noise from the weighted corner sum: 0.5 + 2^-14 sum in 0..1.
inline float NoiseValue(float sum)
{
    const float n = 0.5f + sum * (1.0f / 16384.0f);
    if (n < 0.0f) return 0.0f;
    if (n > 1.0f) return 1.0f;
    return n;
}

template <bool Packed>
float Noise3Impl(float x, float y, float z)
{
    Cell c;
    SetUpCell(x, y, z, c);
    const CellHashes q = HashCell(c);
    const LayerWeights w = Weights(c);
    const LayerHashes lower = HashLayer(q, q.k0);
    const LayerHashes upper = c.sz != 0.0f ? HashLayer(q, q.k1) : lower;
    return NoiseValue(SumCorners<Packed>(c, w, lower, upper, 0));
}

template <bool Packed>
void VNoise3Impl(float out[3], float x, float y, float z)
{
    Cell c;
    SetUpCell(x, y, z, c);
    const CellHashes q = HashCell(c);
    const LayerWeights w = Weights(c);
    const LayerHashes lower = HashLayer(q, q.k0);
    const LayerHashes upper = c.sz != 0.0f ? HashLayer(q, q.k1) : lower;
    out[0] = SumCorners<Packed>(c, w, lower, upper, 0) * (1.0f / 16384.0f);
    out[1] = SumCorners<Packed>(c, w, lower, upper, 4) * (1.0f / 16384.0f);
    out[2] = SumCorners<Packed>(c, w, lower, upper, 8) * (1.0f / 16384.0f);
}

#if defined(__SSE2__)
// The same sums with SSE2: the four corners of a z layer in one register.
// Integer products and wrap-around sums are exact, and every float
// operation is the one the portable code does, in the same order, so the
// results are identical bit for bit (the tests compare the two).

inline __m128i LoadRows(int ha, int hb, int rowShift)
{
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(NoiseGradients[ha + rowShift]));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(NoiseGradients[hb + rowShift]));
    return _mm_unpacklo_epi64(a, b);
}

// The four corners' high halves of the dot products, as floats.
inline __m128 LayerDots(const LayerHashes& h, __m128i offX0Y0, __m128i offX0Y1, int rowShift)
{
    const __m128i m0 = _mm_madd_epi16(LoadRows(h.h00, h.h10, rowShift), offX0Y0);
    const __m128i m1 = _mm_madd_epi16(LoadRows(h.h01, h.h11, rowShift), offX0Y1);
    const __m128 f0 = _mm_castsi128_ps(m0), f1 = _mm_castsi128_ps(m1);
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(f0, f1, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(f0, f1, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_add_epi32(even, odd), 16));
}

// (t00 + t10) + (t01 + t11) of weight x dot.
inline float LayerSum(__m128 wxy, float wz, __m128 dots)
{
    const __m128 t = _mm_mul_ps(_mm_mul_ps(wxy, _mm_set1_ps(wz)), dots);
    const __m128 pairs = _mm_add_ps(t, _mm_shuffle_ps(t, t, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_movehl_ps(pairs, pairs)));
}

struct SimdCell {
    LayerHashes lower, upper;
    __m128 wxy;      // (1-sx)(1-sy), sx(1-sy), (1-sx)sy, sx sy
    float wz0, wz1;  // 1 - sz, sz
    __m128i off[4];  // lower x0y0|x1y0, lower x0y1|x1y1, upper likewise
    bool hasUpper;
};

// The cell set-up of SetUpCell for the three axes at once.
template <bool Packed>
inline void SetUpSimd(float x, float y, float z, SimdCell& s)
{
    const __m128 shifted = _mm_add_ps(_mm_setr_ps(x, y, z, 0.0f), _mm_set1_ps(10000.0f));
    const __m128i cell = _mm_cvttps_epi32(shifted);
    __m128 f = _mm_sub_ps(shifted, _mm_cvtepi32_ps(cell));
    const __m128 inside = _mm_and_ps(_mm_cmpgt_ps(f, _mm_set1_ps(-1.0f)), _mm_cmplt_ps(f, _mm_set1_ps(1.0f)));
    f = _mm_and_ps(f, inside);
    const __m128i fixed = _mm_cvttps_epi32(_mm_mul_ps(f, _mm_set1_ps(32767.0f)));
    const __m128 w = _mm_mul_ps(_mm_mul_ps(f, f), _mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(_mm_set1_ps(2.0f), f)));

    alignas(16) uint32_t c[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(c), cell);
    alignas(16) float sw[4];
    _mm_store_ps(sw, w);

    Cell cc;
    cc.ix = c[0];
    cc.iy = c[1];
    cc.iz = c[2];
    const CellHashes q = HashCell(cc);
    s.lower = HashLayer(q, q.k0);
    s.wz0 = 1.0f - sw[2];
    s.wz1 = sw[2];
    s.hasUpper = sw[2] != 0.0f;
    if (s.hasUpper) s.upper = HashLayer(q, q.k1);

    const __m128 xy = _mm_unpacklo_ps(_mm_sub_ps(_mm_set1_ps(1.0f), w), w);  // 1-sx, sx, 1-sy, sy
    s.wxy = _mm_mul_ps(_mm_movelh_ps(xy, xy), _mm_shuffle_ps(xy, xy, _MM_SHUFFLE(3, 3, 2, 2)));

    // (16384, fx, fy, fz) per corner, 32767 taken off the axes that are 1;
    // the plain path multiplies z by nothing.
    __m128i fixed16 = _mm_packs_epi32(fixed, fixed);  // fx fy fz 0 fx fy fz 0
    if constexpr (!Packed) fixed16 = _mm_and_si128(fixed16, _mm_setr_epi16(-1, -1, 0, 0, -1, -1, 0, 0));
    const __m128i base = _mm_or_si128(_mm_slli_epi64(fixed16, 16), _mm_setr_epi16(16384, 0, 0, 0, 16384, 0, 0, 0));
    const short dz = Packed ? 32767 : 0;
    const __m128i x1 = _mm_setr_epi16(0, 0, 0, 0, 0, 32767, 0, 0);
    const __m128i y1 = _mm_setr_epi16(0, 0, 32767, 0, 0, 0, 32767, 0);
    const __m128i z1 = _mm_setr_epi16(0, 0, 0, dz, 0, 0, 0, dz);
    s.off[0] = _mm_sub_epi16(base, x1);
    s.off[1] = _mm_sub_epi16(s.off[0], y1);
    s.off[2] = _mm_sub_epi16(s.off[0], z1);
    s.off[3] = _mm_sub_epi16(s.off[1], z1);
}

inline float SimdSum(const SimdCell& s, int rowShift)
{
    float sum = LayerSum(s.wxy, s.wz0, LayerDots(s.lower, s.off[0], s.off[1], rowShift));
    if (s.hasUpper) sum += LayerSum(s.wxy, s.wz1, LayerDots(s.upper, s.off[2], s.off[3], rowShift));
    return sum;
}

template <bool Packed>
float Noise3Simd(float x, float y, float z)
{
    SimdCell s;
    SetUpSimd<Packed>(x, y, z, s);
    return NoiseValue(SimdSum(s, 0));
}

template <bool Packed>
void VNoise3Simd(float out[3], float x, float y, float z)
{
    SimdCell s;
    SetUpSimd<Packed>(x, y, z, s);
    out[0] = SimdSum(s, 0) * (1.0f / 16384.0f);
    out[1] = SimdSum(s, 4) * (1.0f / 16384.0f);
    out[2] = SimdSum(s, 8) * (1.0f / 16384.0f);
}
#endif

void BuildTables()
{
    BuildCrcTable();

    NoiseTables& t = g_tables;
    Lcg rng(0);
    for (int i = 0; i < kNoisePermSize; ++i) t.perm[i] = static_cast<int16_t>(i);
    for (int k = kNoisePermSize - 1; k >= 0; --k) {
        const int r = rng.Next() % kNoisePermSize;
        const int16_t swap = t.perm[k];
        t.perm[k] = t.perm[r];
        t.perm[r] = swap;
    }

    const float crcScale = 65537.0f / 2147483648.0f;  // about 1 / 32767.5
    for (int i = 0; i < kNoiseLatticeSize; ++i) {
        const float f = static_cast<float>(i) * 0.12345f;
        uint8_t bytes[12];
        for (int k = 0; k < 3; ++k) std::memcpy(bytes + 4 * k, &f, 4);
        const uint16_t c = Crc16(bytes, 12);
        t.lattice[i] = static_cast<float>(c) * crcScale - 1.0f;
    }

    std::memset(t.gradients, 0, sizeof t.gradients);
    for (int j = 0; j < 264; ++j) {
        for (int k = 0; k < 4; ++k) {
            t.gradients[j][k] = static_cast<int16_t>(static_cast<int32_t>(t.lattice[j + k] * 32767.0f));
        }
    }

    for (int i = 0; i < kSineTableSize; ++i) {
        t.sine[i] = static_cast<float>(std::sin(i * 0.001 * 6.28318530718));
    }

    for (int i = 0; i < kWaveSources; ++i) {
        float v[3];
        // At lattice points both dot-product paths agree.
        VNoise3Impl<true>(v, static_cast<float>(i), 0.0f, 0.0f);
        const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int k = 0; k < 3; ++k) t.waveSources[i][k] = v[k] / len;
        t.waveScales[i] = static_cast<float>(rng.Next() & 0x7FFF) * (1.0f / 32767.0f) + 0.01f;
    }
}

}  // namespace

uint16_t Crc16(const uint8_t* data, int length)
{
    if (g_crcTable[1] == 0) BuildCrcTable();
    uint16_t crc = 0;
    for (int i = 0; i < length; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ g_crcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

int16_t GradientDot4(const int16_t row[4], const int16_t offset[4])
{
    uint32_t sum = 0;
    for (int k = 0; k < 4; ++k) sum += static_cast<uint32_t>(int32_t{row[k]} * int32_t{offset[k]});
    return static_cast<int16_t>(static_cast<uint16_t>(sum >> 16));
}

int16_t GradientDot3(const int16_t row[4], const int16_t offset[4])
{
    uint32_t sum = 0;
    for (int k = 0; k < 3; ++k) sum += static_cast<uint32_t>(int32_t{row[k]} * int32_t{offset[k]});
    return static_cast<int16_t>(static_cast<uint16_t>(sum >> 16));
}

namespace {

// The octave sums over one level's noise (inlined into each).
template <float (*Noise)(float, float, float)>
float FbmOf(float x, float y, float z, int16_t octaves, float lacunarity, float omega)
{
    if (octaves == 0) return 0.0f;
    float sum = Noise(x, y, z);
    float frequency = lacunarity;
    float amplitude = omega;
    for (int i = 1; i < octaves; ++i) {
        sum += amplitude * Noise(x * frequency, y * frequency, z * frequency);
        if (i < octaves - 1) {
            frequency *= lacunarity;
            amplitude *= omega;
        }
    }
    return sum;
}

template <void (*VNoise)(float*, float, float, float)>
void VFbmOf(float out[3], float x, float y, float z, int16_t octaves, float lacunarity, float omega)
{
    out[0] = out[1] = out[2] = 0.0f;
    if (octaves == 0) return;
    VNoise(out, x, y, z);
    float frequency = lacunarity;
    float amplitude = omega;
    for (int i = 1; i < octaves; ++i) {
        float v[3];
        VNoise(v, x * frequency, y * frequency, z * frequency);
        out[0] += amplitude * v[0];
        out[1] += amplitude * v[1];
        out[2] += amplitude * v[2];
        if (i < octaves - 1) {
            frequency *= lacunarity;
            amplitude *= omega;
        }
    }
}

constexpr NoiseKernels kPlainKernels = {
    {Noise3Impl<false>, Noise3Impl<true>},
    {VNoise3Impl<false>, VNoise3Impl<true>},
    {FbmOf<Noise3Impl<false>>, FbmOf<Noise3Impl<true>>},
    {VFbmOf<VNoise3Impl<false>>, VFbmOf<VNoise3Impl<true>>},
};

// The kernels of one level and one dot-product path: what Noise3, VNoise3,
// Fbm, VFbm and GradientDot call.
struct ChosenKernels {
    float (*noise3)(float x, float y, float z);
    void (*vnoise3)(float out[3], float x, float y, float z);
    float (*fbm)(float x, float y, float z, int16_t octaves, float lacunarity, float omega);
    void (*vfbm)(float out[3], float x, float y, float z, int16_t octaves, float lacunarity, float omega);
    int16_t (*gradientDot)(const int16_t row[4], const int16_t offset[4]);
};

constexpr ChosenKernels Choose(const NoiseKernels& k, bool fourTerm)
{
    return {k.noise3[fourTerm], k.vnoise3[fourTerm], k.fbm[fourTerm], k.vfbm[fourTerm],
            fourTerm ? GradientDot4 : GradientDot3};
}

// Chosen by NoiseInit; the plain four-term kernels until then.
constinit ChosenKernels g_kernels = Choose(kPlainKernels, true);

}  // namespace

NoiseKernels NoiseKernelsFor(uint32_t cpuFlags)
{
    NoiseKernels k = kPlainKernels;
#if defined(__SSE2__)
    if (cpuFlags & kCpuSse2) {
        k.noise3[0] = Noise3Simd<false>;
        k.noise3[1] = Noise3Simd<true>;
        k.vnoise3[0] = VNoise3Simd<false>;
        k.vnoise3[1] = VNoise3Simd<true>;
        k.fbm[0] = FbmOf<Noise3Simd<false>>;
        k.fbm[1] = FbmOf<Noise3Simd<true>>;
        k.vfbm[0] = VFbmOf<VNoise3Simd<false>>;
        k.vfbm[1] = VFbmOf<VNoise3Simd<true>>;
    }
#else
    (void)cpuFlags;
#endif
    return k;
}

int16_t GradientDot(const int16_t row[4], const int16_t offset[4]) { return g_kernels.gradientDot(row, offset); }

float Noise3(float x, float y, float z) { return g_kernels.noise3(x, y, z); }

void VNoise3(float out[3], float x, float y, float z) { g_kernels.vnoise3(out, x, y, z); }

float Fbm(float x, float y, float z, int16_t octaves, float lacunarity, float omega)
{
    return g_kernels.fbm(x, y, z, octaves, lacunarity, omega);
}

void VFbm(float out[3], float x, float y, float z, int16_t octaves, float lacunarity, float omega)
{
    g_kernels.vfbm(out, x, y, z, octaves, lacunarity, omega);
}

void NoiseInit()
{
    std::lock_guard<std::mutex> lock(g_initMutex);
    if (!g_built) BuildTables();
    g_built = true;
    // Written only when it changes, so that a NoiseInit while another
    // thread evaluates (with the same flags) touches nothing it reads.
    const uint32_t flags = CpuFlags();
    const ChosenKernels chosen = Choose(NoiseKernelsFor(flags), (flags & kCpuMmx) != 0);
    if (std::memcmp(&chosen, &g_kernels, sizeof chosen) != 0) g_kernels = chosen;
}

void NoiseFree()
{
    std::lock_guard<std::mutex> lock(g_initMutex);
    g_built = false;
}

void VectorFbm(const float p[3], float gain, float lacunarity, int32_t octaves, float out[3])
{
    out[0] = out[1] = out[2] = 0.0f;
    float amplitude = 1.0f;
    float q[3] = {p[0], p[1], p[2]};
    for (int32_t i = 0; i < octaves; ++i) {
        float v[3];
        VNoise3(v, q[0], q[1], q[2]);
        out[0] += amplitude * v[0];
        out[1] += amplitude * v[1];
        out[2] += amplitude * v[2];
        amplitude *= gain;
        if (amplitude < 0.00001f) break;
        q[0] *= lacunarity;
        q[1] *= lacunarity;
        q[2] *= lacunarity;
    }
}

float TableSin(float x)
{
    if (x < 0.0f) return -TableSin(-x);
    const float f = x - std::floor(x);
    int i = SatTrunc(1000.0f * f);
    if (i < 0) i = 0;  // non-finite input
    if (i > kSineTableSize - 1) i = kSineTableSize - 1;
    return SineTable[i];
}

float TriangleWave(float x)
{
    const float f = x - std::floor(x);
    return f < 0.5f ? 2.0f * f : 2.0f * (1.0f - f);
}

float Clamp(float x, float lo, float hi)
{
    if (x < lo) return lo;
    if (x > hi) return hi;
    return x;
}

float SmoothStep(float lo, float hi, float x)
{
    if (x < lo) return 0.0f;
    if (x >= hi) return 1.0f;
    const float t = (x - lo) / (hi - lo);
    return t * t * (3.0f - 2.0f * t);
}

}  // namespace morvane
