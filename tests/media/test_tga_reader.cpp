// TGA pictures as layer pictures: files written by ffmpeg and ImageMagick
// read as those tools read them, and hand-made files for the corners of
// the format and for damaged input.
#include <gtest/gtest.h>

#include "media/TgaReader.h"
#include "tests/media/MovieTestSupport.h"

using namespace morvane;
using namespace morvane::test;

namespace {

// An 18-byte TGA header followed by `body`.
std::vector<uint8_t> Tga(int w, int h, int depth, int type, int descriptor, const std::vector<uint8_t>& body,
                         int idLength = 0, int mapType = 0, int mapLength = 0, int mapBits = 0)
{
    std::vector<uint8_t> f = {static_cast<uint8_t>(idLength), static_cast<uint8_t>(mapType), static_cast<uint8_t>(type),
                              0, 0, static_cast<uint8_t>(mapLength), static_cast<uint8_t>(mapLength >> 8),
                              static_cast<uint8_t>(mapBits), 0, 0, 0, 0,
                              static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h),
                              static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(depth), static_cast<uint8_t>(descriptor)};
    f.resize(18 + body.size());
    std::copy(body.begin(), body.end(), f.begin() + 18);
    return f;
}

// Red, green, blue of pixel (x, y) of a picture, y = 0 the bottom row.
std::vector<int> At(const Picture& p, int x, int y)
{
    const uint8_t* px = &p.pixels[(static_cast<size_t>(y) * p.width + x) * 4];
    return {px[0], px[1], px[2]};
}

Picture MustRead(const std::vector<uint8_t>& file)
{
    Result<Picture> r = ReadTgaPicture(file);
    EXPECT_TRUE(r.ok()) << r.error;
    return r.ok() ? std::move(*r.value) : Picture();
}

}  // namespace

TEST(TgaReader, FilesOfFfmpegAndImageMagickReadAsFfmpegReadsThem)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    struct Case {
        std::string name;
        std::string make;  // a command that writes the file
    };
    const fs::path png = dir.path / "source.png";
    ASSERT_TRUE(FfmpegPattern(png, "62x38", 1, "-vf format=rgb24,crop=61:37:0:0"));
    const std::vector<Case> cases = {
        {"ffmpeg-topleft-rle.tga", "ffmpeg -v error -y -i '" + png.string() + "' -pix_fmt bgr24 "},
        {"ffmpeg-topleft-raw32.tga", "ffmpeg -v error -y -i '" + png.string() + "' -pix_fmt bgra -rle 0 "},
        {"magick-bottomleft-raw.tga", "convert '" + png.string() + "' -compress None "},
        {"magick-bottomleft-rle.tga", "convert '" + png.string() + "' -compress RLE "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir.path / c.name;
        ASSERT_TRUE(RunCommand(c.make + "'" + file.string() + "'"));
        const std::vector<uint8_t> bytes = FileBytesOf(file);
        const bool topLeft = (bytes[17] & 0x20) != 0;
        EXPECT_EQ(topLeft, c.name.find("topleft") != std::string::npos);

        const Picture p = MustRead(bytes);
        ASSERT_EQ(p.width, 61);
        ASSERT_EQ(p.height, 37);
        const auto frames = FfmpegFrames(file, 61, 37);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(DifferingBytes(TopFirstRgb(p), frames[0]), 0u);

        Layer layer;
        PutPictureIntoLayer(std::make_shared<const Picture>(p), layer);
        ExpectRendersAs(layer, frames[0]);
    }
}

