// The decoder's bit reader, colour conversion, TGA frame file and front end.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/Decoder.h"
#include "codec/DecoderBitReader.h"
#include "codec/DecoderOutput.h"
#include "codec/BitWriter.h"
#include "codec/Idct.h"
#include "codec/VlcTables.h"
#include "engine/Cpu.h"
#include "tests/codec/CodecTestAccess.h"
#include "tests/codec/DecoderTestSupport.h"

namespace {

using namespace dectest;
using morvane::DecoderBitReader;

// The output kernels a decoder made now takes.
morvane::DecoderOutputKernels MachineKernels() { return morvane::DecoderOutputKernelsFor(morvane::CpuFlags()); }

TEST(DecoderBitReader, EndOfFileReadsAsSequenceEndCodes)
{
    // 1000 bytes: the end codes start right after the data.
    std::vector<uint8_t> data(1000, 0xFF);
    DecoderBitReader bits;
    bits.AttachMemory(data.data(), data.size());
    for (int i = 0; i < 250; ++i) ASSERT_EQ(bits.Get(32), 0xFFFFFFFFu);
    for (int i = 0; i < 600; ++i) ASSERT_EQ(bits.Get(32), 0x000001B7u) << i;  // past the 2048-byte block too
    EXPECT_TRUE(bits.AtEndOfSource());

    // 1001 bytes: three zero bytes up to the multiple of 4, then the codes.
    data.assign(1001, 0xFF);
    bits.AttachMemory(data.data(), data.size());
    for (int i = 0; i < 250; ++i) bits.Flush(32);
    EXPECT_EQ(bits.Get(32), 0xFF000000u);
    EXPECT_EQ(bits.Get(32), 0x000001B7u);
}

TEST(DecoderBitReader, BitsAcrossBlocksAndStartCodes)
{
    std::vector<uint8_t> data(5000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    DecoderBitReader bits;
    bits.AttachMemory(data.data(), data.size());
    // Read the whole stream in odd-sized pieces and compare bit by bit.
    const int sizes[] = {1, 3, 7, 13, 25, 32, 5};
    uint64_t pos = 0;
    for (int k = 0; pos + 32 <= data.size() * 8; ++k) {
        const int n = sizes[k % 7];
        const uint32_t got = bits.Get(n);
        uint32_t want = 0;
        for (int b = 0; b < n; ++b, ++pos) want = want << 1 | ((data[pos / 8] >> (7 - pos % 8)) & 1);
        ASSERT_EQ(got, want) << "at bit " << pos;
        ASSERT_EQ(bits.BitPosition(), pos);
    }

    const std::vector<uint8_t> codes = {0x12, 0x00, 0x00, 0x01, 0xB3, 0x00, 0x00, 0x00, 0x01, 0x00};
    bits.AttachMemory(codes.data(), codes.size());
    bits.Flush(3);
    bits.NextStartCode();
    EXPECT_EQ(bits.Get(32), 0x000001B3u);
    bits.NextStartCode();
    EXPECT_EQ(bits.Get(32), 0x00000100u);
    bits.NextStartCode();
    EXPECT_EQ(bits.Get(32), 0x000001B7u);
}

TEST(DecoderOutput, BlackAndWhiteForEveryMatrix)
{
    for (int m = 0; m <= 9; ++m) {
        uint8_t rgb[3];
        ConvertedSample(16, 128, 128, m, rgb);
        EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0) << m;
        ConvertedSample(235, 128, 128, m, rgb);
        EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 3 * 255) << m;
    }
    // A saturated red with matrix 5, worked by hand: y' = 65 * 76309,
    // red = (104597 * 112 + 4960085 + 32768) >> 16 = 254.
    uint8_t rgb[3];
    ConvertedSample(81, 90, 240, 5, rgb);
    EXPECT_EQ(rgb[0], 254);
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(rgb[2], 0);
}

TEST(DecoderOutput, DcOnlyBlockMatchesTheTransform)
{
    // The decoder shortcut for blocks with only coefficient 0.
    for (int dc = -2048; dc <= 2047; ++dc) {
        int16_t block[64] = {};
        block[0] = static_cast<int16_t>(dc);
        morvane::fast_idct(block);
        const int expected = std::clamp((dc * 128 + 512) >> 10, -256, 255);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], expected) << dc;
    }
}

