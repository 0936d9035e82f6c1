// The decoder reconstructs exactly what the encoder's own reconstruction
// holds, for each of the four video formats of the export: both use the
// same inverse DCT, tables and prediction rules, so every sample of every
// coded frame (the padding below and right of the picture included) must
// match.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "codec/MpegEncoder.h"
#include "tests/codec/DecoderTestSupport.h"

namespace {

using namespace dectest;

struct Planes {
    int codedWidth = 0, codedHeight = 0;
    std::vector<uint8_t> y, cb, cr;
};

// A moving picture with edges, gradients and saturated colours.
void WriteFrames(const fs::path& folder, int width, int height, int count)
{
    for (int n = 0; n < count; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "mpeg%04d.ppm", n);
        std::FILE* f = std::fopen((folder / name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "P6\n%d %d\n255\n", width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double cx = x - width / 2.0 - 3.0 * n, cy = y - height / 2.0 + 1.5 * n;
                const bool disc = cx * cx + cy * cy < (height * height) / 10.0;
                const uint8_t px[3] = {
                    static_cast<uint8_t>(disc ? 230 : (x * 5 + n * 7) & 0xFF),
                    static_cast<uint8_t>(disc ? 40 : 128 + 100 * std::sin((x + 2 * n) * 0.2) * std::cos(y * 0.15)),
                    static_cast<uint8_t>(((x / 8 + y / 8 + n / 2) & 1) ? 200 : 30),
                };
                std::fwrite(px, 1, 3, f);
            }
        }
        std::fclose(f);
    }
}

class BitExact : public ::testing::TestWithParam<int> {};

TEST_P(BitExact, DecoderOutputEqualsEncoderReconstruction)
{
    const int format = GetParam();
    const int width = 120, height = 90, count = 16;  // not multiples of 16: padding is compared too
    TempDir dir;
    WriteFrames(dir.path(), width, height, count);

    std::map<int, Planes> recon;
    morvane::EncodeRequest request;
    request.outputPath = (dir / "movie.bin").string();
    request.videoFormat = format;
    request.width = width;
    request.height = height;
    request.frameCount = count;
    request.frameFolder = dir.path().string();
    request.onReconstructed = [&](const morvane::ReconstructedPicture& p) {
        Planes& out = recon[p.displayNumber];
        out.codedWidth = p.codedWidth;
        out.codedHeight = p.codedHeight;
        const size_t luma = size_t(p.codedWidth) * p.codedHeight;
        out.y.assign(p.y, p.y + luma);
        out.cb.assign(p.cb, p.cb + luma / 4);
        out.cr.assign(p.cr, p.cr + luma / 4);
    };
    morvane::MessageSink sink;
    sink.SetEcho(false);
    ASSERT_TRUE(morvane::EncodeMovie(request, sink)) << sink.Text();
    ASSERT_FALSE(recon.empty());

    MessageCapture messages;
    const std::vector<uint8_t> stream = ReadFile(request.outputPath);
    morvane::MpegVideoDecoder decoder(messages.Sink());
    decoder.Start(stream.data(), stream.size());
    int n = 0;
    while (const morvane::DecodedPlanes* f = decoder.NextFrame()) {
        ASSERT_TRUE(recon.count(n)) << "frame " << n;
        const Planes& want = recon[n];
        ASSERT_EQ(f->codedWidth, want.codedWidth);
        ASSERT_EQ(f->codedHeight, want.codedHeight);
        const size_t luma = size_t(f->codedWidth) * f->codedHeight;
        EXPECT_TRUE(std::equal(want.y.begin(), want.y.end(), f->y)) << "Y of frame " << n;
        EXPECT_TRUE(std::equal(want.cb.begin(), want.cb.end(), f->cb)) << "Cb of frame " << n;
        EXPECT_TRUE(std::equal(want.cr.begin(), want.cr.end(), f->cr)) << "Cr of frame " << n;
        (void)luma;
        ++n;
    }
    EXPECT_EQ(n, static_cast<int>(recon.size()));
    EXPECT_TRUE(messages.diagnostics.empty()) << messages.diagnostics.front();
}

std::string FormatName(const ::testing::TestParamInfo<int>& info)
{
    static const char* const kNames[] = {"Mpeg1", "Pal", "Ntsc", "Secam"};
    return kNames[info.param + 1];
}

INSTANTIATE_TEST_SUITE_P(Formats, BitExact, ::testing::Values(-1, 0, 1, 2), FormatName);

}  // namespace
