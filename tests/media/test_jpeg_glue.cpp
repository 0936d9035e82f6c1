// JPEG through libjpeg: a saved texture as ImageMagick and our own reader
// see it, pictures made by ImageMagick read the right way up, and damaged
// or unsupported files refused with a message.
#include <gtest/gtest.h>

#include <filesystem>

#include "MediaTestSupport.h"
#include "media/JpegGlue.h"
#include "support/FileSizeLimit.h"
#include "support/HostileFiles.h"
#include "support/PeakMemory.h"

using namespace morvane;
using namespace morvane::test;
namespace fs = std::filesystem;

namespace {

// A loaded picture as rows of red, green, blue, top row first.
std::vector<uint8_t> TopDownRgb(const JpegImage& image)
{
    std::vector<uint8_t> rgb;
    for (int r = image.height - 1; r >= 0; --r) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.pixels[(size_t(r) * image.width + x) * 4];
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    }
    return rgb;
}

}  // namespace

TEST(JpegGlue, ASavedTextureIsQuality75With2x2SamplingAndReadsBackClose)
{
    REQUIRE_IMAGEMAGICK();
    TempDir dir;
    const Texture t = PreparedThreeLayers(160, 120);
    const std::string path = dir / "t.jpg";
    ASSERT_EQ(SaveTextureJpeg(path, t).error, "");
    EXPECT_EQ(Output("identify -format '%m %w %h %Q %[jpeg:sampling-factor] %[colorspace]' " + path),
              "JPEG 160 120 75 2x2,1x1,1x1 sRGB");
    // Nothing else is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

    const Result<JpegImage> loaded = LoadJpegImage(path);
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    ASSERT_EQ(loaded.value->width, 160);
    ASSERT_EQ(loaded.value->height, 120);
    const std::vector<uint8_t> ours = TopDownRgb(*loaded.value);
    EXPECT_GT(Psnr(ours, ViewPixels(t, 160, 120)), 30.0);

    // ImageMagick decodes the same picture.
    const std::string ppm = dir / "im.ppm";
    ASSERT_EQ(Shell("convert " + path + " " + ppm), 0);
    const Ppm im = ParsePpm(ReadBytes(ppm));
    ASSERT_TRUE(im.ok());
    EXPECT_GT(Psnr(im.rgb, ours), 40.0);
}

TEST(JpegGlue, PicturesLoadBottomRowFirstAsBlueGreenRed)
{
    REQUIRE_IMAGEMAGICK();
    TempDir dir;
    // Top half red, bottom half blue.
    const std::string colour = dir / "rb.jpg";
    ASSERT_EQ(Shell("convert -size 16x16 xc:red xc:blue -append -quality 95 " + colour), 0);
    const Result<JpegImage> c = LoadJpegImage(colour);
    ASSERT_TRUE(c.ok()) << c.error;
    ASSERT_EQ(c.value->width, 16);
    ASSERT_EQ(c.value->height, 32);
    const uint8_t* first = &c.value->pixels[0];                  // bottom row in memory first: blue
    const uint8_t* last = &c.value->pixels[(31 * 16 + 5) * 4];   // top row: red
    EXPECT_GT(first[0], 240);
    EXPECT_LT(first[2], 16);
    EXPECT_LT(last[0], 16);
    EXPECT_GT(last[2], 240);

    // Greyscale files come out with three equal channels.
    const std::string grey = dir / "grey.jpg";
    ASSERT_EQ(Shell("convert -size 8x4 gradient:white-black -colorspace Gray -type Grayscale " + grey), 0);
    ASSERT_EQ(Output("identify -format '%[channels]' " + grey).substr(0, 4), "gray");
    const Result<JpegImage> g = LoadJpegImage(grey);
    ASSERT_TRUE(g.ok()) << g.error;
    ASSERT_EQ(g.value->pixels.size(), 8u * 4 * 4);
    for (size_t i = 0; i < g.value->pixels.size(); i += 4) {
        EXPECT_EQ(g.value->pixels[i], g.value->pixels[i + 1]);
        EXPECT_EQ(g.value->pixels[i], g.value->pixels[i + 2]);
    }
    EXPECT_LT(g.value->pixels[0], 40);                 // bottom row: black
    EXPECT_GT(g.value->pixels[(3 * 8) * 4], 215);      // top row: white
}

