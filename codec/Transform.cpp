// Forward DCT, quantisation and inverse quantisation, the frame/field DCT
// decision, and the transform of a whole picture and its reconstruction.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codec/EncoderCore.h"
#include "codec/Idct.h"
#include "codec/VlcTables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace morvane::mpeg {

namespace {

struct CosineTable {
    double c[8][8];   // c[u][x]
    double ct[8][8];  // transposed: ct[x][u] = c[u][x]
    CosineTable()
    {
        for (int u = 0; u < 8; ++u) {
            const double s = u == 0 ? std::sqrt(0.125) : 0.5;
            for (int x = 0; x < 8; ++x) c[u][x] = s * std::cos(u * (x + 0.5) * M_PI / 8.0);
        }
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x) ct[x][u] = c[u][x];
    }
};

const CosineTable& Cosines()
{
    static const CosineTable table;
    return table;
}

inline int16_t Clip16(long v) { return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }
inline int Saturate(int v) { return v < -2048 ? -2048 : (v > 2047 ? 2047 : v); }
inline int ClipLevel(int v, int limit) { return v < -limit ? -limit : (v > limit ? limit : v); }
inline uint8_t ClipPixel(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Row pass of one column u of the intermediate, exactly as the reference
// transform computes it.
inline void ReferenceRowPass(const int16_t* block, const CosineTable& t, int u, long double col[8])
{
    for (int i = 0; i < 8; ++i) {
        long double s = 0.0L;
        for (int x = 0; x < 8; ++x) s += static_cast<long double>(t.c[u][x]) * block[8 * i + x];
        col[i] = s;
    }
}

inline long double ReferenceColumn(const long double col[8], const CosineTable& t, int v)
{
    long double s = 0.0L;
    for (int y = 0; y < 8; ++y) s += static_cast<long double>(t.c[v][y]) * col[y];
    return s;
}

}  // namespace

void ForwardDctReference(int16_t* block)
{
    const CosineTable& t = Cosines();
    long double cols[8][8];
    for (int u = 0; u < 8; ++u) ReferenceRowPass(block, t, u, cols[u]);
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) block[8 * v + u] = Clip16(static_cast<long>(std::floor(ReferenceColumn(cols[u], t, v) + 0.5L)));
}

