// Loading layer pictures and movie sources: the dispatch by extension,
// stored paths, the messages of files that cannot be used (the layer stays
// as it was), MPEG movies through the decoder, the command panel's
// animation set-up and the pictures of textures read from files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "codec/Decoder.h"
#include "engine/Paths.h"
#include "engine/TextureFile.h"
#include "media/LayerPicture.h"
#include "support/PeakMemory.h"
#include "support/TimeLimit.h"
#include "tests/media/MovieTestSupport.h"

using namespace morvane;
using namespace morvane::test;

namespace {

// A root folder for "C:\..." paths and a record of the messages given.
class LayerPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("MORVANE_ROOT", (dir_.path / "root").c_str(), 1);
        fs::create_directories(dir_.path / "root" / "kvo" / "pictures");
    }
    void TearDown() override
    {
        CloseMovieSources();
        unsetenv("MORVANE_ROOT");
    }

    PictureReport Report()
    {
        return [this](const std::string& text) { messages_.push_back(text); };
    }
    bool Load(Layer& layer, MovieOpener opener = MovieOpener::Application)
    {
        return LoadLayerPicture(layer, 1, opener, Report());
    }
    fs::path Root() const { return dir_.path / "root"; }

    // A 2 x 1 TGA at `file`: (1, 2, 3) then (4, 5, 6).
    static void SmallTga(const fs::path& file, int depth = 24)
    {
        std::vector<uint8_t> f(18, 0);
        f[2] = 2, f[12] = 2, f[14] = 1, f[16] = static_cast<uint8_t>(depth);
        f.insert(f.end(), {3, 2, 1, 6, 5, 4});
        WriteFile(file, f);
    }

    TempDir dir_;
    std::vector<std::string> messages_;
};

// The layer's picture, size and animation fields, to see that nothing changed.
std::tuple<int, int, std::vector<uint8_t>, float, int, size_t> State(const Layer& l)
{
    const int width = l.rec.width, height = l.rec.height, animated = l.rec.animated;
    const float duration = l.rec.duration;
    return {width, height, l.Pixels(), duration, animated, l.keys.size()};
}

}  // namespace

TEST_F(LayerPictureTest, TheExtensionDecidesAndStoredPathsMapBelowTheRoot)
{
    SmallTga(Root() / "kvo" / "pictures" / "stone2.tga");
    Layer layer = LayerWithPicture("C:\\kvo\\pictures\\stone2.tga");
    ASSERT_TRUE(Load(layer));
    EXPECT_EQ(Value(layer.rec.width), 2);
    EXPECT_EQ(Value(layer.rec.height), 1);
    EXPECT_EQ(TopFirstRgb(layer), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));

    // Nothing happens, and nothing is said, for an empty path, an extension
    // in capitals or another case, or a path without a dot.
    SmallTga(Root() / "kvo" / "pictures" / "upper.TGA");
    for (const char* path : {"", "C:\\kvo\\pictures\\upper.TGA", "C:\\kvo\\pictures\\stone2", "clip.Avi", "x.png"}) {
        Layer other = LayerWithPicture(path);
        const auto before = State(other);
        EXPECT_FALSE(Load(other)) << path;
        EXPECT_EQ(State(other), before) << path;
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(LayerPictureTest, AFileThatCannotBeUsedIsReportedAndTheLayerKeepsItsPicture)
{
    SmallTga(Root() / "sixteen.tga", 16);
    WriteFile(Root() / "broken.avi", {'R', 'I', 'F', 'F', 0, 0});
    WriteFile(Root() / "broken.fli", std::vector<uint8_t>(20, 0));
    WriteFile(Root() / "empty.m2v", std::vector<uint8_t>(100, 0));
    struct Case {
        const char* path;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"C:\\missing.tga", "Unable to open the picture \"C:\\missing.tga\".\nThe file was not found."},
        {"C:\\sixteen.tga", "Unable to read the picture \"C:\\sixteen.tga\".\nOnly TGA pictures of 24 or 32 bits per pixel are read; this one has 16."},
        {"C:\\missing.avi", "Unable to Open AVI File \"C:\\missing.avi\".\nThe file was not found."},
        {"C:\\broken.avi", "Unable to Open AVI File \"C:\\broken.avi\".\nThe file is not an AVI movie."},
        {"C:\\missing.fli", "Unable to open the movie \"C:\\missing.fli\".\nThe file was not found."},
        {"C:\\broken.fli", "Unable to read the movie \"C:\\broken.fli\".\nThe file is too short to be an FLI movie."},
        {"C:\\missing.mpg", "Input file C:\\missing.mpgnot found"},
        {"C:\\empty.m2v", "Unable to read the movie \"C:\\empty.m2v\".\nThe file holds no MPEG video picture."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Layer layer = LayerWithPicture(c.path);
        Picture shown = BlankPicture(3, 3);
        shown.pixels[5] = 77;
        PutPictureIntoLayer(std::make_shared<const Picture>(std::move(shown)), layer);
        const auto before = State(layer);
        messages_.clear();
        EXPECT_FALSE(Load(layer));
        EXPECT_EQ(State(layer), before);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0], c.message);

        // A layer whose material shows no picture is not reported about.
        layer.rec.material = 1;
        messages_.clear();
        EXPECT_FALSE(Load(layer));
        EXPECT_TRUE(messages_.empty());
    }
}