// A flat frame of the given planes' values, 100 x 40 in a 112 x 48 buffer.
struct FlatFrame {
    std::vector<uint8_t> y, cb, cr;
    morvane::DecodedPlanes planes;
    FlatFrame(int width, int height, uint8_t yv, uint8_t cbv, uint8_t crv, bool mpeg2)
    {
        const int cw = (width + 15) / 16 * 16, ch = (height + 15) / 16 * 16;
        y.assign(size_t(cw) * ch, yv);
        cb.assign(size_t(cw) * ch / 4, cbv);
        cr.assign(size_t(cw) * ch / 4, crv);
        // A vertical ramp in the luminance, to see the row order.
        for (int r = 0; r < ch; ++r) std::memset(y.data() + r * cw, std::min(235, 16 + r), cw);
        planes = {y.data(), cb.data(), cr.data(), cw, cw / 2, cw, ch, width, height, mpeg2, true, 5, 0};
    }
};

TEST(DecoderOutput, MemoryFrameHasThePictureSize)
{
    FlatFrame f(100, 40, 0, 128, 128, true);
    const std::vector<uint8_t> rgbx = morvane::FrameToRgbx(f.planes, MachineKernels());
    ASSERT_EQ(rgbx.size(), 100u * 40 * 4);  // rows of 400 bytes, not 448
    for (int r = 0; r < 40; ++r) {
        uint8_t expect[3];
        ConvertedSample(16 + r, 128, 128, 5, expect);
        EXPECT_EQ(rgbx[size_t(r) * 400 + 396], expect[0]) << r;  // last pixel of the row
    }
}