TEST(JpegGlue, UnreadableFilesAreRefusedWithAMessage)
{
    REQUIRE_IMAGEMAGICK();
    TempDir dir;
    auto refused = [](const std::string& path, const std::string& reason) {
        const Result<JpegImage> r = LoadJpegImage(path);
        EXPECT_FALSE(r.ok()) << path;
        EXPECT_NE(r.error.find(path), std::string::npos) << r.error;
        EXPECT_NE(r.error.find(reason), std::string::npos) << r.error;
        EXPECT_FALSE(r.value);  // no picture at all
    };
    // The reason is in the message, and nothing else is said before it.
    testing::internal::CaptureStderr();
    refused(dir / "missing.jpg", "No such file");
    WriteBytes(dir / "text.jpg", "this is no picture");
    refused(dir / "text.jpg", "Not a JPEG file");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    WriteBytes(dir / "empty.jpg", "");
    refused(dir / "empty.jpg", "empty");

    const std::string cmyk = dir / "cmyk.jpg";
    ASSERT_EQ(Shell("convert -size 8x8 xc:orange -colorspace CMYK " + cmyk), 0);
    refused(cmyk, "CMYK");

    // A file cut short decodes what it holds (the library warns on stderr).
    const std::string whole = dir / "whole.jpg";
    ASSERT_EQ(Shell("convert -size 64x64 plasma:fractal -seed 3 " + whole), 0);
    std::vector<uint8_t> bytes = ReadBytes(whole);
    bytes.resize(bytes.size() / 2);
    WriteBytes(dir / "cut.jpg", std::string(bytes.begin(), bytes.end()));
    testing::internal::CaptureStderr();
    const Result<JpegImage> cut = LoadJpegImage(dir / "cut.jpg");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Premature end"), std::string::npos);
    ASSERT_TRUE(cut.ok());
    EXPECT_EQ(cut.value->width, 64);
}

namespace {

// A JPEG file with its first scan (its header and coded data) repeated.
std::vector<uint8_t> WithFirstScanRepeated(const std::vector<uint8_t>& jpeg, int times)
{
    size_t begin = 0;
    while (begin + 3 < jpeg.size() && !(jpeg[begin] == 0xFF && jpeg[begin + 1] == 0xDA)) ++begin;
    size_t end = begin + 2 + (size_t(jpeg[begin + 2]) << 8 | jpeg[begin + 3]);
    // The coded data ends at the next marker that is neither a stuffed
    // byte nor a restart.
    while (end + 1 < jpeg.size() && !(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && (jpeg[end + 1] & 0xF8) != 0xD0)) ++end;
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(end));
    for (int i = 0; i < times; ++i) out.insert(out.end(), jpeg.begin() + std::ptrdiff_t(begin), jpeg.begin() + std::ptrdiff_t(end));
    out.insert(out.end(), jpeg.begin() + std::ptrdiff_t(end), jpeg.end());
    return out;
}

}  // namespace

TEST(JpegGlue, DecompressionBombsAreRefusedBeforeTheyAreDecoded)
{
    REQUIRE_IMAGEMAGICK();
    TempDir dir;
    const std::string small = dir / "small.jpg";
    ASSERT_EQ(Shell("convert -size 16x16 gradient:red-blue -strip -interlace JPEG " + small), 0);
    const std::vector<uint8_t> bytes = ReadBytes(small);
    ASSERT_TRUE(LoadJpegImage(small).ok());

    // A few hundred bytes that declare 9000 x 9000 pixels: their
    // coefficients alone would take 240 MB before the size is looked at.
    const std::string bomb = dir / "bomb.jpg";
    const std::vector<uint8_t> declared = JpegDeclaringSize(bytes, 9000, 9000);
    WriteBytes(bomb, std::string(declared.begin(), declared.end()));
    testing::internal::CaptureStderr();
    const uint64_t extra = PeakExtraBytes([&] { (void)LoadJpegImage(bomb); });
    const Result<JpegImage> refused = LoadJpegImage(bomb);
    testing::internal::GetCapturedStderr();
    EXPECT_LT(extra, uint64_t(64) << 20);
    EXPECT_EQ(refused.error,
              "Unable to read the JPEG picture \"" + bomb + "\".\nThe picture is 9000 x 9000 pixels, more than this program reads.");

    // A file of many scans would have the picture worked over for each.
    const std::vector<uint8_t> scans = WithFirstScanRepeated(bytes, 150);
    WriteBytes(dir / "scans.jpg", std::string(scans.begin(), scans.end()));
    testing::internal::CaptureStderr();
    const Result<JpegImage> many = LoadJpegImage(dir / "scans.jpg");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(many.error,
              "Unable to read the JPEG picture \"" + (dir / "scans.jpg") + "\".\nThe picture has more than 100 scans.");
}

TEST(JpegGlue, AFailedSaveLeavesNoFile)
{
    TempDir dir;
    const Texture t = PreparedThreeLayers(64, 48);

    // A folder that does not exist.
    testing::internal::CaptureStderr();
    const std::string missing = dir / "no/such/t.jpg";
    const std::string error = SaveTextureJpeg(missing, t).error;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;

    // A full disk during the write (a file size limit): the old file stays.
    const std::string path = dir / "t.jpg";
    WriteBytes(path, "old");
    const Texture large = PreparedThreeLayers(320, 240);
    std::string full;
    {
        const FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.ok());
        testing::internal::CaptureStderr();
        full = SaveTextureJpeg(path, large).error;
        testing::internal::GetCapturedStderr();
    }
    EXPECT_NE(full.find("Unable to save"), std::string::npos) << full;
    EXPECT_NE(full.find("too large"), std::string::npos) << full;
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}
