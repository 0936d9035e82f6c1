// Building blocks of the encoder: coding order, time codes, headers, rate
// control start values, quantisers, transforms, distortion kernels and the
// variable-length coding of vectors and coefficients.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "BitReader.h"
#include "CodecTestAccess.h"
#include "codec/EncoderCore.h"
#include "codec/VlcTables.h"
#include "engine/Cpu.h"

using namespace morvane;
using namespace morvane::mpeg;

namespace {

using Writers = EncoderTestAccess::Writers;
using RateState = EncoderTestAccess::RateState;

EncoderParameters Checked(int format, int w, int h, int frames = 10)
{
    EncoderParameters p;
    FillEncoderParameters(p, format, w, h, frames);
    MessageSink sink;
    sink.SetEcho(false);
    EXPECT_TRUE(CheckEncoderParameters(p, sink));
    return p;
}

std::vector<uint8_t> Finish(BitWriter& b)
{
    b.AlignBits();
    return b.TakeBytes();
}

}  // namespace

TEST(CodingOrder, FiveFrames)
{
    const char* expect[] = {"I0", "P3", "B1", "B2", "P4"};
    for (int i = 0; i < 5; ++i) {
        const CodedPicture cp = PictureInCodingOrder(i, 5, 12, 3);
        const std::string got = std::string(1, " IPB"[cp.type]) + std::to_string(cp.display);
        EXPECT_EQ(got, expect[i]) << i;
        EXPECT_EQ(cp.gopFirst, 0);
    }
}

TEST(CodingOrder, HundredFramesEveryFrameOnce)
{
    for (int n : {12, 15}) {
        std::multiset<int> shown;
        std::vector<int> gopStarts, iDisplays;
        for (int i = 0; i < 100; ++i) {
            const CodedPicture cp = PictureInCodingOrder(i, 100, n, 3);
            shown.insert(cp.display);
            if (cp.newGop) {
                gopStarts.push_back(cp.gopFirst);
                iDisplays.push_back(cp.display);
                EXPECT_EQ(cp.type, kPictureI);
            }
            // A B picture lies between the two references around it.
            if (cp.type == kPictureB) {
                EXPECT_FALSE(cp.reference);
                EXPECT_EQ(cp.display, i - 1);
            }
            EXPECT_GE(cp.display - cp.gopFirst, 0);
        }
        for (int f = 0; f < 100; ++f) EXPECT_EQ(shown.count(f), 1u) << "frame " << f << " N " << n;
        ASSERT_GE(gopStarts.size(), 2u);
        EXPECT_EQ(gopStarts[0], 0);
        EXPECT_EQ(gopStarts[1], n - 2);  // the first GOP holds N - 2 frames
        EXPECT_EQ(iDisplays[1], n);
        for (size_t g = 2; g < gopStarts.size(); ++g) EXPECT_EQ(gopStarts[g] - gopStarts[g - 1], n);
    }
    // The order of the first GOP for N = 12.
    const char* expect[] = {"I0", "P3", "B1", "B2", "P6", "B4", "B5", "P9", "B7", "B8", "I12", "B10", "B11", "P15"};
    for (int i = 0; i < 14; ++i) {
        const CodedPicture cp = PictureInCodingOrder(i, 100, 12, 3);
        EXPECT_EQ(std::string(1, " IPB"[cp.type]) + std::to_string(cp.display), expect[i]);
    }
    EXPECT_EQ(PictureInCodingOrder(11, 100, 12, 3).display - PictureInCodingOrder(11, 100, 12, 3).gopFirst, 0);
    EXPECT_EQ(PictureInCodingOrder(10, 100, 12, 3).display - PictureInCodingOrder(10, 100, 12, 3).gopFirst, 2);
}

TEST(TimeCodes, Values)
{
    // Frame 1500 at 25 frames/s: 0 h 1 min 0 s 0 pictures.
    EXPECT_EQ(TimeCode(1500, 25.0), (1u << 13) | (1u << 12));
    // Frame 10 of a 25 frames/s sequence, frame 95 at 30.
    EXPECT_EQ(TimeCode(10, 25.0), (1u << 12) | 10u);
    EXPECT_EQ(TimeCode(95, 30.0), (1u << 12) | (3u << 6) | 5u);
    // 25 hours wrap to 1 hour.
    EXPECT_EQ(TimeCode(25 * 3600 * 25, 25.0), (1u << 19) | (1u << 12));
}

