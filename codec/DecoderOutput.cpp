#include "codec/DecoderOutput.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/DecoderCore.h"
#include "codec/DecoderMessages.h"
#include "engine/Cpu.h"
#include "engine/SafeFile.h"

namespace morvane {

namespace {

static_assert(std::endian::native == std::endian::little, "pixels are stored as little-endian words");

// crv, cbu, cgu, cgv by matrix_coefficients.
constexpr int kInverseMatrix[8][4] = {
    {117504, 138453, 13954, 34903},  // 0 (as 1)
    {117504, 138453, 13954, 34903},  // 1: ITU-R BT.709
    {104597, 132201, 25675, 53279},  // 2: unspecified
    {104597, 132201, 25675, 53279},  // 3: reserved
    {104448, 132798, 24759, 53109},  // 4: FCC
    {104597, 132201, 25675, 53279},  // 5: ITU-R BT.470-2 System B, G
    {104597, 132201, 25675, 53279},  // 6: SMPTE 170M
    {117579, 136230, 16907, 35559},  // 7: SMPTE 240M
};

inline uint8_t Clip(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline uint8_t Filter(int sum)
{
    return Clip((sum + 128) >> 8);
}

}  // namespace

ChromaTaps ChromaTapsOf(int y, int n, bool progressive)
{
    ChromaTaps t{};
    auto set = [&](int first, int step, int lo, int hi, std::initializer_list<int> weights) {
        int k = 0;
        for (int w : weights) {
            t.row[k] = std::clamp(first + step * k, lo, hi);
            t.weight[k] = w;
            ++k;
        }
    };
    if (progressive) {
        const int i = y >> 1;
        if ((y & 1) == 0) {
            set(i - 3, 1, 0, n - 1, {5, -21, 70, 228, -37, 11});
        } else {
            set(i - 2, 1, 0, n - 1, {11, -37, 228, 70, -21, 5});
        }
        return t;
    }
    // Interlaced: each field on its own rows (even rows the top field).
    switch (y & 3) {
    case 0: {
        const int i = y / 2;
        set(i - 6, 2, 0, n - 2, {2, -10, 35, 242, -18, 5});
        break;
    }
    case 2: {
        const int i = (y - 2) / 2;
        set(i - 4, 2, 0, n - 2, {11, -38, 192, 113, -30, 8});
        break;
    }
    case 1: {
        const int i = (y - 1) / 2;
        set(i - 5, 2, 1, n - 1, {8, -30, 113, 192, -38, 11});
        break;
    }
    default: {
        const int i = (y - 3) / 2;
        set(i - 3, 2, 1, n - 1, {5, -18, 242, 35, -10, 2});
        break;
    }
    }
    return t;
}

namespace {

constexpr int kPad = kChromaPad;

// Vertical filter of one chrominance plane into `row` (m samples, with kPad
// copies of the edge samples on either side for the horizontal filter).
void VerticalRowPlain(const uint8_t* plane, int stride, int m, const ChromaTaps& t, uint8_t* row)
{
    const uint8_t* r[6];
    for (int k = 0; k < 6; ++k) r[k] = plane + static_cast<ptrdiff_t>(t.row[k]) * stride;
    const int w0 = t.weight[0], w1 = t.weight[1], w2 = t.weight[2];
    const int w3 = t.weight[3], w4 = t.weight[4], w5 = t.weight[5];
    uint8_t* out = row + kPad;
    for (int j = 0; j < m; ++j) {
        out[j] = Filter(w0 * r[0][j] + w1 * r[1][j] + w2 * r[2][j] + w3 * r[3][j] + w4 * r[4][j] + w5 * r[5][j]);
    }
    for (int k = 1; k <= kPad; ++k) {
        out[-k] = out[0];
        out[m - 1 + k] = out[m - 1];
    }
}

// Horizontal filter of one padded row of m samples into `count` outputs.
void HorizontalRowPlain(const uint8_t* padded, int count, bool mpeg2, uint8_t* out)
{
    const uint8_t* s = padded + kPad;
    const int pairs = count / 2;
    if (mpeg2) {
        for (int j = 0; j < pairs; ++j) {
            out[2 * j] = s[j];
            out[2 * j + 1] = Filter(21 * (s[j - 2] + s[j + 3]) - 52 * (s[j - 1] + s[j + 2]) + 159 * (s[j] + s[j + 1]));
        }
        if (count & 1) out[count - 1] = s[pairs];
    } else {
        for (int j = 0; j < pairs; ++j) {
            out[2 * j] = Filter(5 * s[j - 3] - 21 * s[j - 2] + 70 * s[j - 1] + 228 * s[j] - 37 * s[j + 1] + 11 * s[j + 2]);
            out[2 * j + 1] =
                Filter(11 * s[j - 2] - 37 * s[j - 1] + 228 * s[j] + 70 * s[j + 1] - 21 * s[j + 2] + 5 * s[j + 3]);
        }
        if (count & 1) {
            const int j = pairs;
            out[count - 1] =
                Filter(5 * s[j - 3] - 21 * s[j - 2] + 70 * s[j - 1] + 228 * s[j] - 37 * s[j + 1] + 11 * s[j + 2]);
        }
    }
}

#if defined(__SSE2__)
// The same filters and conversion with SSE2 (baseline on x86-64), exact:
// pmaddwd forms two 16 x 16-bit products and their 32-bit sum, so the
// six-tap sums and the colour products are the integers the plain code
// computes; packs / packus give the same clipping.

inline __m128i WeightPair(int a, int b)
{
    return _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(static_cast<uint16_t>(a)) |
                                           static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}

inline __m128i Load8(const uint8_t* p)
{
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

// Eight outputs of a six-tap filter: tap k of output i is p[k][i].
inline __m128i Fir6(const uint8_t* const p[6], const __m128i w[3])
{
    const __m128i x0 = Load8(p[0]), x1 = Load8(p[1]), x2 = Load8(p[2]);
    const __m128i x3 = Load8(p[3]), x4 = Load8(p[4]), x5 = Load8(p[5]);
    __m128i lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(x0, x1), w[0]),
                               _mm_madd_epi16(_mm_unpacklo_epi16(x2, x3), w[1]));
    lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(x4, x5), w[2]));
    __m128i hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(x0, x1), w[0]),
                               _mm_madd_epi16(_mm_unpackhi_epi16(x2, x3), w[1]));
    hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(x4, x5), w[2]));
    const __m128i round = _mm_set1_epi32(128);
    lo = _mm_srai_epi32(_mm_add_epi32(lo, round), 8);
    hi = _mm_srai_epi32(_mm_add_epi32(hi, round), 8);
    const __m128i words = _mm_packs_epi32(lo, hi);
    return _mm_packus_epi16(words, words);  // eight bytes in the low half
}

