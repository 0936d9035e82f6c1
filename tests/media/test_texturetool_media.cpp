// texturetool and pictures and movies: a texture with a picture layer
// renders the picture as the "Image" material samples it (a missing picture
// is told on stderr, many layers naming one picture hold it once, memory
// that runs out is a message), and FLI and AVI exports hold the render
// mapped to their palette, upright, in every player.
#include <gtest/gtest.h>

#include "engine/TextureFile.h"
#include "media/Export.h"
#include "media/JpegGlue.h"
#include "media/LayerPicture.h"
#include "media/MoviePalette.h"
#include "support/HostileFiles.h"
#include "tests/media/MovieTestSupport.h"

using namespace morvane;
using namespace morvane::test;

TEST(TextureToolPictures, RenderShowsThePictureOfAnImageLayer)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    const fs::path tga = dir.path / "picture.tga";
    ASSERT_TRUE(FfmpegPattern(tga, "62x38", 1, "-vf format=rgb24,crop=61:37:0:0 -pix_fmt bgr24"));
    const auto source = FfmpegFrames(tga, 61, 37);
    ASSERT_EQ(source.size(), 1u);

    Layer layer = LayerWithPicture(tga.string());
    Texture texture = ImageTexture(layer);
    texture.layers[0].layer.SetPicturePath(tga.string());
    texture.layers[0].layer.rec.width = 5;  // the picture's own size replaces it
    ASSERT_EQ(WriteTextureFile(dir.path / "pictured.zyv", texture).error, "");

    const fs::path out = dir.path / "out.ppm";
    const fs::path err = dir.path / "err.txt";
    ASSERT_EQ(Shell(std::string(MORVANE_TEXTURETOOL) + " render '" + (dir.path / "pictured.zyv").string() + "' '" +
                    out.string() + "' 2> '" + err.string() + "'"),
              0);
    const Ppm ppm = ParsePpm(FileBytesOf(out));
    ASSERT_EQ(ppm.width, 61);
    ASSERT_EQ(ppm.height, 37);
    const std::vector<uint8_t> expected = ExpectedImageRender(source[0], 61, 37);
    std::vector<uint8_t> expectedRgb;
    for (size_t i = 0; i < expected.size(); i += 4) expectedRgb.insert(expectedRgb.end(), {expected[i + 2], expected[i + 1], expected[i]});
    EXPECT_EQ(DifferingBytes(ppm.rgb, expectedRgb), 0u);
    EXPECT_TRUE(FileBytesOf(err).empty());

    // Without its picture the texture renders at its stored size, and
    // stderr says which picture is missing.
    fs::remove(tga);
    ASSERT_EQ(Shell(std::string(MORVANE_TEXTURETOOL) + " render '" + (dir.path / "pictured.zyv").string() + "' '" +
                    out.string() + "' 2> '" + err.string() + "'"),
              0);
    EXPECT_EQ(ParsePpm(FileBytesOf(out)).width, 5);
    const std::vector<uint8_t> said = FileBytesOf(err);
    EXPECT_EQ(std::string(said.begin(), said.end()),
              "Unable to open the picture \"" + tga.string() + "\".\nThe file was not found.\n");
}

namespace {

// The 256 colours of an FLI movie's first colour chunk or of an AVI
// movie's frame format.
MoviePalette PaletteOf(const std::vector<uint8_t>& file, bool fli)
{
    MoviePalette p;
    // FLI: header 128, frame header 16, chunk header 6, packet count 2,
    // skip and count 2.  AVI: the 40-byte bitmap header after 'strf' and its size.
    const size_t at = fli ? 128 + 16 + 6 + 4 : static_cast<size_t>(std::search(file.begin(), file.end(), std::begin("strf"),
                                                                                 std::end("strf") - 1) - file.begin()) + 8 + 40;
    for (int i = 0; i < 256; ++i) {
        if (fli) {
            p.colours[i] = {file[at + 3 * i], file[at + 3 * i + 1], file[at + 3 * i + 2]};
        } else {
            p.colours[i] = {file[at + 4 * i + 2], file[at + 4 * i + 1], file[at + 4 * i]};
        }
    }
    return p;
}

}  // namespace