TEST(DecoderOutput, TgaFrameIsReadableByImageMagick)
{
    TempDir dir;
    FlatFrame f(352, 240, 0, 90, 240, false);
    const fs::path tga = dir / "mpeg0000.tga";
    ASSERT_TRUE(morvane::WriteFrameTga(f.planes, tga, MachineKernels(), {}));
    const std::vector<uint8_t> bytes = ReadFile(tga);
    ASSERT_EQ(bytes.size(), 18u + 253440u);
    const uint8_t head[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x60, 0x01, 0xF0, 0x00, 24, 0x20};
    EXPECT_EQ(std::memcmp(bytes.data(), head, 18), 0);
    uint8_t rgb[3];
    ConvertedSample(16 + 5, 90, 240, 5, rgb);
    // Row 5 from the top, blue green red.
    EXPECT_EQ(bytes[18 + 5 * 352 * 3 + 0], rgb[2]);
    EXPECT_EQ(bytes[18 + 5 * 352 * 3 + 2], rgb[0]);

    // A folder that does not exist: a message, no file.
    {
        MessageCapture messages;
        const fs::path bad = dir / "missing" / "mpeg0000.tga";
        EXPECT_FALSE(morvane::WriteFrameTga(f.planes, bad, MachineKernels(), messages.Sink()));
        ASSERT_EQ(messages.diagnostics.size(), 1u);
        EXPECT_EQ(messages.diagnostics[0], "Couldn't create " + bad.string() + "\n");
    }

    if (std::system("identify -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    const fs::path txt = dir / "pixel.txt";
    const std::string cmd = "convert '" + tga.string() + "' -crop 1x1+0+5 -depth 8 txt:- > '" + txt.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::vector<uint8_t> t = ReadFile(txt);
    const std::string text(t.begin(), t.end());
    char want[64];
    std::snprintf(want, sizeof want, "(%d,%d,%d)", rgb[0], rgb[1], rgb[2]);
    EXPECT_NE(text.find(want), std::string::npos) << text << " wants " << want;
}

TEST(DecoderOutput, EveryLevelEqualsThePlainCode)
{
    uint32_t seed = 7;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7FFF;
    };
    const int sizes[][2] = {{16, 16}, {100, 40}, {33, 18}, {352, 288}, {720, 576}, {8, 2}, {130, 66}};
    for (const auto& size : sizes) {
        for (int mode = 0; mode < 4; ++mode) {
            const int w = size[0], h = size[1];
            const int cw = (w + 15) / 16 * 16, ch = (h + 31) / 32 * 32;
            std::vector<uint8_t> y(size_t(cw) * ch), cb(y.size() / 4), cr(y.size() / 4);
            // Random samples, with runs of the extremes.
            for (auto* plane : {&y, &cb, &cr}) {
                for (auto& v : *plane) {
                    const int r = static_cast<int>(next() % 10);
                    v = static_cast<uint8_t>(r == 0 ? 0 : (r == 1 ? 255 : next() & 0xFF));
                }
            }
            for (int matrix = 0; matrix <= 8; ++matrix) {
                const morvane::DecodedPlanes planes{y.data(), cb.data(), cr.data(), cw, cw / 2, cw, ch, w, h,
                                                    (mode & 1) != 0, (mode & 2) != 0, matrix, 0};
                std::vector<uint8_t> plain(size_t(w) * h * 4, 0xAA);
                morvane::ConvertFrameToRgb(planes, plain.data(), w * 4, morvane::PixelLayout::Rgbx,
                                           morvane::DecoderOutputKernelsFor(0));
                for (const morvane::CpuLevel& level : morvane::ProcessorCpuLevels()) {
                    std::vector<uint8_t> fast(size_t(w) * h * 4, 0xAA);
                    morvane::ConvertFrameToRgb(planes, fast.data(), w * 4, morvane::PixelLayout::Rgbx,
                                               morvane::DecoderOutputKernelsFor(level.flags));
                    ASSERT_EQ(fast, plain) << w << "x" << h << " mode " << mode << " matrix " << matrix << " "
                                           << level.name;
                }
            }
        }
    }
}

// ---- front end ---------------------------------------------------------

TEST(DecoderFrontEnd, MissingFileGivesOneAlert)
{
    MessageCapture messages;
    EXPECT_EQ(morvane::mpeg_open_input("/nonexistent/movie.mpg", messages.Sink()), 1);
    EXPECT_EQ(morvane::mpeg_decode_to_frames("/nonexistent/movie.m2v", "/tmp", messages.Sink()), 1);
    ASSERT_EQ(messages.alerts.size(), 2u);
    EXPECT_EQ(messages.alerts[0], "Input file /nonexistent/movie.mpgnot found");
    EXPECT_TRUE(messages.diagnostics.empty());
}

class FrontEndStreams : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    }
    TempDir dir;
};

TEST_F(FrontEndStreams, OneIntraPicture)
{
    const fs::path stream = dir / "one.mpg";
    ASSERT_TRUE(MakeStream(stream, "160x120", 1, "-c:v mpeg1video -f mpeg1video"));
    MessageCapture messages;
    const fs::path work = dir / "kvo";
    EXPECT_EQ(morvane::mpeg_decode_to_frames(stream.string(), work, messages.Sink()), 0);
    EXPECT_EQ(morvane::decodedFrameCount, 1);
    const std::vector<uint8_t> tga = ReadFile(work / "mpeg0000.tga");
    ASSERT_EQ(tga.size(), 18u + 160 * 120 * 3);

    ASSERT_EQ(morvane::mpeg_open_input(stream.string(), messages.Sink()), 0);
    morvane::mpeg_decode_frame(stream.string(), 0);
    ASSERT_FALSE(morvane::DecodedFrameBuffer.empty());
    EXPECT_EQ(morvane::DecodedFrameBuffer.width, 160);
    EXPECT_EQ(morvane::DecodedFrameBuffer.height, 120);
    // The memory frame and the TGA file hold the same picture.
    const auto& px = morvane::DecodedFrameBuffer.pixels;
    for (int i : {0, 5000, 160 * 120 - 1}) {
        EXPECT_EQ(px[4 * i], tga[18 + 3 * i + 2]);
        EXPECT_EQ(px[4 * i + 2], tga[18 + 3 * i]);
    }
    morvane::mpeg_decode_frame(stream.string(), 1);
    EXPECT_TRUE(morvane::DecodedFrameBuffer.empty());
    morvane::mpeg_close_input();
    EXPECT_TRUE(messages.diagnostics.empty());
}