TEST(Headers, SequenceLevelFields)
{
    MessageSink sink;
    sink.SetEcho(false);
    {
        EncoderCore encoder(Checked(kVideoMpeg1, 160, 120), sink);
        Writers core(encoder);
        core.PutSequenceHeader();
        const auto bytes = Finish(core.Bits());
        ASSERT_EQ(bytes.size(), 12u);
        TestBitReader r(bytes);
        EXPECT_EQ(r.Get(32), 0x1B3u);
        EXPECT_EQ(r.Get(12), 160u);
        EXPECT_EQ(r.Get(12), 120u);
        EXPECT_EQ(r.Get(4), 8u);
        EXPECT_EQ(r.Get(4), 3u);
        EXPECT_EQ(r.Get(18), 4630u);
        EXPECT_EQ(r.Get(1), 1u);
        EXPECT_EQ(r.Get(10), 20u);
        EXPECT_EQ(r.Get(1), 1u);  // constrained_parameters_flag
        EXPECT_EQ(r.Get(2), 0u);
    }
    {
        EncoderCore encoder(Checked(kVideoPal, 720, 576), sink);
        Writers core(encoder);
        core.PutSequenceHeader();
        core.PutSequenceExtension();
        core.PutSequenceDisplayExtension();
        core.PutGopHeader(1500, false);
        core.PutSequenceEnd();
        const auto bytes = Finish(core.Bits());
        TestBitReader r(bytes);
        EXPECT_EQ(r.Get(32), 0x1B3u);
        EXPECT_EQ(r.Get(12), 720u);
        EXPECT_EQ(r.Get(12), 576u);
        EXPECT_EQ(r.Get(4), 2u);
        EXPECT_EQ(r.Get(4), 3u);
        EXPECT_EQ(r.Get(18), 12500u);
        EXPECT_EQ(r.Get(1), 1u);
        EXPECT_EQ(r.Get(10), 112u);
        EXPECT_EQ(r.Get(3), 0u);
        EXPECT_EQ(r.Get(32), 0x1B5u);
        EXPECT_EQ(r.Get(4), 1u);
        EXPECT_EQ(r.Get(8), 0x48u);
        EXPECT_EQ(r.Get(1), 0u);  // progressive_sequence
        EXPECT_EQ(r.Get(2), 1u);  // 4:2:0
        EXPECT_EQ(r.Get(4), 0u);  // size extensions
        EXPECT_EQ(r.Get(12), 0u);
        EXPECT_EQ(r.Get(1), 1u);
        EXPECT_EQ(r.Get(8), 0u);
        EXPECT_EQ(r.Get(1), 0u);  // low_delay
        EXPECT_EQ(r.Get(7), 0u);
        r.Align();
        EXPECT_EQ(r.Get(32), 0x1B5u);
        EXPECT_EQ(r.Get(4), 2u);
        EXPECT_EQ(r.Get(3), 1u);  // video_format PAL
        EXPECT_EQ(r.Get(1), 1u);
        EXPECT_EQ(r.Get(8), 5u);
        EXPECT_EQ(r.Get(8), 5u);
        EXPECT_EQ(r.Get(8), 5u);
        EXPECT_EQ(r.Get(14), 720u);
        EXPECT_EQ(r.Get(1), 1u);
        EXPECT_EQ(r.Get(14), 576u);
        r.Align();
        EXPECT_EQ(r.Get(32), 0x1B8u);
        EXPECT_EQ(r.Get(25), (1u << 13) | (1u << 12));
        EXPECT_EQ(r.Get(1), 0u);
        EXPECT_EQ(r.Get(1), 0u);
        r.Align();
        EXPECT_EQ(r.Get(32), 0x1B7u);
        EXPECT_TRUE(r.AtEnd());
    }
}