TEST(TextureToolMovies, FliAndAviExportsStartWithTheRenderInTheirPalette)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    const std::string in = dir / "t.zyv";
    ASSERT_EQ(WriteTextureFile(in, AnimatedThreeLayers(96, 64, 0.4f)).error, "");
    const std::string tool = MORVANE_TEXTURETOOL;
    ASSERT_EQ(Shell(tool + " render " + in + " " + (dir / "r.ppm") + " --time 0"), 0);
    const Ppm render = ParsePpm(FileBytesOf(dir / "r.ppm"));
    ASSERT_TRUE(render.ok());
    Picture frame = BlankPicture(96, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) std::memcpy(frame.Row(63 - y) + 4 * x, &render.rgb[(y * 96 + x) * 3], 3);
    }

    for (const std::string movie : {"e.fli", "full.avi", "rle.avi"}) {
        SCOPED_TRACE(movie);
        const std::string out = dir / movie;
        const std::string options = movie == "full.avi" ? " --avi full" : movie == "rle.avi" ? " --avi rle" : "";
        ASSERT_EQ(Shell(tool + " export " + in + " " + out + options), 0);
        EXPECT_EQ(Output("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1:nk=1 " + out),
                  "10\n");
        const MoviePalette palette = PaletteOf(FileBytesOf(out), movie == "e.fli");
        PaletteIndexer indexer(palette);
        std::vector<uint8_t> expected;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 96; ++x) {
                const uint8_t* rgb = &render.rgb[(y * 96 + x) * 3];
                const auto& c = palette.colours[indexer.Nearest(rgb[0], rgb[1], rgb[2])];
                expected.insert(expected.end(), c.begin(), c.end());
            }
        }
        const auto frames = FfmpegFrames(out, 96, 64);
        ASSERT_EQ(frames.size(), 10u);
        EXPECT_EQ(DifferingBytes(frames[0], expected), 0u);
    }

    // A texture shorter than one frame: the message, and no file.
    ASSERT_EQ(WriteTextureFile(dir / "short.zyv", AnimatedThreeLayers(16, 16, 0.01f)).error, "");
    const std::string out = dir / "short.fli";
    EXPECT_EQ(Shell(tool + " export " + (dir / "short.zyv") + " " + out + " 2> " + (dir / "err.txt")), 1);
    const std::vector<uint8_t> said = FileBytesOf(dir / "err.txt");
    EXPECT_EQ(std::string(said.begin(), said.end()),
              "Unable to save \"" + out + "\".\nThe animation is shorter than one frame (0.04 s).\n");
    EXPECT_FALSE(fs::exists(out));
}

TEST(TextureToolMovies, RenderShowsAMovieLayerAtTheTimeGiven)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    const fs::path fli = dir.path / "moving.fli";
    ASSERT_TRUE(ScriptMovie("fli", fli, 100, 37, 10));
    const fs::path avi = dir.path / "ten.avi";
    ASSERT_TRUE(FfmpegPattern(avi, "100x38", 10, "-vf format=rgb24,crop=100:37:0:0 -c:v rawvideo -pix_fmt bgr24"));
    struct Case {
        fs::path movie;
        const char* time;
        int frame;
    };
    // 0.2 s is frame 5; 0.44 s is frame 11, the second frame of the movie again.
    for (const Case& c : {Case{fli, "0.2", 5}, Case{avi, "0.44", 1}}) {
        SCOPED_TRACE(c.movie.filename().string());
        const auto frames = FfmpegFrames(c.movie, 100, 37);
        ASSERT_EQ(frames.size(), 10u);
        Texture texture = ImageTexture(LayerWithPicture(c.movie.string()));
        texture.layers[0].layer.SetPicturePath(c.movie.string());
        ASSERT_EQ(WriteTextureFile(dir.path / "movie.zyv", texture).error, "");
        const fs::path out = dir.path / "out.ppm";
        ASSERT_EQ(Shell(std::string(MORVANE_TEXTURETOOL) + " render '" + (dir.path / "movie.zyv").string() + "' '" +
                        out.string() + "' --time " + c.time),
                  0);
        const Ppm ppm = ParsePpm(FileBytesOf(out));
        ASSERT_EQ(ppm.width, 100);
        ASSERT_EQ(ppm.height, 37);
        const std::vector<uint8_t> expected = ExpectedImageRender(frames[c.frame], 100, 37);
        std::vector<uint8_t> expectedRgb;
        for (size_t i = 0; i < expected.size(); i += 4) expectedRgb.insert(expectedRgb.end(), {expected[i + 2], expected[i + 1], expected[i]});
        EXPECT_EQ(DifferingBytes(ppm.rgb, expectedRgb), 0u);
    }
}