TEST(TgaReader, RunLengthPacketsRunAcrossLinesAndStopAtThePicture)
{
    // 3 x 2, bottom-left: a run of 4 (crosses the line end), a raw packet
    // of 2, then a run of 128 that only has one slot left... and more data.
    const std::vector<uint8_t> body = {
        0x83, 1, 2, 3,           // run of 4 of (b1 g2 r3)
        0x01, 4, 5, 6, 7, 8, 9,  // 2 raw pixels
        0xFF, 10, 11, 12,        // run of 128: none left to fill
        0x00, 13, 14, 15,        // past the picture: ignored
    };
    const Picture p = MustRead(Tga(3, 2, 24, 10, 0, body));
    EXPECT_EQ(At(p, 0, 0), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(At(p, 2, 0), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(At(p, 0, 1), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(At(p, 1, 1), (std::vector<int>{6, 5, 4}));
    EXPECT_EQ(At(p, 2, 1), (std::vector<int>{9, 8, 7}));

    // 0x80 repeats once, 0x7F carries 128 pixels.
    std::vector<uint8_t> raw128 = {0x80, 1, 1, 1, 0x7F};
    for (int i = 0; i < 128; ++i) raw128.insert(raw128.end(), {2, 2, static_cast<uint8_t>(i)});
    const Picture q = MustRead(Tga(129, 1, 24, 10, 0, raw128));
    EXPECT_EQ(At(q, 0, 0), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(At(q, 1, 0), (std::vector<int>{0, 2, 2}));
    EXPECT_EQ(At(q, 128, 0), (std::vector<int>{127, 2, 2}));
}

TEST(TgaReader, OriginIdFieldColourMapAndAlpha)
{
    // Two rows of one 32-bit pixel each; the file's first row is (1,2,3).
    const std::vector<uint8_t> rows = {3, 2, 1, 0xAA, 6, 5, 4, 0xBB};
    const Picture bottomLeft = MustRead(Tga(1, 2, 32, 2, 0x08, rows));
    EXPECT_EQ(At(bottomLeft, 0, 0), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(bottomLeft.pixels[3], 0) << "the alpha byte is not carried over";
    const Picture topLeft = MustRead(Tga(1, 2, 32, 2, 0x28, rows));
    EXPECT_EQ(At(topLeft, 0, 0), (std::vector<int>{4, 5, 6})) << "a top-left file lands upright";

    // A 3-byte identification field and a colour map of 2 entries of 24 bits.
    std::vector<uint8_t> body = {'i', 'd', '!', 9, 9, 9, 8, 8, 8};
    body.insert(body.end(), {3, 2, 1, 6, 5, 4});
    const Picture skipped = MustRead(Tga(1, 2, 24, 2, 0, body, 3, 1, 2, 24));
    EXPECT_EQ(At(skipped, 0, 0), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(At(skipped, 0, 1), (std::vector<int>{4, 5, 6}));
}

TEST(TgaReader, RefusedAndDamagedFiles)
{
    // Depths other than 24 and 32 are refused with a reason.
    for (int depth : {8, 15, 16}) {
        const Result<Picture> r = ReadTgaPicture(Tga(2, 2, depth, 2, 0, std::vector<uint8_t>(16, 1)));
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.error.find("24 or 32 bits"), std::string::npos) << r.error;
    }
    // Sizes: none, past 32767 on a side, more than the byte limit.
    EXPECT_FALSE(ReadTgaPicture(Tga(0, 5, 24, 2, 0, {})).ok());
    EXPECT_FALSE(ReadTgaPicture(Tga(40000, 1, 24, 2, 0, {})).ok());
    EXPECT_FALSE(ReadTgaPicture(Tga(32767, 32767, 24, 10, 0, {})).ok());
    EXPECT_FALSE(ReadTgaPicture(Tga(64, 64, 24, 2, 0, {}), 64 * 64 * 4 - 1).ok());
    EXPECT_FALSE(ReadTgaPicture(std::vector<uint8_t>(17, 0)).ok());

    // A file that ends early: what is there is read, the rest stays black;
    // also a run packet cut off before its pixel and an identification field
    // longer than the file.
    const Picture shortRaw = MustRead(Tga(2, 2, 24, 2, 0, {3, 2, 1, 6, 5}));
    EXPECT_EQ(At(shortRaw, 0, 0), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(At(shortRaw, 1, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(At(shortRaw, 1, 1), (std::vector<int>{0, 0, 0}));
    const Picture shortRun = MustRead(Tga(2, 1, 24, 10, 0, {0x81, 1}));
    EXPECT_EQ(At(shortRun, 0, 0), (std::vector<int>{0, 0, 0}));
    const Picture noData = MustRead(Tga(2, 1, 24, 2, 0, {1, 2}, 200));
    EXPECT_EQ(noData.pixels, std::vector<uint8_t>(8, 0));
}