TEST(RateControl, StartValues)
{
    const EncoderParameters m1 = Checked(kVideoMpeg1, 160, 120);
    RateControl rc;
    RateState rcState(rc);
    rc.InitVbv(m1);
    rc.Start(m1, 80);
    EXPECT_DOUBLE_EQ(rcState.r, 148160.0);
    EXPECT_DOUBLE_EQ(rcState.avgAct, 400.0);
    EXPECT_DOUBLE_EQ(rcState.Xi, 1852000.0 * 160 / 115);
    EXPECT_DOUBLE_EQ(rcState.d0b, 148160.0 * 14 / 31);
    EXPECT_EQ(rc.VbvDelay(0), 13933);
    EXPECT_EQ(rc.VbvDelay(0), 13933 + 3600);
    // The bits already sent shorten the delay.
    EXPECT_EQ(rc.VbvDelay(1852000 / 10), 13933 + 7200 - 9000);

    const EncoderParameters pal = Checked(kVideoPal, 720, 576);
    RateControl p;
    RateState pState(p);
    p.InitVbv(pal);
    p.Start(pal, 1620);
    EXPECT_DOUBLE_EQ(pState.r, 400000.0);
    EXPECT_EQ(p.VbvDelay(0), 28901);
    EXPECT_EQ(p.VbvDelay(0), 28901 + 3600);
    // Clamped to 0..65535.
    EXPECT_EQ(p.VbvDelay(100000000), 0);
    for (int i = 0; i < 20; ++i) p.VbvDelay(0);
    EXPECT_EQ(p.VbvDelay(0), 65535);

    const EncoderParameters ntsc = Checked(kVideoNtsc, 720, 480);
    RateControl n;
    n.InitVbv(ntsc);
    const int first = n.VbvDelay(0);
    EXPECT_EQ(n.VbvDelay(0) - first, 3000);

    // GOP and picture targets; a target below bitRate / (8 frameRate) is
    // raised to it.
    p.StartGop();
    EXPECT_DOUBLE_EQ(pState.R, 12 * 5000000.0 / 25);
    EXPECT_EQ(pState.Np, 3);
    EXPECT_EQ(pState.Nb, 8);
    p.StartPicture(kPictureI, 0);
    EXPECT_GT(pState.T, 5000000.0 / 25);
    EXPECT_EQ(p.FirstScale(), 2 * 10);  // 31 x (r 10/31) / r = 10
    pState.R = 1000;
    p.StartPicture(kPictureB, 0);
    EXPECT_DOUBLE_EQ(pState.T, 5000000.0 / (8 * 25));
}

TEST(RateControl, FlatMacroblockHalvesTheScale)
{
    const EncoderParameters pal = Checked(kVideoPal, 720, 576);
    RateControl rc;
    RateState rcState(rc);
    rc.Start(pal, 1620);
    rc.StartGop();
    rc.StartPicture(kPictureP, 0);
    rcState.avgAct = 1e9;
    std::vector<uint8_t> flat(32 * 32, 77);
    const int q = rc.MacroblockScale(0, flat.data(), 32, 0);
    // Qj = d0p x 31 / r = 10; N = (2 + avgAct) / (1 + 2 avgAct) ~ 0.5.
    EXPECT_EQ(q, 2 * 5);
    EXPECT_DOUBLE_EQ(rcState.actSum, 1.0);
}

