// Opening a texture whose picture layer names a picture file: the view
// shows the picture, and a picture that is missing is told in a message box
// while the texture still opens.
#include <gtest/gtest.h>

#include <fstream>

#include "shell/ShellFixture.h"
#include "support/SampleTextures.h"

using namespace morvane;
using namespace morvane::test;

namespace {

class LayerPictures : public ShellTest {
protected:
    // A texture of one "Image" layer of `w` x `h` naming `picture`.
    QString WriteImageTexture(const std::string& picture, int w, int h)
    {
        Texture t = PresetTexture(MaterialPresetTable(), 24);
        Layer& l = t.layers[0].layer;
        l.rec.width = static_cast<int16_t>(w);
        l.rec.height = static_cast<int16_t>(h);
        l.rec.scaleX = l.rec.scaleY = 1.0f;
        l.rec.offsetX = l.rec.offsetY = 0.0f;
        l.rec.reliefIntensity = 0.0f;
        l.SetPicturePath(picture);
        const QString path = Path("pictured.zyv");
        EXPECT_EQ(WriteTextureFile(path.toStdString(), t).error, "");
        return path;
    }
};

}  // namespace

TEST_F(LayerPictures, TheViewShowsThePictureOfAnOpenedTexture)
{
    // A 4 x 2 bottom-left TGA: bottom row red, top row blue.
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2, tga[12] = 4, tga[14] = 2, tga[16] = 24;
    for (int i = 0; i < 4; ++i) tga.insert(tga.end(), {0, 0, 255});
    for (int i = 0; i < 4; ++i) tga.insert(tga.end(), {255, 0, 0});
    std::filesystem::create_directories(Path("root/kvo/pictures").toStdString());
    std::ofstream(Path("root/kvo/pictures/flag.tga").toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(tga.data()), static_cast<std::streamsize>(tga.size()));

    Start({WriteImageTexture("C:\\kvo\\pictures\\flag.tga", 80, 60)});
    ASSERT_TRUE(Doc());
    EXPECT_TRUE(Ui().messages.empty());
    const Layer& layer = Doc()->m_texture.layers[0].layer;
    EXPECT_EQ(Value(layer.rec.width), 4);
    EXPECT_EQ(Value(layer.rec.height), 2);
    EXPECT_EQ(Doc()->m_sizeImage, QSize(4, 2));
    const uint8_t blue[3] = {255, 0, 0}, red[3] = {0, 0, 255};
    ExpectPixel(View()->Surface(), 1, 0, blue);
    ExpectPixel(View()->Surface(), 2, 1, red);
}

TEST_F(LayerPictures, AMissingPictureIsToldAndTheTextureStillOpens)
{
    Start({WriteImageTexture("C:\\kvo\\pictures\\gone.tga", 80, 60)});
    ASSERT_TRUE(Doc());
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "Unable to open the picture \"C:\\kvo\\pictures\\gone.tga\".\nThe file was not found.");
    EXPECT_EQ(Ui().messages[0].style, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(Doc()->m_sizeImage, QSize(80, 60));
}