TEST_F(LayerPictureTest, PipesAndDevicesAreRefusedWithoutWaiting)
{
    // A named pipe would make every reader wait for a writer for ever, and
    // /dev/zero would be read for ever (behind a link named like a movie).
    for (const char* name : {"pipe.tga", "pipe.jpg", "pipe.avi", "pipe.fli", "pipe.mpg", "pipe.m2v"}) {
        ASSERT_EQ(::mkfifo((Root() / name).c_str(), 0600), 0);
    }
    for (const char* name : {"zero.tga", "zero.jpg", "zero.fli", "zero.mpg"}) fs::create_symlink("/dev/zero", Root() / name);
    const std::string pipe = "It is a named pipe, not a file.", device = "It is a device, not a file.";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\pipe.tga", "Unable to open the picture \"C:\\pipe.tga\".\n" + pipe},
        {"C:\\pipe.jpg", "Unable to read the JPEG picture \"" + (Root() / "pipe.jpg").string() + "\".\n" + pipe},
        {"C:\\pipe.avi", "Unable to Open AVI File \"C:\\pipe.avi\".\n" + pipe},
        {"C:\\pipe.fli", "Unable to read the movie \"C:\\pipe.fli\".\n" + pipe},
        {"C:\\pipe.mpg", "Unable to read the movie \"" + (Root() / "pipe.mpg").string() + "\".\n" + pipe},
        {"C:\\pipe.m2v", "Unable to read the movie \"" + (Root() / "pipe.m2v").string() + "\".\n" + pipe},
        {"C:\\zero.tga", "Unable to open the picture \"C:\\zero.tga\".\n" + device},
        {"C:\\zero.jpg", "Unable to read the JPEG picture \"" + (Root() / "zero.jpg").string() + "\".\n" + device},
        {"C:\\zero.fli", "Unable to read the movie \"C:\\zero.fli\".\n" + device},
        {"C:\\zero.mpg", "Unable to read the movie \"" + (Root() / "zero.mpg").string() + "\".\n" + device},
    };
    testing::internal::CaptureStderr();
    WithinSeconds(20, [&] {
        for (const auto& [path, message] : cases) {
            SCOPED_TRACE(path);
            Layer layer = LayerWithPicture(path);
            const auto before = State(layer);
            messages_.clear();
            EXPECT_FALSE(Load(layer));
            EXPECT_EQ(messages_, std::vector<std::string>{message});
            EXPECT_FALSE(ShowMovieFrame(layer, 1));
            EXPECT_EQ(State(layer), before);
        }
    });
    testing::internal::GetCapturedStderr();
}