TEST(Quantisers, IntraDcAndAc)
{
    int16_t src[64] = {}, dst[64];
    const uint8_t* w = kDefaultIntraMatrix;
    src[0] = -4;
    QuantIntra(src, dst, 0, w, 2, 2047);
    EXPECT_EQ(dst[0], -1);
    src[0] = 3;
    QuantIntra(src, dst, 0, w, 2, 2047);
    EXPECT_EQ(dst[0], 0);
    src[0] = 1016;
    QuantIntra(src, dst, 0, w, 2, 2047);
    EXPECT_EQ(dst[0], 127);
    // AC: y = (32 x 100 + 8) / 16 = 200; (200 + (3 x 4 + 2) >> 2) / 8 = 25.
    std::memset(src, 0, sizeof src);
    src[1] = 100;  // W = 16
    src[2] = -100;  // W = 19: y = (3200 + 9) / 19 = 168; (168 + 3) / 8 = 21
    QuantIntra(src, dst, 0, w, 4, 2047);
    EXPECT_EQ(dst[1], 25);
    EXPECT_EQ(dst[2], -21);
    // The skip test agrees with the division at the boundary.
    for (int x = -300; x <= 300; ++x)
        for (int scale : {2, 8, 62}) {
            src[5] = static_cast<int16_t>(x);
            QuantIntra(src, dst, 0, w, scale, 2047);
            const int wi = w[5];
            const int y = (32 * std::abs(x) + wi / 2) / wi;
            const int l = (y + ((3 * scale + 2) >> 2)) / (2 * scale);
            ASSERT_EQ(dst[5], x < 0 ? -l : l) << x << " " << scale;
        }
    // Levels beyond the syntax are clipped.
    src[1] = 2040;
    QuantIntra(src, dst, 0, w, 2, 255);
    EXPECT_EQ(dst[1], 255);
}

TEST(Quantisers, NonIntraAndClipping)
{
    uint8_t flat[64];
    std::memset(flat, 16, sizeof flat);
    int16_t src[64] = {}, dst[64];
    EXPECT_FALSE(QuantNonIntra(src, dst, flat, 2, 2047));
    src[0] = 3;  // y = 6; 6 / 4 = 1
    src[9] = -7;  // y = 14; 14 / 4 = 3
    EXPECT_TRUE(QuantNonIntra(src, dst, flat, 2, 2047));
    EXPECT_EQ(dst[0], 1);
    EXPECT_EQ(dst[9], -3);
    src[0] = 1;  // y = 2 < 4: 0
    src[9] = 0;
    EXPECT_FALSE(QuantNonIntra(src, dst, flat, 2, 2047));
    src[0] = -2040;  // y = 4080; / 4 = 1020: beyond MPEG-1's 255
    EXPECT_TRUE(QuantNonIntra(src, dst, flat, 2, 255));
    EXPECT_EQ(dst[0], -255);
}

TEST(Quantisers, InverseMismatchAndOddification)
{
    uint8_t flat[64];
    std::memset(flat, 16, sizeof flat);
    int16_t lv[64] = {}, out[64];
    // MPEG-2 non-intra: (2 x 1 + 1) x 16 x 2 / 32 = 3 (odd sum: no change).
    lv[0] = 1;
    DequantNonIntra(lv, out, flat, 2, false);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[63], 0);
    // Two of them: sum 6 is even, so coefficient 63 is toggled.
    lv[1] = 1;
    DequantNonIntra(lv, out, flat, 2, false);
    EXPECT_EQ(out[63], 1);
    // MPEG-1: no mismatch control; even results move toward zero.
    lv[1] = 0;
    lv[0] = 2;  // (5 x 16 x 4) / 32 = 10 -> 9
    DequantNonIntra(lv, out, flat, 4, true);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(out[63], 0);
    lv[0] = -2;
    DequantNonIntra(lv, out, flat, 4, true);
    EXPECT_EQ(out[0], -9);
    // Intra: DC times 8 (never made odd); AC level W Q / 16; saturation.
    int16_t il[64] = {};
    il[0] = 5;
    il[1] = 3;  // 3 x 16 x 4 / 16 = 12 -> MPEG-1 11
    il[2] = 2047;
    DequantIntra(il, out, 0, kDefaultIntraMatrix, 4, true);
    EXPECT_EQ(out[0], 40);
    EXPECT_EQ(out[1], 11);
    EXPECT_EQ(out[2], 2047);
    DequantIntra(il, out, 0, kDefaultIntraMatrix, 4, false);
    EXPECT_EQ(out[1], 12);
    EXPECT_EQ(out[2], 2047);
    // sum 40 + 12 + 2047 = 2099 is odd: no toggle.
    EXPECT_EQ(out[63], 0);
}