TEST_F(FrontEndStreams, CallNDeliversDisplayFrameN)
{
    const fs::path stream = dir / "gop.m2v";
    ASSERT_TRUE(MakeStream(stream, "176x144", 14, "-c:v mpeg2video -bf 2 -g 6 -b:v 500k -f mpeg2video"));
    const std::vector<uint8_t> reference = FfmpegDecode(stream, dir.path());
    const size_t frameBytes = 176 * 144 * 3 / 2;
    ASSERT_EQ(reference.size(), 14 * frameBytes);

    MessageCapture messages;
    ASSERT_EQ(morvane::mpeg_open_input(stream.string(), messages.Sink()), 0);
    std::vector<std::vector<uint8_t>> frames;
    for (int n = 0; n < 15; ++n) {
        morvane::mpeg_decode_frame(stream.string(), n);
        frames.push_back(morvane::DecodedFrameBuffer.pixels);
    }
    EXPECT_EQ(morvane::decodedFrameCount, 14);
    EXPECT_TRUE(frames[14].empty());  // past the end
    // Each delivered frame is ffmpeg's frame n (compared through the
    // luminance of a few pixels converted back is too loose: compare with
    // a decode of ffmpeg's planes by the same conversion instead).
    for (int n = 0; n < 14; ++n) {
        ASSERT_EQ(frames[n].size(), 176u * 144 * 4) << n;
        const uint8_t* ref = reference.data() + n * frameBytes;
        std::vector<uint8_t> y(ref, ref + 176 * 144);
        std::vector<uint8_t> cb(ref + 176 * 144, ref + 176 * 144 + 88 * 72);
        std::vector<uint8_t> cr(ref + 176 * 144 + 88 * 72, ref + frameBytes);
        const morvane::DecodedPlanes planes{y.data(), cb.data(), cr.data(), 176, 88, 176, 144, 176, 144,
                                            true, true, 5, n};
        const std::vector<uint8_t> want = morvane::FrameToRgbx(planes, MachineKernels());
        EXPECT_GE(Psnr(frames[n].data(), want.data(), want.size()), 40.0) << "frame " << n;
    }
    // Asking again for an earlier frame starts the file again.
    morvane::mpeg_decode_frame(stream.string(), 2);
    EXPECT_EQ(morvane::DecodedFrameBuffer.pixels, frames[2]);
    morvane::mpeg_decode_frame(stream.string(), 9);  // skips 3..8
    EXPECT_EQ(morvane::DecodedFrameBuffer.pixels, frames[9]);
    morvane::mpeg_close_input();
    morvane::mpeg_decode_frame(stream.string(), 10);
    EXPECT_TRUE(morvane::DecodedFrameBuffer.empty());
    EXPECT_TRUE(messages.diagnostics.empty());
}

TEST_F(FrontEndStreams, Mpeg1AfterMpeg2IsDecodedAsMpeg1)
{
    const fs::path m2 = dir / "a.m2v";
    const fs::path m1 = dir / "b.mpg";
    ASSERT_TRUE(MakeStream(m2, "176x144", 3, "-c:v mpeg2video -f mpeg2video"));
    ASSERT_TRUE(MakeStream(m1, "176x144", 3, "-c:v mpeg1video -f mpeg1video"));
    const std::vector<uint8_t> reference = FfmpegDecode(m1, dir.path());
    MessageCapture messages;
    ASSERT_EQ(morvane::mpeg_open_input(m2.string(), messages.Sink()), 0);
    morvane::mpeg_decode_frame(m2.string(), 0);
    ASSERT_EQ(morvane::mpeg_open_input(m1.string(), messages.Sink()), 0);
    morvane::mpeg_decode_frame(m1.string(), 0);
    morvane::mpeg_close_input();

    morvane::MpegVideoDecoder decoder(messages.Sink());
    const std::vector<uint8_t> bytes = ReadFile(m1);
    decoder.Start(bytes.data(), bytes.size());
    const morvane::DecodedPlanes* f = decoder.NextFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->mpeg2);
    EXPECT_EQ(f->matrixCoefficients, 5);
    EXPECT_GE(Psnr(f->y, reference.data(), 176 * 144), 50.0);
    EXPECT_TRUE(messages.diagnostics.empty());
}

