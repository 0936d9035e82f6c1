// Whole encoding runs: stream structure, frame counts, the reconstruction
// callback, stops on bad input, and the SSE2 search giving the same stream
// as the plain one.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "StreamScan.h"
#include "TempDir.h"
#include "TestFrames.h"
#include "codec/MpegEncoder.h"
#include "engine/Cpu.h"

using namespace morvane;
using codectest::Content;

namespace {

struct RunResult {
    bool ok = false;
    std::vector<uint8_t> stream;
    std::vector<std::string> messages;
    std::map<int, int> reconTypes;  // display number -> picture type
    std::vector<int> codingOrder;
};

// `cpuMask`: the processor levels the encoder may use (it takes its kernels
// when it is made).
RunResult Encode(const TempDir& dir, int format, int w, int h, int frames, uint32_t cpuMask = ~0u,
                 const std::string& out = "out.bin")
{
    EncodeRequest req;
    req.outputPath = dir / out;
    req.videoFormat = format;
    req.width = w;
    req.height = h;
    req.frameCount = frames;
    req.frameFolder = dir.str();
    RunResult run;
    req.onReconstructed = [&](const ReconstructedPicture& p) {
        EXPECT_EQ(run.reconTypes.count(p.displayNumber), 0u);
        run.reconTypes[p.displayNumber] = p.pictureCodingType;
        run.codingOrder.push_back(p.displayNumber);
        EXPECT_EQ(p.codedWidth % 16, 0);
        EXPECT_GE(p.codedWidth, w);
        EXPECT_GE(p.codedHeight, h);
    };
    MessageSink sink;
    sink.SetEcho(false);
    const uint32_t savedMask = CpuMask();
    SetCpuMask(cpuMask);
    run.ok = EncodeMovie(req, sink);
    SetCpuMask(savedMask);
    run.messages = sink.Messages();
    if (run.ok) run.stream = ReadBytes(req.outputPath);
    return run;
}

std::vector<uint8_t> Codes(const std::vector<uint8_t>& s, bool withSlices = false)
{
    std::vector<uint8_t> c;
    for (const StartCode& sc : ScanStartCodes(s))
        if (withSlices || sc.code == 0 || sc.code > 0xAF) c.push_back(sc.code);
    return c;
}

// Only the frame files and the output are left in the folder.
void ExpectNoTemporaryFiles(const TempDir& dir)
{
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.rfind("mpeg", 0) == 0 || name == "out.bin" || name == "keep.bin") << name;
    }
}

}  // namespace

TEST(EncodeRun, ZeroFramesGiveHeadersAndEndOnly)
{
    TempDir dir;
    RunResult m1 = Encode(dir, kVideoMpeg1, 160, 120, 0);
    ASSERT_TRUE(m1.ok);
    EXPECT_EQ(m1.stream.size(), 16u);
    EXPECT_EQ(Codes(m1.stream), (std::vector<uint8_t>{0xB3, 0xB7}));
    RunResult pal = Encode(dir, kVideoPal, 720, 576, 0);
    ASSERT_TRUE(pal.ok);
    EXPECT_EQ(Codes(pal.stream), (std::vector<uint8_t>{0xB3, 0xB5, 0xB5, 0xB7}));
    EXPECT_TRUE(pal.reconTypes.empty());
}