// The kernels of every level the processor has, the plain ones first.
std::vector<std::pair<const char*, EncoderKernels>> LevelKernels()
{
    std::vector<std::pair<const char*, EncoderKernels>> all;
    for (const CpuLevel& level : ProcessorCpuLevels()) all.emplace_back(level.name, EncoderKernelsFor(level.flags));
    return all;
}

TEST(ForwardDct, EveryLevelEqualsTheLongDoubleReference)
{
    std::mt19937 rng(7);
    int differing = 0;
    for (int n = 0; n < 40000; ++n) {
        int16_t a[64];
        const int kind = n % 5;
        for (int i = 0; i < 64; ++i) {
            const int r = static_cast<int>(rng() % 511) - 255;
            switch (kind) {
            case 0: a[i] = static_cast<int16_t>(r); break;
            case 1: a[i] = static_cast<int16_t>(r / 32); break;
            case 2: a[i] = static_cast<int16_t>((rng() & 1) ? 127 : -128); break;
            case 3: a[i] = static_cast<int16_t>((i & 9) ? r / 8 : -(r / 16)); break;
            default: a[i] = static_cast<int16_t>(n % 511 - 255); break;  // constant blocks
            }
        }
        int16_t want[64];
        std::memcpy(want, a, sizeof a);
        ForwardDctReference(want);
        for (const auto& [name, k] : LevelKernels()) {
            int16_t got[64];
            std::memcpy(got, a, sizeof a);
            k.forwardDct(got);
            differing += std::memcmp(got, want, sizeof got) != 0;
        }
    }
    EXPECT_EQ(differing, 0);
    // A constant block has only its DC: 8 x mean.
    int16_t c[64];
    for (auto& v : c) v = 10;
    EncoderKernelsFor(CpuFlags()).forwardDct(c);
    EXPECT_EQ(c[0], 80);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(c[i], 0);
}

TEST(Distortion, EveryLevelEqualsThePlainKernels)
{
    std::mt19937 rng(3);
    const int lx = 96;
    alignas(16) static uint8_t ref[96 * 64], cur[96 * 64];
    for (auto& v : ref) v = static_cast<uint8_t>(rng());
    for (auto& v : cur) v = static_cast<uint8_t>(rng());
    const EncoderKernels plain = EncoderKernelsFor(0);
    for (const auto& [name, fast] : LevelKernels()) {
        SCOPED_TRACE(name);
        for (int t = 0; t < 200; ++t) {
            const int x = static_cast<int>(rng() % 60), y = static_cast<int>(rng() % 40);
            const uint8_t* a = ref + y * lx + x;
            const uint8_t* b = cur + 16 * (t % 4) + lx * (t % 8);
            for (int h : {8, 16}) {
                EXPECT_EQ(fast.sadFull(a, b, lx, h), plain.sadFull(a, b, lx, h));
                for (int hx = 0; hx < 2; ++hx)
                    for (int hy = 0; hy < 2; ++hy) {
                        EXPECT_EQ(fast.sadHalf(a, b, lx, hx, hy, h), plain.sadHalf(a, b, lx, hx, hy, h));
                        EXPECT_EQ(fast.sseHalf(a, b, lx, hx, hy, h), plain.sseHalf(a, b, lx, hx, hy, h));
                        // A limited sum is exact below the limit and at least
                        // the limit otherwise.
                        const int full = plain.sadHalf(a, b, lx, hx, hy, h);
                        for (int limit : {full / 3, full, full + 1, 1 << 20}) {
                            const int got = fast.sadHalfLimit(a, b, lx, hx, hy, h, limit);
                            if (full < limit) EXPECT_EQ(got, full);
                            else EXPECT_GE(got, limit);
                        }
                        const uint8_t* a2 = ref + ((y + 7) % 40) * lx + (x + 13) % 60;
                        const int hxb = (t >> 1) & 1, hyb = (t >> 2) & 1;
                        EXPECT_EQ(fast.sadBidir(a, a2, b, lx, hx, hy, hxb, hyb, h), plain.sadBidir(a, a2, b, lx, hx, hy, hxb, hyb, h));
                        EXPECT_EQ(fast.sseBidir(a, a2, b, lx, hx, hy, hxb, hyb, h), plain.sseBidir(a, a2, b, lx, hx, hy, hxb, hyb, h));
                    }
                SearchResult rp, rf;
                plain.fullSearch(ref, b, lx, h, 0, 40, 0, 20, rp);
                fast.fullSearch(ref, b, lx, h, 0, 40, 0, 20, rf);
                EXPECT_EQ(rp.best, rf.best);
                EXPECT_EQ(rp.i, rf.i);
                EXPECT_EQ(rp.j, rf.j);
            }
        }
    }
}

