// Conformance of the encoder's streams, judged by an independent decoder
// (ffmpeg): every format decodes without a complaint, ffprobe reports the
// right frame count, size, rate, profile and level, the decoded pictures
// equal the encoder's own reconstruction, the quality against the source
// and the bit rate are as set.  Needs ffmpeg and ffprobe on the PATH
// (tools/deps.sh installs them); without them the tests are skipped,
// except under CI, where that is a failure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestFrames.h"
#include "codec/MpegEncoder.h"

using namespace morvane;
using codectest::Content;

namespace {

bool HaveFfmpeg()
{
    return std::system("ffmpeg -version > /dev/null 2>&1") == 0 && std::system("ffprobe -version > /dev/null 2>&1") == 0;
}

#define REQUIRE_FFMPEG()                                                              \
    do {                                                                              \
        if (!HaveFfmpeg()) {                                                          \
            if (std::getenv("CI")) FAIL() << "ffmpeg and ffprobe are needed in CI";   \
            GTEST_SKIP() << "ffmpeg not installed";                                   \
        }                                                                             \
    } while (0)

int Shell(const std::string& cmd)
{
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string ReadText(const std::string& file)
{
    const auto b = ReadBytes(file);
    return std::string(b.begin(), b.end());
}

struct Case {
    int format;
    int width, height, frames;
    Content content;
    double fps;
    bool checkQuality;  // PSNR against the source and the bit rate
    std::function<void(EncoderParameters&)> change = nullptr;  // settings the program never uses
};

struct Result {
    std::vector<std::vector<uint8_t>> recon;  // luma of the picture size, display order
    std::string stream;
};

double LumaPsnr(const uint8_t* a, const uint8_t* b, size_t n)
{
    double se = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    if (se == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * n / se);
}

void RunCase(const Case& c)
{
    SCOPED_TRACE(testing::Message() << "format " << c.format << " " << c.width << "x" << c.height);
    TempDir dir;
    ASSERT_TRUE(codectest::WriteFrames(dir.str(), c.content, c.width, c.height, c.frames));
    const std::string out = dir / (c.format == kVideoMpeg1 ? "movie.mpg" : "movie.m2v");

    EncodeRequest req;
    req.outputPath = out;
    req.videoFormat = c.format;
    req.width = c.width;
    req.height = c.height;
    req.frameCount = c.frames;
    req.frameFolder = dir.str();
    std::vector<std::vector<uint8_t>> recon(c.frames);
    req.onReconstructed = [&](const ReconstructedPicture& p) {
        auto& y = recon[p.displayNumber];
        y.resize(static_cast<size_t>(c.width) * c.height);
        for (int r = 0; r < c.height; ++r)
            std::copy(p.y + static_cast<size_t>(r) * p.codedWidth, p.y + static_cast<size_t>(r) * p.codedWidth + c.width,
                      y.begin() + static_cast<size_t>(r) * c.width);
    };
    MessageSink sink;
    EncoderParameters params;
    FillEncoderParameters(params, c.format, c.width, c.height, c.frames);
    if (c.change) c.change(params);
    ASSERT_TRUE(EncodeWithParameters(params, req, sink)) << sink.Text();

    // The decoder accepts the stream without a word.
    const std::string err = dir / "ffmpeg.err";
    const int rc = Shell("ffmpeg -v error -xerror -f mpegvideo -i " + out + " -f rawvideo -pix_fmt yuv420p " +
                         (dir / "decoded.yuv") + " 2> " + err);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadText(err), "");

    // What ffprobe sees.
    const std::string probe = dir / "probe.txt";
    ASSERT_EQ(Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                    "stream=codec_name,profile,level,width,height,r_frame_rate,nb_read_frames -of default=nw=1 " +
                    out + " > " + probe),
              0);
    std::map<std::string, std::string> info;
    std::istringstream lines(ReadText(probe));
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) info[line.substr(0, eq)] = line.substr(eq + 1);
    }
    EXPECT_EQ(info["nb_read_frames"], std::to_string(c.frames));
    EXPECT_EQ(info["width"], std::to_string(c.width));
    EXPECT_EQ(info["height"], std::to_string(c.height));
    EXPECT_EQ(info["r_frame_rate"], c.fps == 30 ? "30/1" : "25/1");
    if (c.format == kVideoMpeg1) {
        EXPECT_EQ(info["codec_name"], "mpeg1video");
    } else {
        EXPECT_EQ(info["codec_name"], "mpeg2video");
        EXPECT_EQ(info["profile"], "Main");
        EXPECT_EQ(info["level"], "8");
    }

    // ffmpeg's pictures against the encoder's reconstruction, frame by frame.
    const std::string yuv = dir / "frames.yuv";
    ASSERT_EQ(Shell("ffmpeg -v error -f mpegvideo -i " + out + " -fps_mode passthrough -f rawvideo -pix_fmt yuv420p " + yuv +
                    " 2>/dev/null"),
              0);
    const std::vector<uint8_t> decoded = ReadBytes(yuv);
    const size_t lum = static_cast<size_t>(c.width) * c.height, frameBytes = lum * 3 / 2;
    ASSERT_EQ(decoded.size(), frameBytes * c.frames);
    double worstRecon = 99, worstSource = 99;
    for (int f = 0; f < c.frames; ++f) {
        ASSERT_EQ(recon[f].size(), lum) << "frame " << f << " not reconstructed";
        const uint8_t* d = decoded.data() + frameBytes * f;
        worstRecon = std::min(worstRecon, LumaPsnr(d, recon[f].data(), lum));
        if (c.checkQuality) {
            // The source's luma by the ITU-R BT.601 definition.
            const auto rgb = codectest::MakeFrame(c.content, c.width, c.height, f);
            std::vector<uint8_t> src(lum);
            for (size_t i = 0; i < lum; ++i)
                src[i] = static_cast<uint8_t>(std::lround(16 + (65.481 * rgb[3 * i] + 128.553 * rgb[3 * i + 1] + 24.966 * rgb[3 * i + 2]) / 255));
            worstSource = std::min(worstSource, LumaPsnr(d, src.data(), lum));
        }
    }
    EXPECT_GE(worstRecon, 50.0);
    const double rate = std::filesystem::file_size(out) * 8.0 / (c.frames / c.fps);
    std::printf("    %dx%d, %d frames: %.0f bit/s, worst luma PSNR %.2f dB against the reconstruction", c.width, c.height,
                c.frames, rate, worstRecon);
    if (c.checkQuality) std::printf(", %.2f dB against the source", worstSource);
    std::printf("\n");
    if (c.checkQuality) {
        EXPECT_GE(worstSource, 30.0);
        const double target = c.format == kVideoMpeg1 ? 1852000.0 : 5000000.0;
        EXPECT_NEAR(rate / target, 1.0, 0.15) << "bit rate " << rate;
    }
}

}  // namespace