TEST_F(FrontEndStreams, SizeChangeInALaterSequenceHeaderStops)
{
    const fs::path a = dir / "a.m2v";
    const fs::path b = dir / "b.m2v";
    ASSERT_TRUE(MakeStream(a, "176x144", 4, "-c:v mpeg2video -bf 0 -f mpeg2video"));
    ASSERT_TRUE(MakeStream(b, "352x288", 4, "-c:v mpeg2video -bf 0 -f mpeg2video"));
    std::vector<uint8_t> joined = ReadFile(a);
    ASSERT_GE(joined.size(), 4u);
    const uint8_t end[4] = {0, 0, 1, 0xB7};
    if (std::memcmp(joined.data() + joined.size() - 4, end, 4) == 0) {
        joined.resize(joined.size() - 4);  // no sequence end code between them
    }
    const std::vector<uint8_t> second = ReadFile(b);
    joined.insert(joined.end(), second.begin(), second.end());
    MessageCapture messages;
    const std::vector<Yuv> frames = DecodeAll(joined, messages.Sink());
    EXPECT_EQ(frames.size(), 4u);  // the first stream's frames, the last one flushed
    for (const Yuv& f : frames) EXPECT_EQ(f.width, 176);
    ASSERT_EQ(messages.diagnostics.size(), 1u);
    EXPECT_EQ(messages.diagnostics[0], "picture size changes from 176x144 to 352x288: decoding stopped\n");
}

// ---- headers -------------------------------------------------------------

// A sequence header (and optional extensions) followed by nothing.
std::vector<uint8_t> SequenceStart(int width, int height, bool extension, int hExt = 0, int matrix = -1)
{
    morvane::mpeg::BitWriter w;
    PutSequenceHeader(w, width, height, 2, 12500, 112);
    if (extension) PutSequenceExtension(w, hExt);
    if (matrix >= 0) {
        PutStartCode(w, 0xB5);
        w.PutBits(2, 4);
        w.PutBits(1, 3);
        w.PutBits(1, 1);
        w.PutBits(5, 8);
        w.PutBits(5, 8);
        w.PutBits(matrix, 8);
        w.PutBits(width, 14);
        w.PutBits(1, 1);
        w.PutBits(height, 14);
    }
    w.AlignBits();
    return w.TakeBytes();
}

TEST(DecoderHeaders, SizeExtensionAndTheSizeLimit)
{
    MessageCapture messages;
    // 720 with horizontal_size_extension 1 is 4816: above the limit.
    std::vector<uint8_t> s = SequenceStart(720, 576, true, 1);
    const uint8_t picture[] = {0, 0, 1, 0, 0, 0x0F, 0xFF, 0xF8};  // an I picture header
    s.insert(s.end(), picture, picture + sizeof picture);
    morvane::MpegVideoDecoder decoder(messages.Sink());
    decoder.Start(s.data(), s.size());
    EXPECT_EQ(decoder.NextFrame(), nullptr);
    EXPECT_EQ(morvane::DecoderTestAccess::Headers(decoder).horizontal_size, 4816);
    EXPECT_TRUE(morvane::DecoderTestAccess::Headers(decoder).mpeg2);
    ASSERT_EQ(messages.diagnostics.size(), 1u);
    EXPECT_EQ(messages.diagnostics[0], "picture size 4816x576 not supported (at most 1920x1152)\n");

    // Without the extension the stream stays MPEG-1.
    s = SequenceStart(352, 288, false);
    decoder.Start(s.data(), s.size());
    EXPECT_EQ(decoder.NextFrame(), nullptr);
    EXPECT_FALSE(morvane::DecoderTestAccess::Headers(decoder).mpeg2);
}

