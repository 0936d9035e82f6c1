// A texture whose first layer plays a movie: Play shows the movie's frames
// one by one in the layer, and the key-frame panel keeps the movie's
// duration (its edit read-only) while that layer is shown.
#include <QLineEdit>
#include <QTest>

#include <filesystem>

#include "ShellFixture.h"
#include "media/MovieSource.h"
#include "panels/TextureButton.h"
#include "panels/KeyFrameDlg.h"
#include "platform/EditingSession.h"
#include "support/SampleTextures.h"

using namespace morvane;
using namespace morvane::test;
namespace fs = std::filesystem;

namespace {

class MovieLayers : public ShellTest {
protected:
    // A 25-frame FLI of 40 x 24 made by the movie-file script, and a
    // texture of an "Image" layer playing it (animated by two keys, as
    // choosing a movie makes it) over a second, plain layer.
    QString MovieTexture()
    {
        const fs::path movie = (m_dir.path() + "/moving.fli").toStdString();
        const std::string script = std::string(MORVANE_TEST_DATA_DIR) + "/../scripts/movie_files.py";
        EXPECT_EQ(std::system(("python3 '" + script + "' fli '" + movie.string() + "' 40 24 25").c_str()), 0);
        Texture t = PresetTexture(MaterialPresetTable(), 24);
        Layer& l = t.layers[0].layer;
        l.rec.scaleX = l.rec.scaleY = 1.0f;
        l.rec.offsetX = l.rec.offsetY = 0.0f;
        l.rec.reliefIntensity = 0.0f;
        l.SetPicturePath(movie.string());
        l.rec.animated = 1;
        l.rec.keyCount = 2;
        l.keys.assign(2, MakeKey(l));
        l.keys[1].rec.time = 1.0f;
        t.layers.push_back(PresetTexture(MaterialPresetTable(), 1).layers[0]);
        const QString path = Path("movie.zyv");
        EXPECT_EQ(WriteTextureFile(path.toStdString(), t).error, "");
        return path;
    }
    CKeyFrameDlg* Panel() const { return Frame()->m_pKeyFramePanel; }
};

}  // namespace

TEST_F(MovieLayers, PlayShowsTheMovieFrameByFrame)
{
    Start({MovieTexture()});
    ASSERT_TRUE(Doc());
    Frame()->ShowTextureInPanels();
    DrainEvents();
    Layer& layer = Doc()->m_texture.layers[0].layer;
    EXPECT_FLOAT_EQ(Value(layer.rec.duration), 1.0f) << "25 frames of 0.04 s";
    EXPECT_TRUE(Panel()->durationEdit->isReadOnly());

    // The pictures of the movie's frames, decoded apart.
    std::vector<std::vector<uint8_t>> frames;
    Layer copy = layer;
    for (int k = 0; k < 25; ++k) {
        ASSERT_TRUE(ShowMovieFrame(copy, k));
        frames.push_back(copy.Pixels());
    }
    CloseMovieSources();
    EXPECT_NE(frames[3], frames[4]);

    std::vector<std::vector<uint8_t>> shown;
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, [&](int) { shown.push_back(layer.Pixels()); });
    QTest::mouseClick(Panel()->play, Qt::LeftButton);
    DrainEvents();
    ASSERT_EQ(shown.size(), 26u);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(shown[i], frames[i]) << "frame " << i;
    EXPECT_EQ(shown[25], frames[24]) << "the last frame shows the movie's frame before it again";
    EXPECT_TRUE(Panel()->durationEdit->isReadOnly()) << "still the movie's duration after Play";

    // Another layer's duration can be edited; back on the movie layer it cannot.
    Session().ShowLayer(2);
    EXPECT_FALSE(Panel()->durationEdit->isReadOnly());
    Session().ShowLayer(1);
    EXPECT_TRUE(Panel()->durationEdit->isReadOnly());
}
