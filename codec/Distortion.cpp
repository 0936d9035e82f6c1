// Distortion measures of the motion search.  The full-pel sum of absolute
// differences has an SSE2 form (psadbw) that gives exactly the plain sum.
#include <cstdlib>

#include "codec/EncoderCore.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvane::mpeg {

namespace {

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
            int d = SadRowsSse2<H / 2>(row + i, cur, lx);
            if (d >= best) continue;
            d += SadRowsSse2<H / 2>(row + i + static_cast<long>(H / 2) * lx, cur + static_cast<long>(H / 2) * lx, lx);
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
    if (!hx && !hy) return SadFullSse2(p, c, lx, h);
    __m128i acc = _mm_setzero_si128();
    if (!hy || !hx) {
        const int off = hx ? 1 : lx;
        for (int y = 0; y < h; ++y) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + off));
            const __m128i v = _mm_avg_epu8(a, b);
            acc = _mm_add_epi64(acc, _mm_sad_epu8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(c))));
            p += lx;
            c += lx;
        }
    } else {
        const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
        for (int y = 0; y < h; ++y) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + lx));
            const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + lx + 1));
            __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                                       _mm_add_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(e, zero)));
            __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                                       _mm_add_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(e, zero)));
            lo = _mm_srli_epi16(_mm_add_epi16(lo, two), 2);
            hi = _mm_srli_epi16(_mm_add_epi16(hi, two), 2);
            const __m128i v = _mm_packus_epi16(lo, hi);
            acc = _mm_add_epi64(acc, _mm_sad_epu8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(c))));
            p += lx;
            c += lx;
        }
    }
    return _mm_cvtsi128_si32(acc) + _mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
}
#endif

inline int HalfPelSample(const uint8_t* p, int x, int lx, int hx, int hy)
{
    if (!hx && !hy) return p[x];
    if (hx && !hy) return (p[x] + p[x + 1] + 1) >> 1;
    if (!hx) return (p[x] + p[x + lx] + 1) >> 1;
    return (p[x] + p[x + 1] + p[x + lx] + p[x + lx + 1] + 2) >> 2;
}

}  // namespace

DistortionKernels PlainKernels() { return DistortionKernels{SadFullPlain, SadHalfPel, FullSearchPlain}; }

DistortionKernels FastKernels()
{
#if defined(__SSE2__)
    return DistortionKernels{SadFullSse2, SadHalfSse2, FullSearchSse2};
#else
    return PlainKernels();
#endif
}

int SadHalfPel(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h)
{
    int s = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 16; ++x) s += std::abs(HalfPelSample(p, x, lx, hx, hy) - c[x]);
        p += lx;
        c += lx;
    }
    return s;
}

int SseHalfPel(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h)
{
    int s = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int d = HalfPelSample(p, x, lx, hx, hy) - c[x];
            s += d * d;
        }
        p += lx;
        c += lx;
    }
    return s;
}

int SadBidir(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h)
{
    int s = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int v = (HalfPelSample(pf, x, lx, hxf, hyf) + HalfPelSample(pb, x, lx, hxb, hyb) + 1) >> 1;
            s += std::abs(v - c[x]);
        }
        pf += lx;
        pb += lx;
        c += lx;
    }
    return s;
}

int SseBidir(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h)
{
    int s = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int v = (HalfPelSample(pf, x, lx, hxf, hyf) + HalfPelSample(pb, x, lx, hxb, hyb) + 1) >> 1;
            const int d = v - c[x];
            s += d * d;
        }
        pf += lx;
        pb += lx;
        c += lx;
    }
    return s;
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

}  // namespace morvane::mpeg
