#include "codec/Idct.h"

#include <array>
#include <cstddef>

namespace morvane {

namespace {

constexpr int kW1 = 5681;  // 4096 * sqrt(2) * cos(1 pi / 16)
constexpr int kW2 = 5352;  // cos(2 pi / 16)
constexpr int kW3 = 4816;  // cos(3 pi / 16)
constexpr int kW5 = 3218;  // cos(5 pi / 16)
constexpr int kW6 = 2217;  // cos(6 pi / 16)
constexpr int kW7 = 1130;  // cos(7 pi / 16)

struct ClipTable {
    std::array<int16_t, 1024> v{};
    constexpr ClipTable()
    {
        for (int i = -512; i < 512; ++i) v[i + 512] = static_cast<int16_t>(i < -256 ? -256 : (i > 255 ? 255 : i));
    }
};
constexpr ClipTable kClip;

}  // namespace

int16_t IdctClip(int64_t v)
{
    if (v < -512) v = -512;
    if (v > 511) v = 511;
    return kClip.v[static_cast<size_t>(v + 512)];
}

void init_fast_idct()
{
    // The clip table is built at compile time; nothing is left to prepare.
}

void fast_idct(int16_t* block)
{
    // Row pass.  The products of a row reach 2^38 for extreme input, so the
    // arithmetic is 64-bit; the stored intermediate fits 32 bits.
    int32_t tmp[64];
    for (int r = 0; r < 8; ++r) {
        const int16_t* x = block + 8 * r;
        int32_t* y = tmp + 8 * r;
        if (!(x[0] | x[1] | x[2] | x[3] | x[4] | x[5] | x[6] | x[7])) {
            for (int i = 0; i < 8; ++i) y[i] = 0;
            continue;
        }
        const int64_t x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3], x4 = x[4], x5 = x[5], x6 = x[6], x7 = x[7];
        const int64_t a = kW1 * x1 + kW7 * x7;
        const int64_t b = kW7 * x1 - kW1 * x7;
        const int64_t c = kW3 * x3 + kW5 * x5;
        const int64_t d = kW3 * x5 - kW5 * x3;
        const int64_t e = kW2 * x2 + kW6 * x6;
        const int64_t g = kW6 * x2 - kW2 * x6;
        const int64_t s = ((x0 + x4) << 12) + 16;
        const int64_t t = ((x0 - x4) << 12) + 16;
        const int64_t p = (181 * ((a - c) + (b - d)) + 128) >> 8;
        const int64_t q = (181 * ((a - c) - (b - d)) + 128) >> 8;
        y[0] = static_cast<int32_t>((s + e + a + c) >> 5);
        y[1] = static_cast<int32_t>((t + g + p) >> 5);
        y[2] = static_cast<int32_t>((t - g + q) >> 5);
        y[3] = static_cast<int32_t>((s - e + b + d) >> 5);
        y[4] = static_cast<int32_t>((s - e - b - d) >> 5);
        y[5] = static_cast<int32_t>((t - g - q) >> 5);
        y[6] = static_cast<int32_t>((t + g - p) >> 5);
        y[7] = static_cast<int32_t>((s + e - a - c) >> 5);
    }
    // Column pass.
    for (int col = 0; col < 8; ++col) {
        const int64_t X0 = tmp[col], X1 = tmp[8 + col], X2 = tmp[16 + col], X3 = tmp[24 + col];
        const int64_t X4 = tmp[32 + col], X5 = tmp[40 + col], X6 = tmp[48 + col], X7 = tmp[56 + col];
        const int64_t a = (kW7 * (X1 + X7) + 2048 + (kW1 - kW7) * X1) >> 12;
        const int64_t b = (kW7 * (X1 + X7) + 2048 - (kW1 + kW7) * X7) >> 12;
        const int64_t c = (kW3 * (X3 + X5) + 2048 - (kW3 - kW5) * X5) >> 12;
        const int64_t d = (kW3 * (X3 + X5) + 2048 - (kW3 + kW5) * X3) >> 12;
        const int64_t e = (kW6 * (X2 + X6) + 2048 + (kW2 - kW6) * X2) >> 12;
        const int64_t g = (kW6 * (X2 + X6) + 2048 - (kW2 + kW6) * X6) >> 12;
        const int64_t s = X0 + X4;
        const int64_t t = X0 - X4;
        const int64_t p = (181 * ((a - c) + (b - d)) + 128) >> 8;
        const int64_t q = (181 * ((a - c) - (b - d)) + 128) >> 8;
        int16_t* out = block + col;
        out[0] = IdctClip((s + e + a + c + 512) >> 10);
        out[8] = IdctClip((t + g + p + 512) >> 10);
        out[16] = IdctClip((t - g + q + 512) >> 10);
        out[24] = IdctClip((s - e + b + d + 512) >> 10);
        out[32] = IdctClip((s - e - b - d + 512) >> 10);
        out[40] = IdctClip((t - g - q + 512) >> 10);
        out[48] = IdctClip((t + g - p + 512) >> 10);
        out[56] = IdctClip((s + e - a - c + 512) >> 10);
    }
}

}  // namespace morvane