TEST(EncodeRun, StreamStructureAndHeaders)
{
    TempDir dir;
    ASSERT_TRUE(codectest::WriteFrames(dir.str(), Content::Smooth, 48, 32, 14));
    RunResult run = Encode(dir, kVideoMpeg1, 48, 32, 14);
    ASSERT_TRUE(run.ok) << (run.messages.empty() ? "" : run.messages[0]);
    EXPECT_TRUE(run.messages.empty());
    const auto codes = ScanStartCodes(run.stream);
    std::vector<std::pair<int, int>> pictures;  // (type, temporal reference)
    std::vector<GopHeader> gops;
    int firstVbv = -1, slicesPerPicture = 0, slices = 0;
    for (const StartCode& sc : codes) {
        if (sc.code == 0x00) {
            const PictureHeader h = ReadPictureHeader(run.stream, sc.offset);
            pictures.push_back({h.type, h.temporalReference});
            if (firstVbv < 0) firstVbv = h.vbvDelay;
            if (pictures.size() == 2) slicesPerPicture = slices;
        } else if (sc.code == 0xB8) {
            gops.push_back(ReadGopHeader(run.stream, sc.offset));
        } else if (sc.code >= 0x01 && sc.code <= 0xAF) {
            ++slices;
        }
    }
    const std::vector<std::pair<int, int>> expect = {{1, 0}, {2, 3}, {3, 1}, {3, 2}, {2, 6}, {3, 4}, {3, 5},
                                                     {2, 9}, {3, 7}, {3, 8}, {1, 2}, {3, 0}, {3, 1}, {2, 3}};
    EXPECT_EQ(pictures, expect);
    ASSERT_EQ(gops.size(), 2u);
    EXPECT_EQ(gops[0].closed, 1);
    EXPECT_EQ(gops[0].timeCode, 1u << 12);
    EXPECT_EQ(gops[1].closed, 0);
    EXPECT_EQ(gops[1].timeCode, (1u << 12) | 10u);
    EXPECT_EQ(slicesPerPicture, 2);  // one slice per macroblock row
    // vbv_delay of the first picture: 13933 minus the 24 bytes before it.
    EXPECT_EQ(firstVbv, static_cast<int>(13933 - 192 * 90000.0 / 1852000));
    EXPECT_EQ(run.stream.back(), 0xB7);
    EXPECT_EQ(run.reconTypes.size(), 14u);
    EXPECT_EQ(run.codingOrder[0], 0);
    EXPECT_EQ(run.codingOrder[1], 3);
    EXPECT_EQ(run.codingOrder[10], 12);
}

TEST(EncodeRun, EveryFormatCodesEveryFrameGiven)
{
    TempDir dir;
    ASSERT_TRUE(codectest::WriteFrames(dir.str(), Content::Detail, 64, 64, 7));
    for (int format : {kVideoMpeg1, kVideoPal, kVideoNtsc, kVideoSecam}) {
        RunResult run = Encode(dir, format, 64, 64, 7);
        ASSERT_TRUE(run.ok) << format;
        EXPECT_EQ(run.reconTypes.size(), 7u) << format;
        int pictures = 0;
        for (uint8_t c : Codes(run.stream)) pictures += c == 0;
        EXPECT_EQ(pictures, 7) << format;
        ExpectNoTemporaryFiles(dir);
    }
}

TEST(EncodeRun, EveryProcessorLevelGivesTheSameStream)
{
    TempDir dir;
    ASSERT_TRUE(codectest::WriteFrames(dir.str(), Content::Detail, 96, 64, 8));
    for (int format : {kVideoMpeg1, kVideoPal}) {
        RunResult plain = Encode(dir, format, 96, 64, 8, 0);
        ASSERT_TRUE(plain.ok);
        for (const CpuLevel& level : ProcessorCpuLevels()) {
            if (level.flags == 0) continue;
            RunResult fast = Encode(dir, format, 96, 64, 8, level.flags);
            ASSERT_TRUE(fast.ok);
            EXPECT_EQ(fast.stream, plain.stream) << format << " " << level.name;
        }
    }
}

TEST(EncodeRun, SharpEdgedSequenceAtTheSmallMpeg1Size)
{
    // The high bit rate for so small a picture drives the quantiser to its
    // finest step; levels beyond the MPEG-1 range are clipped, not refused.
    TempDir dir;
    ASSERT_TRUE(codectest::WriteFrames(dir.str(), Content::Sharp, 160, 120, 100));
    RunResult run = Encode(dir, kVideoMpeg1, 160, 120, 100);
    ASSERT_TRUE(run.ok) << (run.messages.empty() ? "" : run.messages[0]);
    EXPECT_TRUE(run.messages.empty());
    ASSERT_EQ(run.reconTypes.size(), 100u);
    EXPECT_EQ(run.reconTypes.begin()->first, 0);
    EXPECT_EQ(run.reconTypes.rbegin()->first, 99);
    int pictures = 0;
    for (uint8_t c : Codes(run.stream)) pictures += c == 0;
    EXPECT_EQ(pictures, 100);
}

