// Distortion measures of the motion search, in plain C++ and with SSE2
// (psadbw, pavgb, pmaddwd) and AVX2, all exact: every level gives the plain
// sums (EncoderKernelsFor chooses; the kernel checker compares).
#include <cstdlib>

#include "codec/EncoderCore.h"
#include "codec/EncoderKernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace morvane::mpeg {

namespace {

inline int HalfPelSample(const uint8_t* p, int x, int lx, int hx, int hy)
{
    if (!hx && !hy) return p[x];
    if (hx && !hy) return (p[x] + p[x + 1] + 1) >> 1;
    if (!hx) return (p[x] + p[x + lx] + 1) >> 1;
    return (p[x] + p[x + 1] + p[x + lx] + p[x + lx + 1] + 2) >> 2;
}

// The error of one sample: absolute for the SAD, squared for the SSE.
template <bool Squared>
inline int SampleError(int d)
{
    if constexpr (Squared) return d * d;
    return std::abs(d);
}

// The plain measures of 16 x h areas (inlined: each measure is a loop of
// its own, as fast as one written out).
template <bool Squared>
[[gnu::always_inline]] inline int HalfPelError(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h)
{
    int s = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 16; ++x) s += SampleError<Squared>(HalfPelSample(p, x, lx, hx, hy) - c[x]);
        p += lx;
        c += lx;
    }
    return s;
}

template <bool Squared>
[[gnu::always_inline]] inline int BidirError(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf,
                                             int hxb, int hyb, int h)
{
    int s = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int v = (HalfPelSample(pf, x, lx, hxf, hyf) + HalfPelSample(pb, x, lx, hxb, hyb) + 1) >> 1;
            s += SampleError<Squared>(v - c[x]);
        }
        pf += lx;
        pb += lx;
        c += lx;
    }
    return s;
}

#if defined(__SSE2__)
// Rows of the current area are 16-byte aligned (macroblock columns are
// multiples of 16 in buffers from the allocator); reference rows are not.
template <int H>
inline int SadRowsSse2(const uint8_t* a, const uint8_t* b, int lx)
{
    __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
    for (int y = 0; y < H; y += 2) {
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + static_cast<long>(y) * lx));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + static_cast<long>(y + 1) * lx));
        acc0 = _mm_add_epi32(acc0, _mm_sad_epu8(a0, _mm_load_si128(reinterpret_cast<const __m128i*>(b + static_cast<long>(y) * lx))));
        acc1 = _mm_add_epi32(acc1, _mm_sad_epu8(a1, _mm_load_si128(reinterpret_cast<const __m128i*>(b + static_cast<long>(y + 1) * lx))));
    }
    const __m128i acc = _mm_add_epi32(acc0, acc1);
    return _mm_cvtsi128_si32(acc) + _mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
}

// A position can only win with a strictly smaller sum, so its rows are
// abandoned as soon as the partial sum reaches the best so far: the choice
// is the same as that of the complete sums.
template <int H>
void FullSearchSse2T(const uint8_t* org, const uint8_t* cur, int lx, int ilow, int ihigh, int jlow, int jhigh, SearchResult& r)
{
    int best = r.best, bi = r.i, bj = r.j;
    for (int j = jlow; j <= jhigh; ++j) {
        const uint8_t* row = org + static_cast<long>(j) * lx;
        for (int i = ilow; i <= ihigh; ++i) {
            int d = SadRowsSse2<4>(row + i, cur, lx);
            for (int y = 4; y < H && d < best; y += 4)
                d += SadRowsSse2<4>(row + i + static_cast<long>(y) * lx, cur + static_cast<long>(y) * lx, lx);
            if (d < best) {
                best = d;
                bi = i;
                bj = j;
            }
        }
    }
    r.best = best;
    r.i = bi;
    r.j = bj;
}

// The 16 half-pel prediction samples of one row.
inline __m128i InterpolatedRow(const uint8_t* p, int lx, int hx, int hy)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (!hx && !hy) return a;
    if (!hy) return _mm_avg_epu8(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + lx));
    if (!hx) return _mm_avg_epu8(a, d);
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + lx + 1));
    __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                               _mm_add_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(e, zero)));
    __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                               _mm_add_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(e, zero)));
    lo = _mm_srli_epi16(_mm_add_epi16(lo, two), 2);
    hi = _mm_srli_epi16(_mm_add_epi16(hi, two), 2);
    return _mm_packus_epi16(lo, hi);
}

