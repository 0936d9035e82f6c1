#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include "engine/Cpu.h"
#include "engine/FloatInt.h"
#include "engine/Noise.h"
#include "engine/Random.h"

using namespace morvane;

namespace {

class NoiseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = CpuMask();
        NoiseInit();
    }
    void TearDown() override
    {
        SetCpuMask(saved_);
        NoiseInit();
    }
    // Switches the dot-product path as the processor's MMX flag does: 1 the
    // four-term path, 0 the three-term one.
    void UsePath(int path)
    {
        SetCpuMask(path ? saved_ | kCpuMmx : saved_ & ~kCpuMmx);
        NoiseInit();
    }
    uint32_t saved_ = 0;
};

// 64-bit FNV-1a over raw bytes: a digest to freeze tables with.
uint64_t Digest(const void* data, size_t size)
{
    uint64_t h = 1469598103934665603ull;
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

TEST(Lcg, MatchesTheCRuntimeSequence)
{
    Lcg r(0);
    const int expected[] = {38, 7719, 21238, 2437, 8855, 11797, 8365, 32285};
    for (int e : expected) EXPECT_EQ(r.Next(), e);

    Lcg one(1);  // the runtime's default seed
    EXPECT_EQ(one.Next(), 41);
    EXPECT_EQ(one.Next(), 18467);
    EXPECT_EQ(one.Next(), 6334);
}

TEST(Crc16, ArcCheckValue)
{
    const char* s = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(s), 9), 0xBB3D);
    EXPECT_EQ(Crc16(nullptr, 0), 0);
}

TEST(SatTrunc, DefinedForEveryInput)
{
    EXPECT_EQ(SatTrunc(2.9f), 2);
    EXPECT_EQ(SatTrunc(-2.9f), -2);
    EXPECT_EQ(SatTrunc(NAN), 0);
    EXPECT_EQ(SatTrunc(INFINITY), INT32_MAX);
    EXPECT_EQ(SatTrunc(-INFINITY), INT32_MIN);
    EXPECT_EQ(SatTrunc(3e9f), INT32_MAX);
    EXPECT_EQ(SatTrunc(-3e9f), INT32_MIN);
    EXPECT_EQ(SatTrunc(2147483520.0f), 2147483520);  // largest float below 2^31
    EXPECT_EQ(SatTrunc<int16_t>(40000.0), INT16_MAX);
    EXPECT_EQ(SatTrunc<int64_t>(1e30), INT64_MAX);
}

TEST_F(NoiseTest, TablesAreBuiltExactly)
{
    // The permutation is a permutation.
    std::vector<int> seen(kNoisePermSize, 0);
    for (int16_t v : NoisePerm) {
        ASSERT_GE(v, 0);
        ASSERT_LT(v, kNoisePermSize);
        ++seen[v];
    }
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));

    // Its first swap: rand() after srand(0) is 38, so entry 4095 takes 38.
    EXPECT_EQ(NoisePerm[4095], 38);

    // Lattice 0: the CRC of twelve zero bytes is 0, so the value is -1.
    EXPECT_EQ(NoiseLattice[0], -1.0f);
    for (float v : NoiseLattice) {
        EXPECT_GE(v, -1.0f);
        EXPECT_LE(v, 1.0f);
    }
    // Lattice 1 by hand: f = 0.12345f repeated three times.
    {
        const float f = 1.0f * 0.12345f;
        uint8_t b[12];
        for (int k = 0; k < 3; ++k) std::memcpy(b + 4 * k, &f, 4);
        EXPECT_EQ(NoiseLattice[1], static_cast<float>(Crc16(b, 12)) * (65537.0f / 2147483648.0f) - 1.0f);
    }

    // Gradient rows: lattice j + k times 32767, truncated; rows 264.. zero.
    for (int j = 0; j < 264; ++j) {
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(NoiseGradients[j][k], static_cast<int16_t>(static_cast<int>(NoiseLattice[j + k] * 32767.0f)));
        }
    }
    for (int j = 264; j < 267; ++j) {
        for (int k = 0; k < 4; ++k) EXPECT_EQ(NoiseGradients[j][k], 0);
    }
    EXPECT_EQ(NoiseGradients[0][0], -32767);

    EXPECT_EQ(SineTable[0], 0.0f);
    EXPECT_EQ(SineTable[250], 1.0f);
    EXPECT_NEAR(SineTable[750], -1.0f, 1e-7);

    for (int i = 0; i < kWaveSources; ++i) {
        const float* v = WaveSources[i];
        EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 1.0f, 1e-6) << i;
        EXPECT_GE(WaveScales[i], 0.01f);
        EXPECT_LE(WaveScales[i], 1.01f);
    }
    // The scales are numbers 4097..4116 of the generator after srand(0).
    Lcg r(0);
    for (int i = 0; i < 4096; ++i) r.Next();
    for (int i = 0; i < kWaveSources; ++i) {
        EXPECT_EQ(WaveScales[i], static_cast<float>(r.Next()) * (1.0f / 32767.0f) + 0.01f);
    }
}