// The same result as ForwardDctReference, computed in double precision: the
// two sums differ by far less than 1e-9 (inputs are sample differences, at
// most 255 in size, so every sum stays below 2^12), so they round to the same
// integer unless the double sum lies within 1e-6 of a rounding boundary;
// those outputs (common for the coefficients whose exact value is a multiple
// of 1/8) are recomputed the reference way.
namespace {

// The double-precision passes: rounded outputs in `out`, and in
// needsReference[u] bit v for every output too close to a rounding boundary.
// Returns whether there is any.
using DoublePasses = bool (*)(const int16_t* block, const CosineTable& t, int16_t* out, unsigned* needsReference);

bool DoublePassesPlain(const int16_t* block, const CosineTable& t, int16_t* out, unsigned* needsReference)
{
    alignas(16) double tmp[8][8];  // [row i][u]
    bool any = false;
    for (int i = 0; i < 8; ++i) {
        double s[8] = {};
        for (int x = 0; x < 8; ++x) {
            const double v = block[8 * i + x];
            for (int u = 0; u < 8; ++u) s[u] += t.ct[x][u] * v;
        }
        for (int u = 0; u < 8; ++u) tmp[i][u] = s[u];
    }
    for (int v = 0; v < 8; ++v) {
        double s[8] = {};
        for (int y = 0; y < 8; ++y) {
            const double c = t.c[v][y];
            for (int u = 0; u < 8; ++u) s[u] += c * tmp[y][u];
        }
        for (int u = 0; u < 8; ++u) {
            const double r = s[u] + 0.5;
            const double f = std::floor(r);
            const double frac = r - f;
            out[8 * v + u] = static_cast<int16_t>(f);
            if (frac < 1e-6 || frac > 1.0 - 1e-6) {
                needsReference[u] |= 1u << v;
                any = true;
            }
        }
    }
    return any;
}

#if defined(__SSE2__)
// Two lanes at a time: the same operations in the same order.
bool DoublePassesSse2(const int16_t* block, const CosineTable& t, int16_t* out, unsigned* needsReference)
{
    alignas(16) double tmp[8][8];  // [row i][u]
    bool any = false;
    for (int i = 0; i < 8; ++i) {
        __m128d a0 = _mm_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
        for (int x = 0; x < 8; ++x) {
            const __m128d v = _mm_set1_pd(block[8 * i + x]);
            a0 = _mm_add_pd(a0, _mm_mul_pd(_mm_loadu_pd(&t.ct[x][0]), v));
            a1 = _mm_add_pd(a1, _mm_mul_pd(_mm_loadu_pd(&t.ct[x][2]), v));
            a2 = _mm_add_pd(a2, _mm_mul_pd(_mm_loadu_pd(&t.ct[x][4]), v));
            a3 = _mm_add_pd(a3, _mm_mul_pd(_mm_loadu_pd(&t.ct[x][6]), v));
        }
        _mm_store_pd(&tmp[i][0], a0);
        _mm_store_pd(&tmp[i][2], a1);
        _mm_store_pd(&tmp[i][4], a2);
        _mm_store_pd(&tmp[i][6], a3);
    }
    const __m128d half = _mm_set1_pd(0.5), one = _mm_set1_pd(1.0);
    const __m128d lo = _mm_set1_pd(1e-6), hi = _mm_set1_pd(1.0 - 1e-6);
    for (int v = 0; v < 8; ++v) {
        __m128d a0 = _mm_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
        for (int y = 0; y < 8; ++y) {
            const __m128d c = _mm_set1_pd(t.c[v][y]);
            a0 = _mm_add_pd(a0, _mm_mul_pd(c, _mm_load_pd(&tmp[y][0])));
            a1 = _mm_add_pd(a1, _mm_mul_pd(c, _mm_load_pd(&tmp[y][2])));
            a2 = _mm_add_pd(a2, _mm_mul_pd(c, _mm_load_pd(&tmp[y][4])));
            a3 = _mm_add_pd(a3, _mm_mul_pd(c, _mm_load_pd(&tmp[y][6])));
        }
        const __m128d a[4] = {a0, a1, a2, a3};
        for (int k = 0; k < 4; ++k) {
            const __m128d r = _mm_add_pd(a[k], half);
            __m128d f = _mm_cvtepi32_pd(_mm_cvttpd_epi32(r));
            f = _mm_sub_pd(f, _mm_and_pd(_mm_cmpgt_pd(f, r), one));
            const __m128d frac = _mm_sub_pd(r, f);
            const int near = _mm_movemask_pd(_mm_or_pd(_mm_cmplt_pd(frac, lo), _mm_cmpgt_pd(frac, hi)));
            alignas(16) double fv[2];
            _mm_store_pd(fv, f);
            out[8 * v + 2 * k] = static_cast<int16_t>(fv[0]);
            out[8 * v + 2 * k + 1] = static_cast<int16_t>(fv[1]);
            if (near) {
                if (near & 1) needsReference[2 * k] |= 1u << v;
                if (near & 2) needsReference[2 * k + 1] |= 1u << v;
                any = true;
            }
        }
    }
    return any;
}

#endif

#if defined(__x86_64__) || defined(__i386__)
// Four lanes at a time where the processor has AVX; the same operations on
// every output (no fused multiply-add), so the same results.
__attribute__((target("avx"))) bool DoublePassesAvx(const int16_t* block, const CosineTable& t, int16_t* out,
                                                     unsigned* needsReference)
{
    alignas(32) double tmp[8][8];
    bool any = false;
    for (int i = 0; i < 8; ++i) {
        __m256d a0 = _mm256_setzero_pd(), a1 = a0;
        for (int x = 0; x < 8; ++x) {
            const __m256d v = _mm256_set1_pd(block[8 * i + x]);
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(_mm256_loadu_pd(&t.ct[x][0]), v));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(_mm256_loadu_pd(&t.ct[x][4]), v));
        }
        _mm256_store_pd(&tmp[i][0], a0);
        _mm256_store_pd(&tmp[i][4], a1);
    }
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d lo = _mm256_set1_pd(1e-6), hi = _mm256_set1_pd(1.0 - 1e-6);
    for (int v = 0; v < 8; ++v) {
        __m256d a0 = _mm256_setzero_pd(), a1 = a0;
        for (int y = 0; y < 8; ++y) {
            const __m256d c = _mm256_set1_pd(t.c[v][y]);
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(c, _mm256_load_pd(&tmp[y][0])));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(c, _mm256_load_pd(&tmp[y][4])));
        }
        const __m256d a[2] = {a0, a1};
        for (int k = 0; k < 2; ++k) {
            const __m256d r = _mm256_add_pd(a[k], half);
            const __m256d f = _mm256_floor_pd(r);
            const __m256d frac = _mm256_sub_pd(r, f);
            const int near = _mm256_movemask_pd(_mm256_or_pd(_mm256_cmp_pd(frac, lo, _CMP_LT_OQ), _mm256_cmp_pd(frac, hi, _CMP_GT_OQ)));
            alignas(16) int32_t fi[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(fi), _mm256_cvttpd_epi32(f));
            for (int n = 0; n < 4; ++n) {
                out[8 * v + 4 * k + n] = static_cast<int16_t>(fi[n]);
                if (near & (1 << n)) {
                    needsReference[4 * k + n] |= 1u << v;
                    any = true;
                }
            }
        }
    }
    _mm256_zeroupper();
    return any;
}
#endif