TEST(DecoderHeaders, MatrixCoefficientsComeBackToFiveAtEveryStart)
{
    morvane::MpegVideoDecoder decoder;
    std::vector<uint8_t> s = SequenceStart(352, 288, true, 0, 1);
    decoder.Start(s.data(), s.size());
    decoder.NextFrame();
    EXPECT_EQ(morvane::DecoderTestAccess::Headers(decoder).matrix_coefficients, 1);
    s = SequenceStart(352, 288, true);
    decoder.Start(s.data(), s.size());
    decoder.NextFrame();
    EXPECT_EQ(morvane::DecoderTestAccess::Headers(decoder).matrix_coefficients, 5);
}

TEST(DecoderHeaders, PictureBeforeSequenceHeaderIsSkipped)
{
    const uint8_t s[] = {0, 0, 1, 0, 0, 0x0F, 0xFF, 0xF8, 0, 0, 1, 1, 0x12, 0x34, 0, 0, 1, 0xB7};
    MessageCapture messages;
    morvane::MpegVideoDecoder decoder(messages.Sink());
    decoder.Start(s, sizeof s);
    EXPECT_EQ(decoder.NextFrame(), nullptr);
    ASSERT_EQ(messages.diagnostics.size(), 1u);
    EXPECT_EQ(messages.diagnostics[0], "picture before the first sequence header (skipped)\n");
}

TEST(DecoderHeaders, UnexpectedStartCodesAreReported)
{
    std::vector<uint8_t> s = SequenceStart(352, 288, false);
    const uint8_t more[] = {0, 0, 1, 0xC0, 0x55, 0, 0, 1, 0xB7};
    s.insert(s.end(), more, more + sizeof more);
    MessageCapture messages;
    morvane::MpegVideoDecoder decoder(messages.Sink());
    decoder.Start(s.data(), s.size());
    EXPECT_EQ(decoder.NextFrame(), nullptr);
    ASSERT_EQ(messages.diagnostics.size(), 1u);
    EXPECT_EQ(messages.diagnostics[0], "Unexpected startcode 000001c0 (ignored)\n");
}

// MPEG-1 D pictures: DC coefficients only, each macroblock closed by its
// end_of_macroblock bit.
TEST(DecoderHeaders, Mpeg1DcPictures)
{
    morvane::mpeg::BitWriter w;
    PutSequenceHeader(w, 32, 32, 1, 1000, 20);
    const int levels[4][4] = {{40, 60, 80, 100}, {120, 140, 160, 180}, {200, 220, 30, 50}, {70, 90, 110, 130}};
    for (int picture = 0; picture < 2; ++picture) {
        PutStartCode(w, 0x00);
        w.PutBits(picture, 10);
        w.PutBits(4, 3);  // D picture
        w.PutBits(0xFFFF, 16);
        w.PutBits(0, 1);
        for (int row = 0; row < 2; ++row) {
            PutStartCode(w, row + 1);
            w.PutBits(8, 5);
            w.PutBits(0, 1);
            int predictor[3] = {128, 128, 128};
            for (int col = 0; col < 2; ++col) {
                w.PutBits(1, 1);  // increment 1
                w.PutBits(1, 1);  // macroblock_type: intra
                for (int n = 0; n < 6; ++n) {
                    const int c = n < 4 ? 0 : n - 3;
                    const int level = n < 4 ? levels[2 * row + col][n] + picture : 128;
                    PutDcDifferential(w, c == 0, level - predictor[c]);
                    predictor[c] = level;
                }
                w.PutBits(1, 1);  // end_of_macroblock
            }
        }
    }
    PutStartCode(w, 0xB7);
    MessageCapture messages;
    const std::vector<Yuv> frames = DecodeAll(w.TakeBytes(), messages.Sink());
    ASSERT_EQ(frames.size(), 2u);
    for (int picture = 0; picture < 2; ++picture) {
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const int mb = (y / 16) * 2 + x / 16, block = ((y / 8) & 1) * 2 + ((x / 8) & 1);
                ASSERT_EQ(frames[picture].y[y * 32 + x], levels[mb][block] + picture) << x << "," << y;
            }
        }
        EXPECT_EQ(frames[picture].cb[0], 128);
    }
    EXPECT_TRUE(messages.diagnostics.empty());
}

}  // namespace