TEST(TextureToolMovies, AnExportedMpegPlaysAsALayerSourceFrameForFrame)
{
    TempDir dir;
    const Texture texture = AnimatedThreeLayers(96, 64, 0.4f);
    ASSERT_EQ(WriteTextureFile(dir / "t.zyv", texture).error, "");
    ASSERT_EQ(Shell(std::string(MORVANE_TEXTURETOOL) + " export " + (dir / "t.zyv") + " " + (dir / "e.mpg")), 0);

    Layer layer = LayerWithPicture(dir / "e.mpg");
    ASSERT_TRUE(LoadLayerPicture(layer, 1, MovieOpener::Application, nullptr));
    EXPECT_FLOAT_EQ(Value(layer.rec.duration), 0.4f);
    for (int k = 0; k < 10; ++k) {
        ASSERT_TRUE(ShowMovieFrame(layer, k));
        Texture at = texture;
        SetAnimationTime(at, static_cast<float>(k) * 0.04f);
        PrepareForRender(at);
        const std::vector<uint8_t> frame = TopFirstRgb(layer);
        // Frame k is the texture at k x 0.04 s, not at the time of a frame beside it.
        EXPECT_GT(Psnr(frame, ViewPixels(at, 96, 64)), 26.0) << k;
        if (k > 0) {
            Texture before = texture;
            SetAnimationTime(before, static_cast<float>(k - 1) * 0.04f);
            PrepareForRender(before);
            EXPECT_GT(Psnr(frame, ViewPixels(at, 96, 64)), Psnr(frame, ViewPixels(before, 96, 64))) << k;
        }
    }
    EXPECT_FALSE(ShowMovieFrame(layer, 10)) << "ten frames, none after";
    CloseMovieSources();
}

TEST(TextureToolPictures, FortyLayersOfAHostilePictureFitInLittleMemoryAndRunningOutIsAMessage)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: under a limit of 1.5 GB the program "
                    "would not start";
#else
    TempDir dir;
    const std::string tool = MORVANE_TEXTURETOOL;
    // Run under a limit of 1.5 GB of address space; the exit status, and
    // what was said in `said`.
    std::string said;
    auto render = [&](const fs::path& texture) {
        const fs::path err = dir.path / "err.txt";
        const int rc = Shell("sh -c 'ulimit -v 1500000; exec " + tool + " render \"" + texture.string() + "\" \"" +
                             (dir.path / "out.ppm").string() + "\" --size 64x48' 2> '" + err.string() + "'");
        const std::vector<uint8_t> bytes = FileBytesOf(err);
        said.assign(bytes.begin(), bytes.end());
        return rc;
    };

    // Files of a few hundred bytes that declare about 256 MB of pixels each,
    // named by the 40 layers of a texture: one copy of the picture is held.
    Texture small = TextureNaming("", 1);
    PrepareForRender(small);
    ASSERT_EQ(SaveTextureJpeg(dir.path / "small.jpg", small).error, "");
    WriteFile(dir.path / "big.fli", BlackFli(8192, 8192));
    WriteFile(dir.path / "big.avi", EmptyFramesAvi(8192, 8192, 1));
    WriteFile(dir.path / "big.jpg", JpegDeclaringSize(FileBytesOf(dir.path / "small.jpg"), 8000, 8000));
    for (const char* name : {"big.fli", "big.avi", "big.jpg"}) {
        SCOPED_TRACE(name);
        const fs::path texture = dir.path / (std::string(name) + ".zyv");
        ASSERT_EQ(WriteTextureFile(texture, TextureNaming((dir.path / name).string(), 40)).error, "");
        EXPECT_EQ(render(texture), 0) << said;
        // (The JPEG's data ends early, and libjpeg warns of it.)
        EXPECT_EQ(said.find("Unable"), std::string::npos) << said;
        EXPECT_EQ(ParsePpm(FileBytesOf(dir.path / "out.ppm")).width, 64);
    }

    // An FLI movie is read whole: one of 2 GiB cannot be, and the render
    // ends with a message instead of an abort.
    WriteFile(dir.path / "huge.fli", BlackFli(64, 64));
    fs::resize_file(dir.path / "huge.fli", uint64_t(1) << 31);
    const fs::path huge = dir.path / "huge.zyv";
    ASSERT_EQ(WriteTextureFile(huge, TextureNaming((dir.path / "huge.fli").string(), 1)).error, "");
    fs::remove(dir.path / "out.ppm");
    EXPECT_EQ(render(huge), 1);
    EXPECT_EQ(said, "Unable to render \"" + huge.string() + "\".\nThere is not enough memory.\n");
    EXPECT_FALSE(fs::exists(dir.path / "out.ppm"));
#endif
}
