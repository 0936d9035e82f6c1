// AVI movies as layer pictures: uncompressed files written by ffmpeg and
// run-length files of the movie-file script, read as ffmpeg reads them,
// the movie's timing, and damaged files.
#include <gtest/gtest.h>

#include <cstring>

#include "media/AviReader.h"
#include "media/LayerPicture.h"
#include "support/CountingByteSource.h"
#include "support/HostileFiles.h"
#include "tests/media/MovieTestSupport.h"

using namespace morvane;
using namespace morvane::test;

namespace {

std::unique_ptr<AviReader> MustOpen(const fs::path& file)
{
    auto source = OpenFileSource(file);
    EXPECT_TRUE(source.ok()) << source.error;
    if (!source.ok()) return nullptr;
    Result<std::unique_ptr<AviReader>> opened = AviReader::Open(std::move(*source.value));
    EXPECT_TRUE(opened.ok()) << opened.error;
    return std::move(opened.value).value_or(nullptr);
}

// Every frame of the reader equals ffmpeg's decode of the same file.
void ExpectFramesAsFfmpeg(const fs::path& file, int w, int h, int frames)
{
    auto reader = MustOpen(file);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->Width(), w);
    ASSERT_EQ(reader->Height(), h);
    ASSERT_EQ(reader->FrameCount(), frames);
    const auto expected = FfmpegFrames(file, w, h);
    ASSERT_EQ(expected.size(), static_cast<size_t>(frames));
    Picture p;
    for (int k = 0; k < frames; ++k) {
        ASSERT_TRUE(reader->ReadFrame(k, p));
        EXPECT_EQ(DifferingBytes(TopFirstRgb(p), expected[k]), 0u) << "frame " << k;
    }
    // Backwards, so that run-length frames start again from a key frame.
    for (int k = frames - 1; k >= 0; k -= 3) {
        ASSERT_TRUE(reader->ReadFrame(k, p));
        EXPECT_EQ(DifferingBytes(TopFirstRgb(p), expected[k]), 0u) << "frame " << k << " read backwards";
    }
}

}  // namespace

TEST(AviReader, UncompressedFilesOfFfmpegReadAsFfmpegReadsThem)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    struct Case {
        std::string name, size, args;
        int w, h;
    };
    const std::vector<Case> cases = {
        {"bgr24-topdown.avi", "64x48", "-c:v rawvideo -pix_fmt bgr24", 64, 48},
        {"bgr24-bottomup.avi", "64x48", "-c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1", 64, 48},
        {"pal8-odd-topdown.avi", "322x40", "-vf format=rgb24,crop=321:39:0:0 -c:v rawvideo -pix_fmt pal8", 321, 39},
        {"pal8-odd-bottomup.avi", "322x40", "-vf format=rgb24,crop=321:39:0:0 -c:v rawvideo -pix_fmt pal8 -flipped_raw_rgb 1", 321, 39},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir.path / c.name;
        ASSERT_TRUE(FfmpegPattern(file, c.size, 4, c.args));
        ExpectFramesAsFfmpeg(file, c.w, c.h, 4);
    }

    // As a layer source: the texture renders the frame.
    const fs::path file = dir.path / "pal8-odd-bottomup.avi";
    Layer layer = LayerWithPicture(file.string());
    ASSERT_TRUE(LoadLayerPicture(layer, 1, MovieOpener::Application, nullptr));
    ASSERT_TRUE(ShowMovieFrame(layer, 2));
    ExpectRendersAs(layer, FfmpegFrames(file, 321, 39)[2]);
    CloseMovieSources();
}

TEST(AviReader, RunLengthFilesOfTheScriptReadAsFfmpegReadsThem)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    const fs::path file = dir.path / "moving-rle8.avi";
    ASSERT_TRUE(ScriptMovie("rle8avi", file, 37, 23, 12));
    ExpectFramesAsFfmpeg(file, 37, 23, 12);

    // Without the index every frame is found by scanning the movie list;
    // the run-length frames are then decoded over the frames before them.
    std::vector<uint8_t> bytes = FileBytesOf(file);
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin("idx1"), std::end("idx1") - 1);
    ASSERT_NE(at, bytes.end());
    std::memcpy(&*at, "JUNK", 4);
    const fs::path unindexed = dir.path / "unindexed.avi";
    WriteFile(unindexed, bytes);
    ExpectFramesAsFfmpeg(unindexed, 37, 23, 12);
}