void VerticalRowSse2(const uint8_t* plane, int stride, int m, const ChromaTaps& t, uint8_t* row)
{
    const __m128i w[3] = {WeightPair(t.weight[0], t.weight[1]), WeightPair(t.weight[2], t.weight[3]),
                          WeightPair(t.weight[4], t.weight[5])};
    const uint8_t* r[6];
    for (int k = 0; k < 6; ++k) r[k] = plane + static_cast<ptrdiff_t>(t.row[k]) * stride;
    uint8_t* out = row + kPad;
    int j = 0;
    for (; j + 8 <= m; j += 8) {
        const uint8_t* p[6] = {r[0] + j, r[1] + j, r[2] + j, r[3] + j, r[4] + j, r[5] + j};
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j), Fir6(p, w));
    }
    for (; j < m; ++j) {
        int sum = 0;
        for (int k = 0; k < 6; ++k) sum += t.weight[k] * r[k][j];
        out[j] = Filter(sum);
    }
    for (int k = 1; k <= kPad; ++k) {
        out[-k] = out[0];
        out[m - 1 + k] = out[m - 1];
    }
}

void HorizontalRowSse2(const uint8_t* padded, int count, bool mpeg2, uint8_t* out)
{
    const uint8_t* s = padded + kPad;
    const int pairs = count / 2;
    int j = 0;
    if (mpeg2) {
        const __m128i w[3] = {WeightPair(21, -52), WeightPair(159, 159), WeightPair(-52, 21)};
        for (; j + 8 <= pairs; j += 8) {
            const uint8_t* p[6] = {s + j - 2, s + j - 1, s + j, s + j + 1, s + j + 2, s + j + 3};
            const __m128i even = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + j));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * j), _mm_unpacklo_epi8(even, Fir6(p, w)));
        }
    } else {
        const __m128i we[3] = {WeightPair(5, -21), WeightPair(70, 228), WeightPair(-37, 11)};
        const __m128i wo[3] = {WeightPair(11, -37), WeightPair(228, 70), WeightPair(-21, 5)};
        for (; j + 8 <= pairs; j += 8) {
            const uint8_t* pe[6] = {s + j - 3, s + j - 2, s + j - 1, s + j, s + j + 1, s + j + 2};
            const uint8_t* po[6] = {s + j - 2, s + j - 1, s + j, s + j + 1, s + j + 2, s + j + 3};
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * j), _mm_unpacklo_epi8(Fir6(pe, we), Fir6(po, wo)));
        }
    }
    // The rest, and an odd last sample, as the plain code does it.
    if (j < pairs || (count & 1)) {
        uint8_t tail[32];
        const int done = 2 * j;
        HorizontalRowPlain(padded + j, count - done, mpeg2, tail);
        std::memcpy(out + done, tail, static_cast<size_t>(count - done));
    }
}