TEST(EncoderConformance, Mpeg1Cif)
{
    REQUIRE_FFMPEG();
    RunCase({kVideoMpeg1, 352, 288, 34, Content::Detail, 25, true});
}

TEST(EncoderConformance, Mpeg1SmallSharpHundredFrames)
{
    REQUIRE_FFMPEG();
    RunCase({kVideoMpeg1, 160, 120, 100, Content::Sharp, 25, false});
}

TEST(EncoderConformance, Mpeg2Pal)
{
    REQUIRE_FFMPEG();
    RunCase({kVideoPal, 720, 576, 34, Content::Detail, 25, true});
}

TEST(EncoderConformance, Mpeg2Ntsc)
{
    REQUIRE_FFMPEG();
    RunCase({kVideoNtsc, 720, 480, 28, Content::Detail, 30, true});
}

TEST(EncoderConformance, Mpeg2Secam)
{
    REQUIRE_FFMPEG();
    RunCase({kVideoSecam, 720, 576, 28, Content::Detail, 25, true});
}

TEST(EncoderConformance, Mpeg2OddSizeSmooth)
{
    // A size that is not a multiple of the macroblock (coded 336 x 224 for
    // an interlaced 330 x 200), content with a moving object.
    REQUIRE_FFMPEG();
    RunCase({kVideoPal, 330, 200, 13, Content::Smooth, 25, false});
}

TEST(EncoderConformance, Mpeg2AlternateScanTableOneAndDcPrecision)
{
    // Paths the program's settings leave unused: alternate scan, table one
    // for the intra blocks of every picture type, 10-bit intra DC.
    REQUIRE_FFMPEG();
    RunCase({kVideoPal, 176, 144, 10, Content::Detail, 25, false, [](EncoderParameters& p) {
                 p.alternateScan = {1, 1, 1};
                 p.intraVlcFormat = {1, 1, 1};
                 p.intraDcPrecision = 2;
             }});
}

TEST(EncoderConformance, Mpeg2ProgressiveFrames)
{
    // progressive_frame set in an MPEG-2 stream: frame prediction and frame
    // DCT only, progressive chroma filters.
    REQUIRE_FFMPEG();
    RunCase({kVideoSecam, 176, 144, 10, Content::Smooth, 25, false, [](EncoderParameters& p) { p.progressiveFrame = 1; }});
}