TEST_F(LayerPictureTest, AHugeFileIsRefusedByItsHeaderOrItsSizeBeforeItIsRead)
{
    // Sparse files of 2 GiB, the most a picture file may hold: the header
    // of one of zeros refuses it before the rest is read.  One of 2 GiB and
    // a byte is refused by its size alone.
    auto sparse = [&](const char* name, uint64_t size, const std::vector<uint8_t>& head = {}) {
        WriteFile(Root() / name, head);
        fs::resize_file(Root() / name, size);
    };
    const uint64_t limit = uint64_t(1) << 31;
    sparse("zeros.tga", limit);
    sparse("zeros.fli", limit);
    sparse("zeros.jpg", limit);
    sparse("larger.mpg", limit + 1);
    // A true 2 x 1 TGA followed by 2 GiB of nothing: only its pixels are read.
    sparse("long.tga", limit, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 3, 2, 1, 6, 5, 4});

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\zeros.tga", "Unable to read the picture \"C:\\zeros.tga\".\nOnly TGA pictures of 24 or 32 bits per pixel are read; this one has 0."},
        {"C:\\zeros.fli", "Unable to read the movie \"C:\\zeros.fli\".\nThe picture has no pixels."},
        {"C:\\zeros.jpg", "Unable to read the JPEG picture \"" + (Root() / "zeros.jpg").string() + "\".\nNot a JPEG file: starts with 0x00 0x00."},
        {"C:\\larger.mpg", "Unable to read the movie \"" + (Root() / "larger.mpg").string() +
                                "\".\nThe file is larger than the 2048 MiB this program reads."},
    };
    testing::internal::CaptureStderr();
    WithinSeconds(20, [&] {
        for (const auto& [path, message] : cases) {
            SCOPED_TRACE(path);
            Layer layer = LayerWithPicture(path);
            const uint64_t extra = PeakExtraBytes([&] { (void)Load(layer); });
            EXPECT_LT(extra, uint64_t(64) << 20);
            messages_.clear();
            EXPECT_FALSE(Load(layer));
            EXPECT_EQ(messages_, std::vector<std::string>{message});
        }
        Layer layer = LayerWithPicture("C:\\long.tga");
        EXPECT_LT(PeakExtraBytes([&] { (void)Load(layer); }), uint64_t(64) << 20);
        ASSERT_TRUE(Load(layer));
        EXPECT_EQ(TopFirstRgb(layer), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    });
    testing::internal::GetCapturedStderr();
}

TEST_F(LayerPictureTest, AMovieThatCannotBeOpenedIsNotReadAgainForEveryFrame)
{
    // The movie is damaged when the first frame asks for it, and mended
    // before the next: the same run does not read it again, the next does.
    const fs::path file = Root() / "mended.fli";
    WriteFile(file, std::vector<uint8_t>(20, 0));
    Layer layer = LayerWithPicture("C:\\mended.fli");
    layer.rec.duration = 0.4f;
    EXPECT_FALSE(ShowMovieFrame(layer, 0));
    ASSERT_TRUE(ScriptMovie("fli", file, 8, 6, 10));
    EXPECT_FALSE(ShowMovieFrame(layer, 1));
    CloseMovieSources();
    EXPECT_TRUE(ShowMovieFrame(layer, 2));
    EXPECT_EQ(layer.PictureWidth(), 8);
}

