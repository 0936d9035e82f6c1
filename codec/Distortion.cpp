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

#if defined(__SSE2__)
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
#endif

inline int HalfPelSample(const uint8_t* p, int x, int lx, int hx, int hy)
{
    if (!hx && !hy) return p[x];
    if (hx && !hy) return (p[x] + p[x + 1] + 1) >> 1;
    if (!hx) return (p[x] + p[x + lx] + 1) >> 1;
    return (p[x] + p[x + 1] + p[x + lx] + p[x + lx + 1] + 2) >> 2;
}

}  // namespace

DistortionKernels PlainKernels() { return DistortionKernels{SadFullPlain}; }

DistortionKernels FastKernels()
{
#if defined(__SSE2__)
    return DistortionKernels{SadFullSse2};
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