TEST(EncodeRun, StaticSceneSkipsMacroblocks)
{
    TempDir dir;
    // A flat picture is coded exactly by its I picture, so nothing is left
    // to code in the P and B pictures.
    std::vector<uint8_t> still(160 * 64 * 3);
    for (size_t i = 0; i < still.size(); i += 3) still[i] = 100, still[i + 1] = 150, still[i + 2] = 200;
    for (int f = 0; f < 4; ++f) ASSERT_TRUE(codectest::WritePpm(codectest::FrameName(dir.str(), f), still, 160, 64));
    RunResult run = Encode(dir, kVideoMpeg1, 160, 64, 4);
    ASSERT_TRUE(run.ok);
    const auto codes = ScanStartCodes(run.stream);
    std::vector<size_t> pictureStarts;
    for (const StartCode& sc : codes)
        if (sc.code == 0) pictureStarts.push_back(sc.offset);
    ASSERT_EQ(pictureStarts.size(), 4u);
    // The P picture: 4 slices of 10 macroblocks, of which only the first and
    // the last of each row are sent (without coefficients).
    const size_t pSize = pictureStarts[2] - pictureStarts[1];
    EXPECT_LT(pSize, 8u + 4 * 12);
}

TEST(EncodeRun, FailedRunLeavesNothingBehind)
{
    TempDir dir;
    ASSERT_TRUE(codectest::WriteFrames(dir.str(), Content::Smooth, 32, 32, 3));
    RunResult run = Encode(dir, kVideoMpeg1, 32, 32, 5);
    EXPECT_FALSE(run.ok);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0], "Couldn't open " + (dir / "mpeg0003.ppm"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.bin"));
    ExpectNoTemporaryFiles(dir);

    // An existing file of that name is kept as it was.
    WriteBytes(dir / "keep.bin", "old contents");
    run = Encode(dir, kVideoMpeg1, 32, 32, 5, ~0u, "keep.bin");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(ReadBytes(dir / "keep.bin").size(), 12u);
    ExpectNoTemporaryFiles(dir);

    // Parameter errors stop before any file is made.
    run = Encode(dir, kVideoMpeg1, 33, 32, 3);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.messages, std::vector<std::string>{"horizontal_size must be a even (4:2:0)"});
    EXPECT_FALSE(std::filesystem::exists(dir / "out.bin"));

    // A frame of the wrong size.
    ASSERT_TRUE(codectest::WritePpm(dir / "mpeg0001.ppm", codectest::MakeFrame(Content::Smooth, 30, 32, 1), 30, 32));
    run = Encode(dir, kVideoMpeg1, 32, 32, 3);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.messages, std::vector<std::string>{(dir / "mpeg0001.ppm") + " is not a 32x32 PPM picture with 8-bit samples"});
    ExpectNoTemporaryFiles(dir);

    // An output folder that does not exist.
    ASSERT_TRUE(codectest::WriteFrames(dir.str(), Content::Smooth, 32, 32, 3));
    run = Encode(dir, kVideoMpeg1, 32, 32, 3, false, "no/such/folder/out.mpg");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.messages, std::vector<std::string>{"Couldn't create output file " + (dir / "no/such/folder/out.mpg")});
}

TEST(EncodeRun, TheExpectedSizeIsTheBitRateOverTheLengthOrAByteASampleForSmallPictures)
{
    // 4 s of MPEG-1 at 1,852,000 bits a second: 926,000 bytes; 16 x 16
    // pictures cannot take that, and are expected at a byte per 4:2:0
    // sample (38,400 bytes).  What the streams take is within a third of
    // the figure, and not above it.
    TempDir dir;
    for (const auto& [content, w, h, expected] :
         {std::tuple{Content::Sharp, 160, 120, 926000u}, std::tuple{Content::Detail, 160, 120, 926000u},
          std::tuple{Content::Sharp, 16, 16, 38400u}, std::tuple{Content::Detail, 16, 16, 38400u}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", content " + std::to_string(int(content)));
        EncoderParameters p;
        FillEncoderParameters(p, kVideoMpeg1, w, h, 100);
        MessageSink sink;
        sink.SetEcho(false);
        ASSERT_TRUE(CheckEncoderParameters(p, sink));
        EXPECT_EQ(ExpectedStreamBytes(p), expected);
        ASSERT_TRUE(codectest::WriteFrames(dir.str(), content, w, h, 100));
        const RunResult run = Encode(dir, kVideoMpeg1, w, h, 100);
        ASSERT_TRUE(run.ok);
        EXPECT_LE(run.stream.size(), expected);
        EXPECT_GT(run.stream.size(), expected / 3);
    }
}