// Sum of squared differences of 16 bytes, as four 32-bit partial sums.
inline __m128i SquaredDiff(__m128i v, __m128i c)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i dl = _mm_sub_epi16(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(c, zero));
    const __m128i dh = _mm_sub_epi16(_mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(c, zero));
    return _mm_add_epi32(_mm_madd_epi16(dl, dl), _mm_madd_epi16(dh, dh));
}

inline int Sum32(__m128i v)
{
    v = _mm_add_epi32(v, _mm_srli_si128(v, 8));
    v = _mm_add_epi32(v, _mm_srli_si128(v, 4));
    return _mm_cvtsi128_si32(v);
}

// Bidirectional prediction (the average of the two half-pel predictions)
// against the current area: sum of absolute or of squared differences.
template <bool Squared>
int BidirErrorSse2(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb,
                   int h)
{
    __m128i acc = _mm_setzero_si128();
    for (int y = 0; y < h; ++y) {
        const __m128i v = _mm_avg_epu8(InterpolatedRow(pf, lx, hxf, hyf), InterpolatedRow(pb, lx, hxb, hyb));
        const __m128i cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
        if constexpr (Squared) {
            acc = _mm_add_epi32(acc, SquaredDiff(v, cur));
        } else {
            acc = _mm_add_epi64(acc, _mm_sad_epu8(v, cur));
        }
        pf += lx;
        pb += lx;
        c += lx;
    }
    if constexpr (Squared) return Sum32(acc);
    return _mm_cvtsi128_si32(acc) + _mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
}
#endif

#if defined(__x86_64__) || defined(__i386__)
// AVX2 form of the full-pel search: two rows per 256-bit psadbw, the
// current area held in registers.  Exact like the others.
template <int H>
__attribute__((target("avx2"))) void FullSearchAvx2T(const uint8_t* org, const uint8_t* cur, int lx, int ilow, int ihigh,
                                                     int jlow, int jhigh, SearchResult& r)
{
    __m256i c[H / 2];
    for (int k = 0; k < H / 2; ++k)
        c[k] = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + static_cast<long>(2 * k) * lx))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + static_cast<long>(2 * k + 1) * lx)), 1);
    int best = r.best, bi = r.i, bj = r.j;
    for (int j = jlow; j <= jhigh; ++j) {
        const uint8_t* row = org + static_cast<long>(j) * lx;
        for (int i = ilow; i <= ihigh; ++i) {
            const uint8_t* a = row + i;
            int d = 0;
            for (int k0 = 0; k0 < H / 2 && d < best; k0 += 4) {
                __m256i acc = _mm256_setzero_si256();
                for (int k = k0; k < k0 + 4; ++k) {
                    const __m256i v = _mm256_inserti128_si256(
                        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + static_cast<long>(2 * k) * lx))),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + static_cast<long>(2 * k + 1) * lx)), 1);
                    acc = _mm256_add_epi32(acc, _mm256_sad_epu8(v, c[k]));
                }
                const __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
                d += _mm_cvtsi128_si32(s) + _mm_cvtsi128_si32(_mm_srli_si128(s, 8));
            }
            if (d < best) {
                best = d;
                bi = i;
                bj = j;
            }
        }
    }
    r.best = best;
    r.i = bi;
    r.j = bj;
}
#endif

}  // namespace

int SadHalfPel(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h)
{
    return HalfPelError<false>(p, c, lx, hx, hy, h);
}

int SseHalfPel(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h)
{
    return HalfPelError<true>(p, c, lx, hx, hy, h);
}

int SadBidir(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h)
{
    return BidirError<false>(pf, pb, c, lx, hxf, hyf, hxb, hyb, h);
}

int SseBidir(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h)
{
    return BidirError<true>(pf, pb, c, lx, hxf, hyf, hxb, hyb, h);
}

int64_t MacroblockVariance(const uint8_t* p, int lx)
{
    int64_t s = 0, s2 = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            s += p[x];
            s2 += p[x] * p[x];
        }
        p += lx;
    }
    return s2 - (s * s) / 256;
}

namespace kernels {

int SadFullPlain(const uint8_t* a, const uint8_t* b, int lx, int h)
{
    int s = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 16; ++x) s += std::abs(a[x] - b[x]);
        a += lx;
        b += lx;
    }
    return s;
}