TEST(AviReader, FrameNumbersWrapAroundTheMovie)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    const fs::path file = dir.path / "hundred.avi";
    ASSERT_TRUE(FfmpegPattern(file, "32x24", 100, "-c:v rawvideo -pix_fmt bgr24"));
    const auto frames = FfmpegFrames(file, 32, 24);
    ASSERT_EQ(frames.size(), 100u);

    Layer layer = LayerWithPicture(file.string());
    ASSERT_TRUE(LoadLayerPicture(layer, 1, MovieOpener::Application, nullptr));
    EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), frames[0]), 0u);
    ASSERT_TRUE(ShowMovieFrame(layer, 250));
    EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), frames[50]), 0u);
    ASSERT_TRUE(ShowMovieFrame(layer, -1));
    EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), frames[99]), 0u);
    CloseMovieSources();
}

TEST(AviReader, DamagedAndUnreadableFiles)
{
    auto open = [](const std::vector<uint8_t>& bytes) { return AviReader::Open(MemorySource(bytes)); };
    EXPECT_EQ(open({}).error, "The file is not an AVI movie");
    const std::vector<uint8_t> notAvi = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    EXPECT_EQ(open(notAvi).error, "The file is not an AVI movie");
    const std::vector<uint8_t> empty = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '};
    EXPECT_EQ(open(empty).error, "The movie has no video stream");

    if (!HaveTool("ffmpeg -version")) return;
    TempDir dir;
    const fs::path file = dir.path / "raw.avi";
    ASSERT_TRUE(FfmpegPattern(file, "16x16", 2, "-c:v rawvideo -pix_fmt bgr24"));
    const std::vector<uint8_t> good = FileBytesOf(file);

    // Every cut of the file opens or is refused, and every frame read stays
    // inside the picture (a cut frame is black where its bytes are missing).
    for (size_t cut = 0; cut < good.size(); cut += 97) {
        const std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        Result<std::unique_ptr<AviReader>> r = open(part);
        if (!r.ok()) continue;
        Picture p;
        EXPECT_TRUE((*r.value)->ReadFrame(1, p));
        EXPECT_EQ(p.pixels.size(), 16u * 16u * 4u);
    }

    // A compression this program does not read is reported by the reader
    // and by the loader, which leaves the layer as it was.
    std::vector<uint8_t> xvid = good;
    const auto strf = std::search(xvid.begin(), xvid.end(), std::begin("strf"), std::end("strf") - 1);
    ASSERT_NE(strf, xvid.end());
    std::memcpy(&*(strf + 8 + 16), "XVID", 4);
    Result<std::unique_ptr<AviReader>> r = open(xvid);
    ASSERT_TRUE(r.ok());
    EXPECT_NE((*r.value)->FormatProblem().find("RLE8"), std::string::npos);
    Picture untouched;
    EXPECT_FALSE((*r.value)->ReadFrame(0, untouched));
    EXPECT_TRUE(untouched.empty());
}

TEST(AviReader, AMovieKeepsTheFramesOfTheLongestAnimationAndReadsNoFurther)
{
    // A million empty frame chunks (8 MB), listed by an index (16 MB more)
    // or not: 1000 seconds at 25 frames a second are kept, and only the
    // chunks and index entries up to the last of them are read.
    for (const bool indexed : {false, true}) {
        SCOPED_TRACE(indexed ? "indexed" : "scanned");
        const std::vector<uint8_t> file = EmptyFramesAvi(4, 2, 1000000, indexed);
        uint64_t read = 0;
        Result<std::unique_ptr<AviReader>> opened = AviReader::Open(std::make_unique<CountingByteSource>(file, read));
        ASSERT_TRUE(opened.ok()) << opened.error;
        AviReader& reader = **opened.value;
        EXPECT_EQ(reader.FrameCount(), kMaxMovieFrames);
        EXPECT_LT(read, uint64_t(1) << 20);
        Picture p;
        ASSERT_TRUE(reader.ReadFrame(kMaxMovieFrames + 3, p));
        EXPECT_EQ(p.pixels, std::vector<uint8_t>(4 * 2 * 4, 0));
    }
    EXPECT_EQ(EmptyFramesAvi(8192, 8192, 1).size(), 232u);
}