TEST_F(NoiseTest, TableDigestsAreFrozen)
{
    // Frozen after review of the tables against their construction rules.
    EXPECT_EQ(Digest(NoisePerm, sizeof NoisePerm), 15820984119964330371ull);
    EXPECT_EQ(Digest(NoiseLattice, sizeof NoiseLattice), 2501093652235971701ull);
    EXPECT_EQ(Digest(NoiseGradients, sizeof NoiseGradients), 10858519167561012031ull);
    EXPECT_EQ(Digest(SineTable, sizeof SineTable), 8459622145465221473ull);
    EXPECT_EQ(Digest(WaveSources, sizeof WaveSources), 2369795209548611560ull);
    EXPECT_EQ(Digest(WaveScales, sizeof WaveScales), 1933298390385541083ull);
}

TEST_F(NoiseTest, InitTwiceGivesTheSameTables)
{
    std::vector<int16_t> perm(NoisePerm, NoisePerm + kNoisePermSize);
    NoiseFree();
    NoiseInit();
    EXPECT_TRUE(std::equal(perm.begin(), perm.end(), NoisePerm));
}

TEST_F(NoiseTest, GradientDotWrapsAndKeepsTheHighHalf)
{
    const int16_t row[4] = {32767, 32767, 32767, 32767};
    const int16_t off[4] = {16384, 32767, 32767, 32767};
    // 32767 * (16384 + 3 * 32767) = 3757637265 wraps to a negative int32.
    const uint32_t full = 32767u * 16384u + 3u * 32767u * 32767u;
    EXPECT_EQ(GradientDot4(row, off), static_cast<int16_t>(static_cast<uint16_t>(full >> 16)));
    EXPECT_LT(GradientDot4(row, off), 0);
    const uint32_t three = 32767u * 16384u + 2u * 32767u * 32767u;
    EXPECT_EQ(GradientDot3(row, off), static_cast<int16_t>(static_cast<uint16_t>(three >> 16)));
    const int16_t neg[4] = {-32768, -32768, 0, 0};
    const int16_t negOff[4] = {-32768, -32768, 0, 0};
    // Two products of 2^30 sum to 2^31: the high half reads as -32768.
    EXPECT_EQ(GradientDot4(neg, negOff), -32768);
    UsePath(0);
    EXPECT_EQ(GradientDot(row, off), GradientDot3(row, off));
    UsePath(1);
    EXPECT_EQ(GradientDot(row, off), GradientDot4(row, off));
}

TEST_F(NoiseTest, LatticePointsTakeTheCornerRow)
{
    for (int path = 0; path < 2; ++path) {
        UsePath(path);
        for (int x : {0, 1, 7, -3, 4095}) {
            for (int y : {0, 2, -9}) {
                for (int z : {0, 5, -1}) {
                    const int i = (x + 10000) & 4095, j = (y + 10000) & 4095, k = (z + 10000) & 4095;
                    const int h = NoisePerm[NoisePerm[NoisePerm[i] ^ j] ^ k] & 255;
                    const int16_t off[4] = {16384, 0, 0, 0};
                    float expected = 0.5f + (1.0f / 16384.0f) * static_cast<float>(GradientDot(NoiseGradients[h], off));
                    expected = std::clamp(expected, 0.0f, 1.0f);
                    EXPECT_EQ(Noise3(float(x), float(y), float(z)), expected) << x << ' ' << y << ' ' << z;
                }
            }
        }
    }
}