int SadHalfLimitPlain(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h, int /*limit*/)
{
    return SadHalfPel(p, c, lx, hx, hy, h);
}

void FullSearchPlain(const uint8_t* org, const uint8_t* cur, int lx, int h, int ilow, int ihigh, int jlow, int jhigh,
                     SearchResult& r)
{
    for (int j = jlow; j <= jhigh; ++j) {
        const uint8_t* row = org + static_cast<long>(j) * lx;
        for (int i = ilow; i <= ihigh; ++i) {
            const int d = SadFullPlain(row + i, cur, lx, h);
            if (d < r.best) {
                r.best = d;
                r.i = i;
                r.j = j;
            }
        }
    }
}

#if defined(__SSE2__)
void FullSearchSse2(const uint8_t* org, const uint8_t* cur, int lx, int h, int ilow, int ihigh, int jlow, int jhigh,
                    SearchResult& r)
{
    if ((reinterpret_cast<uintptr_t>(cur) & 15) != 0 || (lx & 15) != 0) {
        FullSearchPlain(org, cur, lx, h, ilow, ihigh, jlow, jhigh, r);
    } else if (h == 16) {
        FullSearchSse2T<16>(org, cur, lx, ilow, ihigh, jlow, jhigh, r);
    } else if (h == 8) {
        FullSearchSse2T<8>(org, cur, lx, ilow, ihigh, jlow, jhigh, r);
    } else {
        FullSearchPlain(org, cur, lx, h, ilow, ihigh, jlow, jhigh, r);
    }
}

int SadFullSse2(const uint8_t* a, const uint8_t* b, int lx, int h)
{
    __m128i acc = _mm_setzero_si128();
    for (int y = 0; y < h; ++y) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(va, vb));
        a += lx;
        b += lx;
    }
    return _mm_cvtsi128_si32(acc) + _mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
}

// Half-pel SAD: the two-sample averages are pavgb ((a + b + 1) >> 1 exactly);
// the four-sample average is formed in 16-bit lanes.
int SadHalfSse2(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h)
{
    return SadHalfLimitSse2(p, c, lx, hx, hy, h, 1 << 30);
}

// Half-pel SAD that may stop early once the partial sum reaches `limit`
// (the result is then some value >= limit).
int SadHalfLimitSse2(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h, int limit)
{
    int total = 0;
    for (int y0 = 0; y0 < h && total < limit; y0 += 4) {
        __m128i acc = _mm_setzero_si128();
        for (int y = y0; y < y0 + 4 && y < h; ++y) {
            const __m128i v = InterpolatedRow(p + static_cast<long>(y) * lx, lx, hx, hy);
            acc = _mm_add_epi64(acc, _mm_sad_epu8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + static_cast<long>(y) * lx))));
        }
        total += _mm_cvtsi128_si32(acc) + _mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
    }
    return total;
}

int SseHalfSse2(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h)
{
    __m128i acc = _mm_setzero_si128();
    for (int y = 0; y < h; ++y) {
        acc = _mm_add_epi32(acc, SquaredDiff(InterpolatedRow(p, lx, hx, hy), _mm_loadu_si128(reinterpret_cast<const __m128i*>(c))));
        p += lx;
        c += lx;
    }
    return Sum32(acc);
}

int SadBidirSse2(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h)
{
    return BidirErrorSse2<false>(pf, pb, c, lx, hxf, hyf, hxb, hyb, h);
}

int SseBidirSse2(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h)
{
    return BidirErrorSse2<true>(pf, pb, c, lx, hxf, hyf, hxb, hyb, h);
}
#endif

#if defined(__x86_64__) || defined(__i386__)
void FullSearchAvx2(const uint8_t* org, const uint8_t* cur, int lx, int h, int ilow, int ihigh, int jlow, int jhigh,
                    SearchResult& r)
{
    if (h == 16) FullSearchAvx2T<16>(org, cur, lx, ilow, ihigh, jlow, jhigh, r);
    else if (h == 8) FullSearchAvx2T<8>(org, cur, lx, ilow, ihigh, jlow, jhigh, r);
    else FullSearchPlain(org, cur, lx, h, ilow, ihigh, jlow, jhigh, r);
}
#endif

}  // namespace kernels

}  // namespace morvane::mpeg