TEST_F(LayerPictureTest, MpegMoviesComeThroughTheDecoderInMemory)
{
    REQUIRE_FFMPEG();
    for (const std::string name : {"clip.mpg", "clip.m2v"}) {
        SCOPED_TRACE(name);
        const fs::path file = Root() / name;
        const std::string codec = name == "clip.mpg" ? "-c:v mpeg1video -f mpeg1video" : "-c:v mpeg2video -f mpeg2video";
        ASSERT_TRUE(FfmpegPattern(file, "48x32", 7, codec + " -bf 2 -g 5"));

        // The frames as the decoder delivers them, top row first.
        std::vector<std::vector<uint8_t>> frames;
        ASSERT_EQ(mpeg_open_input(file.string()), 0);
        for (int n = 0;; ++n) {
            mpeg_decode_frame(file.string(), n);
            if (DecodedFrameBuffer.empty()) break;
            std::vector<uint8_t> rgb;
            for (size_t i = 0; i < DecodedFrameBuffer.pixels.size(); i += 4) {
                rgb.insert(rgb.end(), &DecodedFrameBuffer.pixels[i], &DecodedFrameBuffer.pixels[i] + 3);
            }
            frames.push_back(std::move(rgb));
        }
        mpeg_close_input();
        ASSERT_EQ(frames.size(), 7u);

        Layer layer = LayerWithPicture("C:\\" + name);
        ASSERT_TRUE(Load(layer));
        EXPECT_FLOAT_EQ(Value(layer.rec.duration), 0.28f);
        EXPECT_EQ(TopFirstRgb(layer), frames[0]);
        EXPECT_FALSE(fs::exists(WorkingFolder() / "mpeg0000.tga")) << "the first frame is decoded in memory";

        // Frame by frame, in order and out of order; past the end the
        // picture stays.
        for (int n : {1, 2, 3, 3, 6, 4, 0}) {
            ASSERT_TRUE(ShowMovieFrame(layer, n));
            EXPECT_EQ(TopFirstRgb(layer), frames[n]) << n;
        }
        EXPECT_FALSE(ShowMovieFrame(layer, 7));
        EXPECT_EQ(TopFirstRgb(layer), frames[0]);
        ASSERT_TRUE(ShowMovieFrame(layer, 5));
        ExpectRendersAs(layer, frames[5]);

        // The decoder's colour conversion differs from ffmpeg's by rounding
        // and filtering, but of ffmpeg's frames the nearest is the same one,
        // upright.
        const auto theirs = FfmpegFrames(file, 48, 32);
        ASSERT_EQ(theirs.size(), 7u);
        auto distance = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
            long total = 0;
            for (size_t i = 0; i < a.size(); ++i) total += std::abs(a[i] - b[i]);
            return total;
        };
        const std::vector<uint8_t> ours = TopFirstRgb(layer);
        std::vector<uint8_t> upsideDown;
        for (int y = 31; y >= 0; --y) upsideDown.insert(upsideDown.end(), &ours[y * 48 * 3], &ours[(y + 1) * 48 * 3]);
        for (int k = 0; k < 7; ++k) {
            if (k != 5) {
                EXPECT_LT(distance(ours, theirs[5]), distance(ours, theirs[k])) << k;
            }
        }
        EXPECT_LT(distance(ours, theirs[5]), distance(upsideDown, theirs[5]));
        CloseMovieSources();
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(LayerPictureTest, TheCommandPanelMakesAMovieLayerAnAnimationOfTwoKeys)
{
    REQUIRE_FFMPEG();
    const fs::path file = Root() / "ten.avi";
    ASSERT_TRUE(FfmpegPattern(file, "16x16", 10, "-c:v rawvideo -pix_fmt bgr24"));
    Layer layer = LayerWithPicture("C:\\ten.avi");
    layer.rec.turbulence = 0.75f;
    ASSERT_TRUE(Load(layer, MovieOpener::CommandPanel));
    EXPECT_FLOAT_EQ(Value(layer.rec.duration), 0.4f);
    EXPECT_EQ(Value(layer.rec.animated), 1);
    EXPECT_EQ(Value(layer.rec.keyCount), 2);
    ASSERT_EQ(layer.keys.size(), 2u);
    EXPECT_EQ(Value(layer.keys[0].rec.time), 0.0f);
    EXPECT_EQ(Value(layer.keys[1].rec.time), 1.0f);
    EXPECT_EQ(Value(layer.keys[1].rec.turbulence), 0.75f);

    // The application's loader leaves an AVI layer's duration and keys alone.
    Layer read = LayerWithPicture("C:\\ten.avi");
    read.rec.duration = 3.0f;
    ASSERT_TRUE(Load(read));
    EXPECT_EQ(Value(read.rec.duration), 3.0f);
    EXPECT_EQ(Value(read.rec.animated), 0);

    // A movie that is not there is reported, and the set-up still happens
    // with the duration the layer has.
    Layer missing = LayerWithPicture("C:\\gone.fli");
    missing.rec.duration = 2.0f;
    EXPECT_FALSE(Load(missing, MovieOpener::CommandPanel));
    EXPECT_EQ(messages_.size(), 1u);
    EXPECT_EQ(Value(missing.rec.animated), 1);
    EXPECT_EQ(Value(missing.rec.duration), 2.0f);
}

TEST_F(LayerPictureTest, TextureFilesLoadTheirPicturesThroughLoadLayerPictures)
{
    SmallTga(Root() / "kvo" / "pictures" / "stone2.tga");
    Texture texture = PresetTexture(MaterialPresetTable(), 24);
    texture.layers[0].layer.SetPicturePath("C:\\kvo\\pictures\\stone2.tga");
    texture.layers.push_back(texture.layers[0]);
    texture.layers[1].layer.SetPicturePath("C:\\kvo\\pictures\\gone.tga");
    const fs::path file = dir_.path / "pictured.zyv";
    ASSERT_EQ(WriteTextureFile(file, texture).error, "");

    // Reading the file loads no picture; LoadLayerPictures loads them all.
    Result<Texture> read = ReadTextureFile(file);
    ASSERT_TRUE(read.ok());
    for (const LayerSlot& slot : read.value->layers) EXPECT_FALSE(slot.layer.picture);
    LoadLayerPictures(*read.value, Report());

    const Layer& first = read.value->layers[0].layer;
    EXPECT_EQ(TopFirstRgb(first), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("gone.tga"), std::string::npos);
}

TEST_F(LayerPictureTest, JpegPicturesReadAsImageMagickReadsThem)
{
    REQUIRE_FFMPEG();
    REQUIRE_IMAGEMAGICK();
    // ffmpeg writes the colour picture; it writes no one-component JPEG, so
    // ImageMagick writes the greyscale one.
    const fs::path png = dir_.path / "source.png";
    ASSERT_TRUE(FfmpegPattern(png, "62x38", 1, "-vf format=rgb24,crop=61:37:0:0"));
    for (const std::string name : {"colour.jpg", "grey.jpg"}) {
        SCOPED_TRACE(name);
        const fs::path file = Root() / "kvo" / "pictures" / name;
        if (name == "colour.jpg") {
            ASSERT_TRUE(RunCommand("ffmpeg -v error -y -i '" + png.string() + "' '" + file.string() + "'"));
        } else {
            ASSERT_TRUE(RunCommand("convert '" + png.string() + "' -type Grayscale '" + file.string() + "'"));
        }
        const fs::path rgb = dir_.path / (name + ".rgb");
        ASSERT_TRUE(RunCommand("convert '" + file.string() + "' -depth 8 'rgb:" + rgb.string() + "'"));
        const std::vector<uint8_t> expected = FileBytesOf(rgb);

        Layer layer = LayerWithPicture("C:\\kvo\\pictures\\" + name);
        ASSERT_TRUE(Load(layer));
        ASSERT_EQ(Value(layer.rec.width), 61);
        ASSERT_EQ(Value(layer.rec.height), 37);
        EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), expected), 0u);
        ExpectRendersAs(layer, expected);
    }

    // A file that is not a JPEG picture: the glue's message, the layer as it was.
    WriteFile(Root() / "kvo" / "pictures" / "text.jpg", {'t', 'e', 'x', 't'});
    Layer layer = LayerWithPicture("C:\\kvo\\pictures\\text.jpg");
    const auto before = State(layer);
    EXPECT_FALSE(Load(layer));
    EXPECT_EQ(State(layer), before);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].rfind("Unable to read the JPEG picture", 0), 0u) << messages_[0];
}