TEST_F(NoiseTest, RangePeriodAndNegativeFloor)
{
    Lcg r(1234);
    auto rnd = [&] { return (static_cast<float>(r.Next()) / 32767.0f - 0.5f) * 200.0f; };
    for (int path = 0; path < 2; ++path) {
        UsePath(path);
        for (int n = 0; n < 20000; ++n) {
            const float x = rnd(), y = rnd(), z = rnd();
            const float v = Noise3(x, y, z);
            ASSERT_GE(v, 0.0f);
            ASSERT_LE(v, 1.0f);
            // The lattice wraps every 4096 units.
            const float xi = std::floor(x);
            ASSERT_EQ(Noise3(xi + 0.25f, y, z), Noise3(xi + 0.25f + 4096.0f, y, z));
        }
        // Negative coordinates use the floor: -0.25 lies in the cell [-1, 0).
        float a[3], b[3];
        VNoise3(a, -0.25f, 0.5f, 0.0f);
        VNoise3(b, 4095.75f, 0.5f, 0.0f);
        EXPECT_EQ(a[0], b[0]);
        EXPECT_EQ(a[1], b[1]);
        EXPECT_EQ(a[2], b[2]);
        EXPECT_EQ(Noise3(-0.25f, 0.5f, 0.0f), Noise3(4095.75f, 0.5f, 0.0f));
    }
}

TEST_F(NoiseTest, PlainPathIgnoresTheZProduct)
{
    UsePath(0);
    // The plain product leaves out the z term: any z offset gives the same
    // products, so a hand-weighted sum with a bogus z offset must agree.
    const float x = 0.3f, y = 0.6f;
    for (float z : {0.25f, 0.5f, 0.75f}) {
        const float X = x + 10000.0f, Y = y + 10000.0f, Z = z + 10000.0f;
        const int ix = int(X), iy = int(Y), iz = int(Z);
        const float fx = X - ix, fy = Y - iy, fz = Z - iz;
        const int16_t FX = int16_t(int(fx * 32767.0f)), FY = int16_t(int(fy * 32767.0f));
        const float sx = fx * fx * (3.0f - 2.0f * fx), sy = fy * fy * (3.0f - 2.0f * fy),
                    sz = fz * fz * (3.0f - 2.0f * fz);
        float sum = 0.0f;
        for (int c = 0; c < 2; ++c)
            for (int b = 0; b < 2; ++b)
                for (int a = 0; a < 2; ++a) {
                    const float w = (a ? sx : 1 - sx) * (b ? sy : 1 - sy) * (c ? sz : 1 - sz);
                    const int h = NoisePerm[NoisePerm[NoisePerm[(ix + a) & 4095] ^ ((iy + b) & 4095)] ^ ((iz + c) & 4095)] & 255;
                    // Any z offset gives the same plain product.
                    const int16_t off[4] = {16384, int16_t(FX - 32767 * a), int16_t(FY - 32767 * b), 12345};
                    sum += w * float(GradientDot3(NoiseGradients[h], off));
                }
        EXPECT_EQ(Noise3(x, y, z), std::clamp(0.5f + sum * (1.0f / 16384.0f), 0.0f, 1.0f)) << z;
    }
    // The two paths really differ off the lattice planes.
    const float plain = Noise3(0.3f, 0.6f, 0.4f);
    UsePath(1);
    EXPECT_NE(plain, Noise3(0.3f, 0.6f, 0.4f));
}

TEST_F(NoiseTest, HostileCoordinatesStayDefined)
{
    for (float v : {NAN, INFINITY, -INFINITY, 3e38f, -3e38f, 1e10f, 2147483520.0f}) {
        const float n = Noise3(v, 0.5f, v);
        EXPECT_GE(n, 0.0f);
        EXPECT_LE(n, 1.0f);
        float out[3];
        VNoise3(out, v, v, v);
        for (float c : out) EXPECT_TRUE(std::isfinite(c));
    }
}

