// Streams of an independent encoder (Debian's ffmpeg, run at test time)
// decode to within 50 dB of ffmpeg's own decoding of the same stream, in
// every frame, with no decoder message.
#include <gtest/gtest.h>

#include "tests/codec/DecoderTestSupport.h"

namespace {

using namespace dectest;

struct ConformanceCase {
    const char* name;
    const char* size;
    const char* args;
};

std::string Matrix(int base, int step, int range)
{
    std::string s;
    for (int i = 0; i < 64; ++i) s += (i ? "," : "") + std::to_string(base + (i * step) % range);
    return s;
}

class Conformance : public ::testing::TestWithParam<ConformanceCase> {};

TEST_P(Conformance, MatchesFfmpegDecoding)
{
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (tools/deps.sh installs it)";
    const ConformanceCase& c = GetParam();
    TempDir dir;
    const fs::path stream = dir / "stream.m2v";
    std::string args = c.args;
    size_t pos;
    while ((pos = args.find("INTRA_MATRIX")) != std::string::npos) args.replace(pos, 12, Matrix(8, 7, 40));
    while ((pos = args.find("INTER_MATRIX")) != std::string::npos) args.replace(pos, 12, Matrix(16, 5, 30));
    ASSERT_TRUE(MakeStream(stream, c.size, 24, args));
    const std::vector<uint8_t> reference = FfmpegDecode(stream, dir.path());
    ASSERT_FALSE(reference.empty());

    MessageCapture messages;
    const std::vector<Yuv> frames = DecodeAll(ReadFile(stream), messages.Sink());
    EXPECT_TRUE(messages.diagnostics.empty()) << messages.diagnostics.front();
    ASSERT_FALSE(frames.empty());
    const int w = frames[0].width, h = frames[0].height;
    const size_t frameBytes = size_t(w) * h + 2 * size_t((w + 1) / 2) * ((h + 1) / 2);
    ASSERT_EQ(reference.size(), frames.size() * frameBytes);
    double worst = 99;
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint8_t* ref = reference.data() + i * frameBytes;
        worst = std::min(worst, Psnr(frames[i].y.data(), ref, frames[i].y.size()));
        // The chrominance too, with the same bound.
        worst = std::min(worst, Psnr(frames[i].cb.data(), ref + frames[i].y.size(), frames[i].cb.size()));
    }
    EXPECT_GE(worst, 50.0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Ffmpeg, Conformance,
    ::testing::Values(
        ConformanceCase{"Mpeg1", "352x288", "-c:v mpeg1video -b:v 1852k -bf 2 -g 12 -f mpeg1video"},
        ConformanceCase{"Mpeg2Interlaced", "720x576",
                        "-c:v mpeg2video -b:v 5M -bf 2 -g 12 -flags +ildct+ilme -top 1 -f mpeg2video"},
        ConformanceCase{"Mpeg2IntraVlcAlternateNonLinear", "352x288",
                        "-c:v mpeg2video -b:v 2M -bf 2 -intra_vlc 1 -alternate_scan 1 -non_linear_quant 1 "
                        "-qmax 28 -dc 10 -flags +ildct+ilme -f mpeg2video"},
        ConformanceCase{"Mpeg2CustomMatrices", "352x288",
                        "-c:v mpeg2video -b:v 2M -bf 2 -intra_matrix INTRA_MATRIX -inter_matrix INTER_MATRIX "
                        "-f mpeg2video"},
        ConformanceCase{"Mpeg2IntraOnlyLowQuantiser", "352x288",
                        "-c:v mpeg2video -g 1 -q:v 1 -qmin 1 -intra_vlc 1 -dc 9 -f mpeg2video"},
        ConformanceCase{"Mpeg2NoBPictures", "352x288", "-c:v mpeg2video -b:v 1M -bf 0 -g 15 -f mpeg2video"},
        ConformanceCase{"Mpeg2OddSize", "200x120",
                        "-c:v mpeg2video -b:v 1M -bf 2 -flags +ildct+ilme -f mpeg2video"},
        ConformanceCase{"Mpeg1OddSize", "178x100", "-c:v mpeg1video -b:v 800k -bf 1 -f mpeg1video"}),
    [](const ::testing::TestParamInfo<ConformanceCase>& info) { return std::string(info.param.name); });

TEST(Conformance, RefusesOtherChromaFormats)
{
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const fs::path stream = dir / "422.m2v";
    ASSERT_TRUE(MakeStream(stream, "176x144", 3, "-c:v mpeg2video -pix_fmt yuv422p -f mpeg2video"));
    MessageCapture messages;
    EXPECT_TRUE(DecodeAll(ReadFile(stream), messages.Sink()).empty());
    ASSERT_EQ(messages.diagnostics.size(), 1u);
    EXPECT_NE(messages.diagnostics[0].find("chroma_format 2"), std::string::npos);
}

}  // namespace