// Pixels x .. width - 1 of one row as red, green, blue, 0.
void ConvertPixels(const uint8_t* luma, const uint8_t* cbRow, const uint8_t* crRow, int x, int width, const int* k,
                   uint8_t* o);

// Eight pixels at a time, the rest as the plain code does them.
void ConvertRowSse2(const uint8_t* luma, const uint8_t* cbRow, const uint8_t* crRow, int width, const int* k,
                    uint8_t* o)
{
    const int crv = k[0], cbu = k[1], cgu = k[2], cgv = k[3];
    // c x v = (c >> 3) x 8v + (c & 7) x v, each factor within 16 bits.
    const __m128i wy = WeightPair(76309 >> 3, 76309 & 7);
    const __m128i wr = WeightPair(crv >> 3, crv & 7);
    const __m128i wb = WeightPair(cbu >> 3, cbu & 7);
    const __m128i wgu = WeightPair(-(cgu >> 3), -(cgu & 7));
    const __m128i wgv = WeightPair(-(cgv >> 3), -(cgv & 7));
    const __m128i c16 = _mm_set1_epi16(16), c128 = _mm_set1_epi16(128);
    const __m128i half = _mm_set1_epi32(32768), halfBlue = _mm_set1_epi32(32786);
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i y = _mm_sub_epi16(Load8(luma + x), c16);
        const __m128i u = _mm_sub_epi16(Load8(cbRow + x), c128);
        const __m128i v = _mm_sub_epi16(Load8(crRow + x), c128);
        const __m128i y8 = _mm_slli_epi16(y, 3), u8 = _mm_slli_epi16(u, 3), v8 = _mm_slli_epi16(v, 3);
        __m128i r[2], g[2], b[2];
        for (int h = 0; h < 2; ++h) {
            const __m128i yp = h ? _mm_unpackhi_epi16(y8, y) : _mm_unpacklo_epi16(y8, y);
            const __m128i up = h ? _mm_unpackhi_epi16(u8, u) : _mm_unpacklo_epi16(u8, u);
            const __m128i vp = h ? _mm_unpackhi_epi16(v8, v) : _mm_unpacklo_epi16(v8, v);
            const __m128i yy = _mm_madd_epi16(yp, wy);
            r[h] = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(vp, wr), yy), half), 16);
            g[h] = _mm_add_epi32(_mm_add_epi32(yy, half), _mm_add_epi32(_mm_madd_epi16(up, wgu), _mm_madd_epi16(vp, wgv)));
            g[h] = _mm_srai_epi32(g[h], 16);
            b[h] = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(up, wb), yy), halfBlue), 16);
        }
        const __m128i r16 = _mm_packs_epi32(r[0], r[1]);
        const __m128i g16 = _mm_packs_epi32(g[0], g[1]);
        const __m128i b16 = _mm_packs_epi32(b[0], b[1]);
        const __m128i rg = _mm_unpacklo_epi8(_mm_packus_epi16(r16, r16), _mm_packus_epi16(g16, g16));
        const __m128i b0 = _mm_unpacklo_epi8(_mm_packus_epi16(b16, b16), zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 4 * x), _mm_unpacklo_epi16(rg, b0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 4 * x + 16), _mm_unpackhi_epi16(rg, b0));
    }
    ConvertPixels(luma, cbRow, crRow, x, width, k, o);
}
#endif

void ConvertPixels(const uint8_t* luma, const uint8_t* cbRow, const uint8_t* crRow, int x, int width, const int* k,
                   uint8_t* o)
{
    const int crv = k[0], cbu = k[1], cgu = k[2], cgv = k[3];
    // One 32-bit store per pixel: red in the first byte.
    for (; x < width; ++x) {
        const int yy = (luma[x] - 16) * 76309;
        const int u = cbRow[x] - 128;
        const int v = crRow[x] - 128;
        const uint32_t r = Clip((crv * v + yy + 32768) >> 16);
        const uint32_t g = Clip((yy - cgu * u - cgv * v + 32768) >> 16);
        const uint32_t b = Clip((cbu * u + yy + 32786) >> 16);
        const uint32_t pixel = r | g << 8 | b << 16;
        std::memcpy(o + 4 * x, &pixel, 4);
    }
}