TEST_F(NoiseTest, OctaveSums)
{
    EXPECT_EQ(Fbm(0.3f, 0.7f, 0.1f, 0, 2.0f, 0.5f), 0.0f);
    EXPECT_EQ(Fbm(0.3f, 0.7f, 0.1f, 1, 2.0f, 0.5f), Noise3(0.3f, 0.7f, 0.1f));
    const float three = Noise3(0.3f, 0.7f, 0.1f) + 0.5f * Noise3(0.6f, 1.4f, 0.2f) + 0.25f * Noise3(1.2f, 2.8f, 0.4f);
    EXPECT_EQ(Fbm(0.3f, 0.7f, 0.1f, 3, 2.0f, 0.5f), three);
    EXPECT_GE(Fbm(-5.0f, 3.0f, 1.0f, 8, 2.0f, 0.5f), 0.0f);

    float v[3], a[3], b[3];
    VFbm(v, 0.3f, 0.7f, 0.1f, 0, 2.0f, 0.5f);
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[2], 0.0f);
    VFbm(v, 0.3f, 0.7f, 0.1f, 2, 3.0f, 0.25f);
    VNoise3(a, 0.3f, 0.7f, 0.1f);
    VNoise3(b, 0.3f * 3.0f, 0.7f * 3.0f, 0.1f * 3.0f);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(v[k], a[k] + 0.25f * b[k]);

    // VectorFbm stops once the amplitude falls below 0.00001.
    const float p[3] = {0.3f, 0.7f, 0.1f};
    float full[3], limited[3];
    VectorFbm(p, 0.001f, 2.0f, 100, full);  // 1, 0.001, then 1e-6 stops
    VectorFbm(p, 0.001f, 2.0f, 2, limited);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(full[k], limited[k]);
    VectorFbm(p, 0.5f, 2.0f, 0, full);
    EXPECT_EQ(full[0], 0.0f);
}

TEST_F(NoiseTest, SmallHelpers)
{
    EXPECT_EQ(TableSin(0.25f), SineTable[250]);
    EXPECT_EQ(TableSin(0.25f), 1.0f);
    EXPECT_EQ(TableSin(-0.25f), -1.0f);
    EXPECT_EQ(TableSin(1.25f), 1.0f);
    EXPECT_EQ(TableSin(0.9999999f), SineTable[999]);
    for (float v : {NAN, INFINITY, -INFINITY, 1e30f}) EXPECT_TRUE(std::isfinite(TableSin(v)));

    EXPECT_EQ(TriangleWave(0.5f), 1.0f);
    EXPECT_EQ(TriangleWave(-1.0f), 0.0f);
    EXPECT_EQ(TriangleWave(0.25f), 0.5f);
    EXPECT_EQ(TriangleWave(-0.25f), 0.5f);

    EXPECT_EQ(Clamp(0.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(Clamp(-1.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(Clamp(2.0f, 0.0f, 1.0f), 1.0f);
    EXPECT_EQ(SmoothStep(0.2f, 0.8f, 0.8f), 1.0f);
    EXPECT_EQ(SmoothStep(0.2f, 0.8f, 0.1f), 0.0f);
    EXPECT_EQ(SmoothStep(0.0f, 1.0f, 0.5f), 0.5f);
}

TEST_F(NoiseTest, EveryLevelOfTheMachineGivesThePlainBits)
{
    // The kernel checker (tests/kernels) covers every kernel at length; this
    // is the noise through its public names, with the levels switched by
    // the mask as the environment variable switches them.
    const uint32_t mask = CpuMask();
    Lcg r(99);
    auto rnd = [&](float span) { return (static_cast<float>(r.Next()) / 32767.0f - 0.5f) * span; };
    std::vector<float> points;
    for (int n = 0; n < 20000; ++n) {
        const float span = (n % 3 == 0) ? 20.0f : 5000.0f;
        points.push_back(rnd(span));
        points.push_back(rnd(span));
        points.push_back((n % 4 == 0) ? std::floor(rnd(span)) : rnd(span));  // z layers skipped too
    }
    auto digest = [&] {
        std::vector<float> out;
        for (size_t i = 0; i < points.size(); i += 3) {
            const float x = points[i], y = points[i + 1], z = points[i + 2];
            out.push_back(Noise3(x, y, z));
            float v[3];
            VNoise3(v, x, y, z);
            out.insert(out.end(), v, v + 3);
            out.push_back(Fbm(x, y, z, static_cast<int16_t>(i % 9), 1.9f, 0.6f));
            VFbm(v, x, y, z, static_cast<int16_t>(i % 7), 2.1f, 0.45f);
            out.insert(out.end(), v, v + 3);
        }
        return out;
    };
    for (int path = 0; path < 2; ++path) {
        const uint32_t pathFlag = path ? kCpuMmx : 0u;
        SetCpuMask(pathFlag);
        NoiseInit();
        const std::vector<float> plain = digest();
        for (const CpuLevel& level : ProcessorCpuLevels()) {
            SetCpuMask((level.flags & ~kCpuMmx) | pathFlag);
            NoiseInit();
            const std::vector<float> got = digest();
            EXPECT_EQ(std::memcmp(got.data(), plain.data(), plain.size() * sizeof(float)), 0) << level.name;
        }
    }
    SetCpuMask(mask);
    NoiseInit();
}