TEST(Distortion, TiesGoToTheFirstPositionInScanOrder)
{
    // A reference made of a repeating 4-pixel pattern matches the current
    // block equally well at every fourth column and row.
    const int lx = 64;
    alignas(16) static uint8_t ref[64 * 64], cur[64 * 64];
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ref[y * lx + x] = static_cast<uint8_t>(((x % 4) * 40 + (y % 4) * 7));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) cur[y * lx + x] = ref[(y + 2) * lx + x + 1];
    for (const auto& [name, k] : LevelKernels()) {
        SCOPED_TRACE(name);
        SearchResult r;
        k.fullSearch(ref, cur, lx, 16, 0, 40, 0, 40, r);
        EXPECT_EQ(r.best, 0);
        EXPECT_EQ(r.i, 1);
        EXPECT_EQ(r.j, 2);
    }
    // Half-pel interpolation rounds up at .5.
    uint8_t p[2 * 17 + 2] = {};
    uint8_t c[32] = {};
    p[0] = 1;
    p[1] = 2;
    EXPECT_EQ(SadHalfPel(p, c, 17, 1, 0, 1), 2 + 1);  // (1 + 2 + 1) >> 1 = 2, (2 + 0 + 1) >> 1 = 1
}

TEST(VariableLength, MotionVectorsAndEscapes)
{
    MessageSink sink;
    sink.SetEcho(false);
    EncoderCore encoder1(Checked(kVideoMpeg1, 160, 120), sink);
    Writers m1(encoder1);
    BitWriter& b = m1.Bits();
    m1.PutMotionVector(5, 2);    // code 3 "0001 0", residual (6 & 1) = 0
    m1.PutMotionVector(-6, 2);   // code -3 "0001 1", residual (7 & 1) = 1
    m1.PutMotionVector(0, 2);    // "1"
    m1.PutMotionVector(40, 2);   // wraps to 40 - 64 = -24: code -12, residual (25 & 1) = 1
    m1.PutMotionVector(-15, 1);  // code -15 "0000 0011 011"
    ASSERT_TRUE(m1.PutCoefficient(3, 200, 0, false));
    ASSERT_TRUE(m1.PutCoefficient(3, -200, 0, false));
    ASSERT_TRUE(m1.PutCoefficient(0, -1, 0, true));
    ASSERT_TRUE(m1.PutCoefficient(0, 41, 0, false));
    auto bytes = Finish(b);
    TestBitReader r(bytes);
    EXPECT_EQ(r.Get(5), 0b00010u);
    EXPECT_EQ(r.Get(1), 0u);
    EXPECT_EQ(r.Get(5), 0b00011u);
    EXPECT_EQ(r.Get(1), 1u);
    EXPECT_EQ(r.Get(1), 1u);
    EXPECT_EQ(r.Get(11), 0b00000100001u);
    EXPECT_EQ(r.Get(1), 1u);
    EXPECT_EQ(r.Get(11), 0b00000011011u);
    // MPEG-1 escapes of 200 and -200.
    EXPECT_EQ(r.Get(6), 1u);
    EXPECT_EQ(r.Get(6), 3u);
    EXPECT_EQ(r.Get(8), 0x00u);
    EXPECT_EQ(r.Get(8), 200u);
    EXPECT_EQ(r.Get(6), 1u);
    EXPECT_EQ(r.Get(6), 3u);
    EXPECT_EQ(r.Get(8), 0x80u);
    EXPECT_EQ(r.Get(8), static_cast<uint32_t>(-200 & 0xFF));
    // First coefficient (0, -1) of a non-intra block: "1" and the sign.
    EXPECT_EQ(r.Get(2), 0b11u);
    // (0, 41) has no code: escape with an 8-bit level.
    EXPECT_EQ(r.Get(6), 1u);
    EXPECT_EQ(r.Get(6), 0u);
    EXPECT_EQ(r.Get(8), 41u);

    // MPEG-2: 12-bit levels; levels beyond the syntax are refused with the
    // message.
    EncoderCore encoder2(Checked(kVideoPal, 720, 576), sink);
    Writers m2(encoder2);
    ASSERT_TRUE(m2.PutCoefficient(40, -300, 0, false));
    bytes = Finish(m2.Bits());
    TestBitReader r2(bytes);
    EXPECT_EQ(r2.Get(6), 1u);
    EXPECT_EQ(r2.Get(6), 40u);
    EXPECT_EQ(r2.Get(12), static_cast<uint32_t>(-300 & 0xFFF));
    EXPECT_FALSE(m2.PutCoefficient(0, 2048, 0, false));
    EXPECT_TRUE(m2.Failed());
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0], "AC value out of range (run=0, signed_level=2048)");

    MessageSink s1;
    s1.SetEcho(false);
    EncoderCore encoder1b(Checked(kVideoMpeg1, 160, 120), s1);
    Writers m1b(encoder1b);
    EXPECT_FALSE(m1b.PutCoefficient(2, -256, 0, false));
    EXPECT_EQ(s1.Text(), "AC value out of range (run=2, signed_level=-256)");
    MessageSink s2;
    s2.SetEcho(false);
    EncoderCore encoder1c(Checked(kVideoMpeg1, 160, 120), s2);
    Writers m1c(encoder1c);
    int16_t block[64] = {};
    block[0] = 2047;  // the DC predictor starts at 0
    EXPECT_TRUE(m1c.PutIntraBlock(block, 0));
    block[0] = -1;
    EXPECT_FALSE(m1c.PutIntraBlock(block, 0));
    EXPECT_EQ(s2.Text(), "DC value out of range (-2048)");
}