void ConvertRowPlain(const uint8_t* luma, const uint8_t* cbRow, const uint8_t* crRow, int width, const int* k,
                     uint8_t* o)
{
    ConvertPixels(luma, cbRow, crRow, 0, width, k, o);
}

const int* MatrixRow(int matrixCoefficients)
{
    if (matrixCoefficients < 0 || matrixCoefficients > 7) matrixCoefficients = 5;
    return kInverseMatrix[matrixCoefficients];
}

}  // namespace

namespace {

void Convert(const DecodedPlanes& frame, uint8_t* out, int outStride, PixelLayout layout, const DecoderOutputKernels& kernels)
{
    const int m = frame.codedWidth / 2;
    const int n = frame.codedHeight / 2;
    const int width = frame.width;
    std::vector<uint8_t> work(2 * (static_cast<size_t>(m) + 2 * kPad) + 2 * static_cast<size_t>(frame.codedWidth));
    uint8_t* vertical[2] = {work.data(), work.data() + m + 2 * kPad};
    uint8_t* full[2] = {vertical[1] + m + 2 * kPad, vertical[1] + m + 2 * kPad + frame.codedWidth};
    const uint8_t* chroma[2] = {frame.cb, frame.cr};
    const int* k = MatrixRow(frame.matrixCoefficients);
    const int crv = k[0], cbu = k[1], cgu = k[2], cgv = k[3];
    for (int y = 0; y < frame.height; ++y) {
        const ChromaTaps taps = ChromaTapsOf(y, n, frame.progressiveFrame);
        for (int c = 0; c < 2; ++c) {
            kernels.verticalRow(chroma[c], frame.chromaStride, m, taps, vertical[c]);
            kernels.horizontalRow(vertical[c], width, frame.mpeg2, full[c]);
        }
        const uint8_t* luma = frame.y + static_cast<ptrdiff_t>(y) * frame.lumaStride;
        uint8_t* o = out + static_cast<ptrdiff_t>(y) * outStride;
        const uint8_t* cbRow = full[0];
        const uint8_t* crRow = full[1];
        if (layout == PixelLayout::Rgbx) {
            kernels.convertRow(luma, cbRow, crRow, width, k, o);
        } else {
            for (int x = 0; x < width; ++x) {
                const int yy = (luma[x] - 16) * 76309;
                const int u = cbRow[x] - 128;
                const int v = crRow[x] - 128;
                o[3 * x + 2] = Clip((crv * v + yy + 32768) >> 16);
                o[3 * x + 1] = Clip((yy - cgu * u - cgv * v + 32768) >> 16);
                o[3 * x] = Clip((cbu * u + yy + 32786) >> 16);
            }
        }
    }
}

}  // namespace

DecoderOutputKernels DecoderOutputKernelsFor(uint32_t cpuFlags)
{
    DecoderOutputKernels k{VerticalRowPlain, HorizontalRowPlain, ConvertRowPlain};
#if defined(__SSE2__)
    if (cpuFlags & kCpuSse2) k = {VerticalRowSse2, HorizontalRowSse2, ConvertRowSse2};
#else
    (void)cpuFlags;
#endif
    return k;
}

void ConvertFrameToRgb(const DecodedPlanes& frame, uint8_t* out, int outStride, PixelLayout layout,
                       const DecoderOutputKernels& kernels)
{
    Convert(frame, out, outStride, layout, kernels);
}

std::vector<uint8_t> FrameToRgbx(const DecodedPlanes& frame, const DecoderOutputKernels& kernels)
{
    std::vector<uint8_t> rgbx(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4, 0);
    ConvertFrameToRgb(frame, rgbx.data(), frame.width * 4, PixelLayout::Rgbx, kernels);
    return rgbx;
}

bool WriteFrameTga(const DecodedPlanes& frame, const std::filesystem::path& path, const DecoderOutputKernels& kernels,
                   const DecoderMessageSink& sink)
{
    std::vector<uint8_t> file(18 + static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 3);
    uint8_t* h = file.data();
    h[2] = 2;  // uncompressed true colour
    h[12] = static_cast<uint8_t>(frame.width & 0xFF);
    h[13] = static_cast<uint8_t>(frame.width >> 8);
    h[14] = static_cast<uint8_t>(frame.height & 0xFF);
    h[15] = static_cast<uint8_t>(frame.height >> 8);
    h[16] = 24;
    h[17] = 0x20;  // top-left origin
    ConvertFrameToRgb(frame, file.data() + 18, frame.width * 3, PixelLayout::Bgr, kernels);

    const bool ok = WriteFileReplacing(path, file).ok();
    if (!ok) DecoderDiagnostic(sink, "Couldn't create %s\n", path.string().c_str());
    return ok;
}

}  // namespace morvane
