// Accuracy of the shared integer inverse DCT against the IEEE 1180 limits,
// and its exact behaviour on hand-checked blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "codec/Idct.h"

using namespace morvane;

namespace {

// The random generator of the IEEE 1180 test procedure.
struct Ieee1180Random {
    int64_t state = 1;
    int Next(int lo, int hi)  // uniform in -lo..hi
    {
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF;
        const int64_t i = state & 0x7ffffffe;
        double x = static_cast<double>(i) / static_cast<double>(0x7fffffff);
        x *= (lo + hi + 1);
        return static_cast<int>(x) - lo;
    }
};

struct BasisTable {
    double c[8][8];
    BasisTable()
    {
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x) c[u][x] = (u == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * x + 1) * u * M_PI / 16.0);
    }
};
const BasisTable kBasis;

double Basis(int u, int x) { return kBasis.c[u][x]; }

// Separable double-precision transform: out = C^T in C (inverse) or
// C in C^T (forward).
void Separable(const int in[64], double out[64], bool forward)
{
    double tmp[64];
    for (int r = 0; r < 8; ++r)
        for (int k = 0; k < 8; ++k) {
            double s = 0;
            for (int j = 0; j < 8; ++j) s += (forward ? Basis(k, j) : Basis(j, k)) * in[8 * r + j];
            tmp[8 * r + k] = s;
        }
    for (int c = 0; c < 8; ++c)
        for (int k = 0; k < 8; ++k) {
            double s = 0;
            for (int j = 0; j < 8; ++j) s += (forward ? Basis(k, j) : Basis(j, k)) * tmp[8 * j + c];
            out[8 * k + c] = s;
        }
}

void ReferenceForward(const int in[64], int out[64])
{
    double d[64];
    Separable(in, d, true);
    for (int i = 0; i < 64; ++i) {
        const int r = static_cast<int>(std::floor(d[i] + 0.5));
        out[i] = r < -2048 ? -2048 : (r > 2047 ? 2047 : r);
    }
}

void ReferenceInverse(const int in[64], int out[64])
{
    double d[64];
    Separable(in, d, false);
    for (int i = 0; i < 64; ++i) {
        const int r = static_cast<int>(std::floor(d[i] + 0.5));
        out[i] = r < -256 ? -256 : (r > 255 ? 255 : r);
    }
}

void RunIeee1180(int lo, int hi, int sign)
{
    Ieee1180Random rng;
    constexpr int kBlocks = 10000;
    double errSum[64] = {}, sqSum[64] = {};
    int peak = 0;
    for (int n = 0; n < kBlocks; ++n) {
        int pixels[64], coeff[64], ref[64];
        for (int i = 0; i < 64; ++i) pixels[i] = rng.Next(lo, hi) * sign;
        ReferenceForward(pixels, coeff);
        ReferenceInverse(coeff, ref);
        int16_t block[64];
        for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(coeff[i]);
        fast_idct(block);
        for (int i = 0; i < 64; ++i) {
            const int e = block[i] - ref[i];
            peak = std::max(peak, std::abs(e));
            errSum[i] += e;
            sqSum[i] += e * e;
        }
    }
    double totalErr = 0, totalSq = 0, worstPixelMse = 0, worstPixelMean = 0;
    for (int i = 0; i < 64; ++i) {
        totalErr += errSum[i];
        totalSq += sqSum[i];
        worstPixelMse = std::max(worstPixelMse, sqSum[i] / kBlocks);
        worstPixelMean = std::max(worstPixelMean, std::fabs(errSum[i]) / kBlocks);
    }
    SCOPED_TRACE(testing::Message() << "range -" << lo << ".." << hi << " sign " << sign);
    EXPECT_LE(peak, 1);
    EXPECT_LE(worstPixelMse, 0.06);
    EXPECT_LE(totalSq / (64.0 * kBlocks), 0.02);
    EXPECT_LE(worstPixelMean, 0.015);
    EXPECT_LE(std::fabs(totalErr) / (64.0 * kBlocks), 0.0015);
}

}  // namespace

TEST(FastIdct, MeetsIeee1180Limits)
{
    init_fast_idct();
    for (int sign : {1, -1}) {
        RunIeee1180(256, 255, sign);
        RunIeee1180(5, 5, sign);
        RunIeee1180(300, 300, sign);
    }
}

TEST(FastIdct, HandCheckedBlocks)
{
    int16_t zero[64] = {};
    fast_idct(zero);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(zero[i], 0);

    // DC 8: row pass gives 1024 on row 0, column pass (1024 + 512) >> 10 = 1.
    int16_t dc[64] = {};
    dc[0] = 8;
    fast_idct(dc);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(dc[i], 1) << i;

    // A lone +-1 at coefficient 63 (what mismatch control adds to an empty
    // block) reconstructs as nothing.
    for (int v : {1, -1}) {
        int16_t b[64] = {};
        b[63] = static_cast<int16_t>(v);
        fast_idct(b);
        for (int i = 0; i < 64; ++i) EXPECT_EQ(b[i], 0) << i;
    }

    // Saturated output.
    int16_t big[64] = {};
    big[0] = 16376;
    fast_idct(big);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(big[i], 255);
}

TEST(FastIdct, ExtremeCoefficientsDoNotWrap)
{
    // Every coefficient at the int16 limits: 32-bit intermediates would
    // overflow; the result must still be the saturated true value.
    for (int16_t v : {int16_t(32767), int16_t(-32768)}) {
        int16_t b[64];
        for (int i = 0; i < 64; ++i) b[i] = v;
        int ref[64], in[64];
        for (int i = 0; i < 64; ++i) in[i] = v;
        ReferenceInverse(in, ref);
        fast_idct(b);
        for (int i = 0; i < 64; ++i) EXPECT_NEAR(b[i], ref[i], 1) << "v " << v << " i " << i;
    }
    // A single huge AC coefficient: every output saturates with the sign of
    // the true value.
    for (int pos : {1, 9, 27, 63}) {
        int16_t b[64] = {};
        int in[64] = {}, ref[64];
        b[pos] = 32767;
        in[pos] = 32767;
        ReferenceInverse(in, ref);
        fast_idct(b);
        for (int i = 0; i < 64; ++i) {
            if (std::abs(ref[i]) == 256 || ref[i] == 255) {
                EXPECT_EQ(b[i], ref[i]) << pos << " " << i;
            }
        }
    }
}
