// The pictures of layers in memory: a file named by many layers is held
// once (and read again once it changes on disk), all pictures stay under
// one budget beyond which a picture is refused with a message naming its
// layer, and a small file that declares a large picture costs one picture
// however many layers name it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/Render.h"
#include "media/JpegGlue.h"
#include "media/LayerPicture.h"
#include "media/PictureStore.h"
#include "support/HostileFiles.h"
#include "support/PeakMemory.h"
#include "support/PictureStoreTestAccess.h"
#include "tests/media/MovieTestSupport.h"

using namespace morvane;
using namespace morvane::test;

namespace {

class SharedPictures : public ::testing::Test {
protected:
    void SetUp() override { setenv("MORVANE_ROOT", (dir_.path / "root").c_str(), 1); }
    void TearDown() override
    {
        CloseMovieSources();
        unsetenv("MORVANE_ROOT");
    }

    PictureReport Report()
    {
        return [this](const std::string& text) { messages_.push_back(text); };
    }
    fs::path Put(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        WriteFile(dir_.path / name, bytes);
        return dir_.path / name;
    }
    // A `width` x 1 TGA of the pixels (r, g, b), (r + 1, g + 1, b + 1), ...
    fs::path Tga(const std::string& name, uint8_t r, uint8_t g, uint8_t b, int width = 2)
    {
        std::vector<uint8_t> f(18, 0);
        f[2] = 2, f[12] = static_cast<uint8_t>(width), f[14] = 1, f[16] = 24;
        for (int x = 0; x < width; ++x) f.insert(f.end(), {uint8_t(b + x), uint8_t(g + x), uint8_t(r + x)});
        return Put(name, f);
    }

    TempDir dir_;
    std::vector<std::string> messages_;
};

constexpr uint64_t kMiB = uint64_t(1) << 20;

}  // namespace

TEST_F(SharedPictures, LayersNamingOneFileHoldOneCopyUntilTheFileChanges)
{
    const uint64_t before = PictureStore::HeldBytes();
    const fs::path tga = Tga("stone.tga", 10, 20, 30);
    Texture t = TextureNaming(tga.string(), 3);
    LoadLayerPictures(t, Report());
    EXPECT_TRUE(messages_.empty());
    ASSERT_TRUE(t.layers[0].layer.picture);
    EXPECT_EQ(t.layers[1].layer.picture, t.layers[0].layer.picture);
    EXPECT_EQ(t.layers[2].layer.picture, t.layers[0].layer.picture);
    EXPECT_EQ(PictureStore::HeldBytes(), before + 8);
    EXPECT_EQ(Value(t.layers[2].layer.rec.width), 2) << "a shared picture sets the image size as a read one does";

    // Written again on disk: the next layer reads the new picture, the
    // layers before keep theirs.
    Tga("stone.tga", 40, 50, 60, 3);
    Layer fresh = LayerWithPicture(tga.string());
    ASSERT_TRUE(LoadLayerPicture(fresh, 4, MovieOpener::Application, Report()));
    EXPECT_EQ(TopFirstRgb(fresh), (std::vector<uint8_t>{40, 50, 60, 41, 51, 61, 42, 52, 62}));
    EXPECT_EQ(TopFirstRgb(t.layers[0].layer), (std::vector<uint8_t>{10, 20, 30, 11, 21, 31}));
    EXPECT_EQ(PictureStore::HeldBytes(), before + 8 + 12);

    // A movie's first frame is shared with its length: the layer sharing it
    // gets the duration, as one that reads the file does.
    const fs::path fli = Put("black.fli", BlackFli(16, 8));
    Texture movies = TextureNaming(fli.string(), 2);
    movies.layers[1].layer.rec.duration = 9.0f;
    LoadLayerPictures(movies, Report());
    EXPECT_EQ(movies.layers[1].layer.picture, movies.layers[0].layer.picture);
    EXPECT_FLOAT_EQ(Value(movies.layers[1].layer.rec.duration), 0.04f);

    // Pictures nobody shows any more no longer count.
    t = Texture{};
    fresh = Layer{};
    movies = Texture{};
    EXPECT_EQ(PictureStore::HeldBytes(), before);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SharedPictures, APictureBeyondTheBudgetIsRefusedWithAMessageNamingItsLayer)
{
    // Pictures of half a mebibyte each, with a budget of one: two fit.
    const PictureBudget budget(PictureStore::HeldBytes() + kMiB);
    Texture t;
    for (const char* name : {"a.fli", "b.fli", "c.fli"}) {
        const fs::path file = Put(name, BlackFli(512, 256));
        Texture one = TextureNaming(file.string(), 1);
        t.layers.push_back(one.layers[0]);
    }
    LoadLayerPictures(t, Report());
    EXPECT_TRUE(t.layers[0].layer.picture);
    EXPECT_TRUE(t.layers[1].layer.picture);
    EXPECT_FALSE(t.layers[2].layer.picture);
    EXPECT_EQ(Value(t.layers[2].layer.rec.width), 64) << "the refused layer stays as it was";
    EXPECT_EQ(messages_, std::vector<std::string>{"Unable to load the picture \"" + (dir_.path / "c.fli").string() +
                                                  "\" of layer 3.\nThe pictures in memory would take more than the " +
                                                  std::to_string(PictureStore::Budget() >> 20) +
                                                  " MiB this program keeps for them."});

    // A movie frame replaces the picture that only its layer shows: it
    // fits where that picture was.
    t.layers[0].layer.rec.duration = 0.04f;
    EXPECT_TRUE(ShowMovieFrame(t.layers[0].layer, 0));
    EXPECT_TRUE(t.layers[0].layer.picture);

    // Once a layer lets go of its picture, there is room again.
    t.layers[1].layer.picture.reset();
    messages_.clear();
    EXPECT_TRUE(LoadLayerPicture(t.layers[2].layer, 3, MovieOpener::Application, Report()));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SharedPictures, SmallFilesDeclaringLargePicturesCostOnePictureHoweverManyLayersNameThem)
{
    // 144 bytes of FLI, 232 bytes of AVI and a few hundred bytes of JPEG,
    // each declaring about 256 MB of pixels, named by 40 layers each: read
    // one by one, they would take 10 GB.
    Texture small = TextureNaming("", 1);
    small.layers[0].layer.rec.width = 16;
    small.layers[0].layer.rec.height = 8;
    PrepareForRender(small);
    const fs::path jpeg = dir_.path / "small.jpg";
    ASSERT_EQ(SaveTextureJpeg(jpeg, small).error, "");
    const std::vector<fs::path> files = {
        Put("big.fli", BlackFli(8192, 8192)),
        Put("big.avi", EmptyFramesAvi(8192, 8192, 1)),
        Put("big.jpg", JpegDeclaringSize(FileBytesOf(jpeg), 8000, 8000)),
    };
    EXPECT_EQ(fs::file_size(files[0]), 144u);
    EXPECT_EQ(fs::file_size(files[1]), 232u);
    EXPECT_LT(fs::file_size(files[2]), 1024u);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        testing::internal::CaptureStderr();  // the JPEG's data ends early
        const uint64_t peak = PeakExtraBytes([&] {
            Texture t = TextureNaming(file.string(), 40);
            LoadLayerPictures(t, nullptr);
        });
        testing::internal::GetCapturedStderr();
        EXPECT_GT(peak, 200 * kMiB) << "the picture itself is held";
        EXPECT_LT(peak, 600 * kMiB);
    }
}
