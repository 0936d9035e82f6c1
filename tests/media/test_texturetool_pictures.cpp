// texturetool renders textures with picture layers: the picture as the
// "Image" material samples it, and a picture that is missing told on
// stderr while the texture still renders.
#include <gtest/gtest.h>

#include "engine/TextureFile.h"
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
    ASSERT_EQ(WriteTextureFile(dir.path / "pictured.zyv", texture), "");

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