void ForwardDctWith(int16_t* block, DoublePasses passes)
{
    const CosineTable& t = Cosines();
    bool small = true;
    for (int i = 0; i < 64; ++i) small &= block[i] >= -256 && block[i] <= 256;
    if (!small) {
        ForwardDctReference(block);
        return;
    }
    int16_t out[64];
    unsigned needsReference[8] = {};  // bit v of entry u
    const bool any = passes(block, t, out, needsReference);
    if (any) {
        for (int u = 0; u < 8; ++u) {
            if (!needsReference[u]) continue;
            long double col[8];
            ReferenceRowPass(block, t, u, col);
            for (int v = 0; v < 8; ++v)
                if (needsReference[u] & (1u << v))
                    out[8 * v + u] = Clip16(static_cast<long>(std::floor(ReferenceColumn(col, t, v) + 0.5L)));
        }
    }
    std::memcpy(block, out, sizeof out);
}

}  // namespace

namespace kernels {

void ForwardDctPlain(int16_t* block) { ForwardDctWith(block, DoublePassesPlain); }
#if defined(__SSE2__)
void ForwardDctSse2(int16_t* block) { ForwardDctWith(block, DoublePassesSse2); }
#endif
#if defined(__x86_64__) || defined(__i386__)
void ForwardDctAvx(int16_t* block) { ForwardDctWith(block, DoublePassesAvx); }
#endif

}  // namespace kernels

void QuantIntra(const int16_t* src, int16_t* dst, int dcPrecision, const uint8_t* matrix, int scale, int limit)
{
    const int x0 = src[0];
    const int m = 8 >> dcPrecision;
    dst[0] = static_cast<int16_t>(x0 >= 0 ? (x0 + m / 2) / m : -((m / 2 - x0) / m));
    const int round = (3 * scale + 2) >> 2;
    for (int i = 1; i < 64; ++i) {
        const int x = src[i];
        const int w = matrix[i];
        // The level is 0 exactly when (32 |x| + w / 2) / w < 2 scale - round.
        const int a = 32 * std::abs(x) + w / 2;
        if (a < (2 * scale - round) * w) {
            dst[i] = 0;
            continue;
        }
        int y = a / w;
        y = (y + round) / (2 * scale);
        dst[i] = static_cast<int16_t>(ClipLevel(x < 0 ? -y : y, limit));
    }
}

bool QuantNonIntra(const int16_t* src, int16_t* dst, const uint8_t* matrix, int scale, int limit)
{
    bool any = false;
    for (int i = 0; i < 64; ++i) {
        const int x = src[i];
        const int w = matrix[i];
        // The level is 0 exactly when (32 |x| + w / 2) / w < 2 scale.
        const int a = 32 * std::abs(x) + w / 2;
        if (a < 2 * scale * w) {
            dst[i] = 0;
            continue;
        }
        int y = a / w;
        y /= 2 * scale;
        y = ClipLevel(x < 0 ? -y : y, limit);
        dst[i] = static_cast<int16_t>(y);
        any |= y != 0;
    }
    return any;
}

void DequantIntra(const int16_t* src, int16_t* dst, int dcPrecision, const uint8_t* matrix, int scale, bool mpeg1)
{
    int sum = dst[0] = static_cast<int16_t>(src[0] * (1 << (3 - dcPrecision)));
    for (int i = 1; i < 64; ++i) {
        int v = src[i] * matrix[i] * scale / 16;
        if (mpeg1 && v != 0 && (v & 1) == 0) v += v > 0 ? -1 : 1;
        v = Saturate(v);
        dst[i] = static_cast<int16_t>(v);
        sum += v;
    }
    if (!mpeg1 && (sum & 1) == 0) dst[63] = static_cast<int16_t>(dst[63] ^ 1);
}