TEST(Skipping, BMacroblockOnlyAfterAFramePredictedOne)
{
    int pmv[2][2][2] = {};
    pmv[0][0][0] = 4;
    pmv[0][0][1] = -2;
    pmv[1][0][0] = 6;  // the second field vector of a field-predicted predecessor
    MacroblockInfo mb;
    mb.type = kMbForward;
    mb.motionType = kMotionFrame;
    mb.mv[0][0][0] = 4;
    mb.mv[0][0][1] = -2;
    EXPECT_TRUE(CanSkipBMacroblock(mb, kMbForward | kMbPattern, kMotionFrame, pmv));
    // The previous macroblock was field-predicted: coded.
    EXPECT_FALSE(CanSkipBMacroblock(mb, kMbForward, kMotionField, pmv));
    // Different directions, or after an intra macroblock.
    EXPECT_FALSE(CanSkipBMacroblock(mb, kMbForward | kMbBackward, kMotionFrame, pmv));
    EXPECT_FALSE(CanSkipBMacroblock(mb, kMbIntra, kMotionFrame, pmv));
    // A vector other than the predictor, a field-predicted macroblock, or
    // coefficients to send.
    MacroblockInfo other = mb;
    other.mv[0][0][1] = 0;
    EXPECT_FALSE(CanSkipBMacroblock(other, kMbForward, kMotionFrame, pmv));
    other = mb;
    other.motionType = kMotionField;
    EXPECT_FALSE(CanSkipBMacroblock(other, kMbForward, kMotionField, pmv));
    other = mb;
    other.cbp = 4;
    EXPECT_FALSE(CanSkipBMacroblock(other, kMbForward, kMotionFrame, pmv));
    // Backward: only the backward vector is compared.
    MacroblockInfo back;
    back.type = kMbBackward;
    back.motionType = kMotionFrame;
    EXPECT_TRUE(CanSkipBMacroblock(back, kMbBackward, kMotionFrame, pmv));
    back.mv[0][1][0] = 2;
    EXPECT_FALSE(CanSkipBMacroblock(back, kMbBackward, kMotionFrame, pmv));
}
