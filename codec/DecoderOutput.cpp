#include "codec/DecoderOutput.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "codec/DecoderMessages.h"

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

struct VerticalTaps {
    int row[6];
    int weight[6];
};

// The six input rows and weights of output chrominance row y (of 2n rows).
VerticalTaps VerticalFilter(int y, int n, bool progressive)
{
    VerticalTaps t{};
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

constexpr int kPad = 3;

// Vertical filter of one chrominance plane into `row` (m samples, with kPad
// copies of the edge samples on either side for the horizontal filter).
void VerticalRow(const uint8_t* plane, int stride, int m, const VerticalTaps& t, uint8_t* row)
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
void HorizontalRow(const uint8_t* padded, int count, bool mpeg2, uint8_t* out)
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

const int* MatrixRow(int matrixCoefficients)
{
    if (matrixCoefficients < 0 || matrixCoefficients > 7) matrixCoefficients = 5;
    return kInverseMatrix[matrixCoefficients];
}

}  // namespace

void YCbCrToRgb(int y, int cb, int cr, int matrixCoefficients, uint8_t rgb[3])
{
    const int* k = MatrixRow(matrixCoefficients);
    const int yy = (y - 16) * 76309;
    rgb[0] = Clip((k[0] * (cr - 128) + yy + 32768) >> 16);
    rgb[1] = Clip((yy - k[2] * (cb - 128) - k[3] * (cr - 128) + 32768) >> 16);
    rgb[2] = Clip((k[1] * (cb - 128) + yy + 32786) >> 16);
}

void ConvertFrameToRgb(const DecodedPlanes& frame, uint8_t* out, int outStride, PixelLayout layout)
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
        const VerticalTaps taps = VerticalFilter(y, n, frame.progressiveFrame);
        for (int c = 0; c < 2; ++c) {
            VerticalRow(chroma[c], frame.chromaStride, m, taps, vertical[c]);
            HorizontalRow(vertical[c], width, frame.mpeg2, full[c]);
        }
        const uint8_t* luma = frame.y + static_cast<ptrdiff_t>(y) * frame.lumaStride;
        uint8_t* o = out + static_cast<ptrdiff_t>(y) * outStride;
        const uint8_t* cbRow = full[0];
        const uint8_t* crRow = full[1];
        if (layout == PixelLayout::Rgbx) {
            // One 32-bit store per pixel: red in the first byte.
            for (int x = 0; x < width; ++x) {
                const int yy = (luma[x] - 16) * 76309;
                const int u = cbRow[x] - 128;
                const int v = crRow[x] - 128;
                const uint32_t r = Clip((crv * v + yy + 32768) >> 16);
                const uint32_t g = Clip((yy - cgu * u - cgv * v + 32768) >> 16);
                const uint32_t b = Clip((cbu * u + yy + 32786) >> 16);
                const uint32_t pixel = r | g << 8 | b << 16;
                std::memcpy(o + 4 * x, &pixel, 4);
            }
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

std::vector<uint8_t> FrameToRgbx(const DecodedPlanes& frame)
{
    std::vector<uint8_t> rgbx(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4, 0);
    ConvertFrameToRgb(frame, rgbx.data(), frame.width * 4, PixelLayout::Rgbx);
    return rgbx;
}

bool WriteFrameTga(const DecodedPlanes& frame, const std::filesystem::path& path)
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
    ConvertFrameToRgb(frame, file.data() + 18, frame.width * 3, PixelLayout::Bgr);

    std::filesystem::path temp = path;
    temp += ".tmp";
    bool ok = false;
    if (std::FILE* f = std::fopen(temp.c_str(), "wb")) {
        ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
        ok = (std::fclose(f) == 0) && ok;
        if (ok) {
            std::error_code ec;
            std::filesystem::rename(temp, path, ec);
            ok = !ec;
        }
        if (!ok) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
        }
    }
    if (!ok) DecoderDiagnostic("Couldn't create %s\n", path.string().c_str());
    return ok;
}

}  // namespace morvane