void DequantNonIntra(const int16_t* src, int16_t* dst, const uint8_t* matrix, int scale, bool mpeg1)
{
    int sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int l = src[i];
        int v = 0;
        if (l != 0) {
            v = (2 * l + (l > 0 ? 1 : -1)) * matrix[i] * scale / 32;
            if (mpeg1 && v != 0 && (v & 1) == 0) v += v > 0 ? -1 : 1;
        }
        v = Saturate(v);
        dst[i] = static_cast<int16_t>(v);
        sum += v;
    }
    if (!mpeg1 && (sum & 1) == 0) dst[63] = static_cast<int16_t>(dst[63] ^ 1);
}

namespace {

// Start of block n of a macroblock at (i, j) and its line step, for the
// luminance (n < 4) or the chrominance planes.
struct BlockPos {
    int plane;
    long offset;
    int step;
};

inline BlockPos BlockPosition(int n, int i, int j, int width, int dctType)
{
    if (n < 4) {
        if (dctType == 0) return {0, static_cast<long>(j + 8 * (n >> 1)) * width + i + 8 * (n & 1), width};
        return {0, static_cast<long>(j + (n >> 1)) * width + i + 8 * (n & 1), 2 * width};
    }
    const int cw = width / 2;
    return {n == 4 ? 1 : 2, static_cast<long>(j / 2) * cw + i / 2, cw};
}

}  // namespace

void EncoderCore::ChooseDctTypes()
{
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) {
            MacroblockInfo& mb = mbInfo_[k];
            if (framePredFrameDct_) {
                mb.dctType = 0;
                continue;
            }
            const uint8_t* s = curSrc_->plane[0].data() + static_cast<long>(j) * width_ + i;
            const uint8_t* p = pred_.plane[0].data() + static_cast<long>(j) * width_ + i;
            int sA = 0, sB = 0, qA = 0, qB = 0, sAB = 0;
            for (int y = 0; y < 16; y += 2) {
                for (int x = 0; x < 16; ++x) {
                    const int a = s[y * width_ + x] - p[y * width_ + x];
                    const int b = s[(y + 1) * width_ + x] - p[(y + 1) * width_ + x];
                    sA += a;
                    sB += b;
                    qA += a * a;
                    qB += b * b;
                    sAB += a * b;
                }
            }
            const double dd = (qA - sA * sA / 128.0) * (qB - sB * sB / 128.0);
            if (dd > 0.0) {
                const double r = (sAB - sA * sB / 128.0) / std::sqrt(dd);
                mb.dctType = r > 0.5 ? 0 : 1;
            } else {
                mb.dctType = 1;
            }
        }
}

void EncoderCore::Transform()
{
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) {
            const MacroblockInfo& mb = mbInfo_[k];
            for (int n = 0; n < 6; ++n) {
                const BlockPos bp = BlockPosition(n, i, j, width_, mb.dctType);
                const uint8_t* s = curSrc_->plane[bp.plane].data() + bp.offset;
                const uint8_t* p = pred_.plane[bp.plane].data() + bp.offset;
                int16_t* blk = &blocks_[(static_cast<size_t>(k) * 6 + n) * 64];
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) blk[8 * y + x] = static_cast<int16_t>(s[y * bp.step + x] - p[y * bp.step + x]);
                kernels_.forwardDct(blk);
            }
        }
}

void EncoderCore::Reconstruct()
{
    const bool mpeg1 = p_.isMpeg1 != 0;
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) {
            const MacroblockInfo& mb = mbInfo_[k];
            const bool intra = (mb.type & kMbIntra) != 0;
            for (int n = 0; n < 6; ++n) {
                const BlockPos bp = BlockPosition(n, i, j, width_, mb.dctType);
                const uint8_t* p = pred_.plane[bp.plane].data() + bp.offset;
                uint8_t* r = curRecon_->plane[bp.plane].data() + bp.offset;
                int16_t* blk = &blocks_[(static_cast<size_t>(k) * 6 + n) * 64];
                const bool coded = intra || (mb.cbp & (1 << (5 - n)));
                if (!coded) {
                    for (int y = 0; y < 8; ++y) std::memcpy(r + y * bp.step, p + y * bp.step, 8);
                    continue;
                }
                int16_t coef[64];
                if (intra) DequantIntra(blk, coef, p_.intraDcPrecision, intraMatrix_.data(), mb.scale, mpeg1);
                else DequantNonIntra(blk, coef, nonIntraMatrix_.data(), mb.scale, mpeg1);
                fast_idct(coef);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) r[y * bp.step + x] = ClipPixel(p[y * bp.step + x] + coef[8 * y + x]);
            }
        }
}

}  // namespace morvane::mpeg
