// The command panel edits the current layer through real events on its
// controls, and the view and thumbnails follow.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "ShellFixture.h"
#include "engine/FloatInt.h"
#include "engine/SafeFile.h"
#include "panels/CommandBar.h"
#include "panels/KeyFrameDlg.h"
#include "platform/Background.h"
#include "platform/Dialog.h"
#include "platform/DialogUnits.h"
#include "platform/EditingSession.h"
#include "platform/FileName.h"
#include "support/ManualClock.h"
#include "support/UserInput.h"

using namespace morvane;
using namespace morvane::test;

namespace {

class CommandPanel : public ShellTest {
protected:
    void Start()
    {
        ShellTest::Start();
        ASSERT_NE(Panel(), nullptr);
    }
    CCommandBar* Panel() const { return Frame()->m_pCommandPanel; }
    CKvoSlider* Slider(int id) const { return Panel()->sliders[static_cast<size_t>(id)]; }

    // The active document gets `texture`, shown in the panels from layer 1.
    void Show(Texture texture)
    {
        UseTexture(std::move(texture));
        Frame()->ShowTextureInPanels();
        DrainEvents();
    }
    // Opens the list with a click, moves to item `index` with the arrow
    // keys and takes it with Enter.
    void Choose(QComboBox* list, int index)
    {
        QTest::mouseClick(list, Qt::LeftButton);
        DrainEvents();
        QAbstractItemView* items = list->view();
        ASSERT_TRUE(items->isVisible());
        const int steps = index - items->currentIndex().row();
        for (int i = 0; i < std::abs(steps); ++i) QTest::keyClick(items, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
        QTest::keyClick(items, Qt::Key_Return);
        DrainEvents();
        ASSERT_FALSE(items->isVisible());
    }
    bool ViewShows(int displayMode, int current)
    {
        View()->UpdateWindow();
        const QSize s = Doc()->m_sizeImage;
        return SurfaceEquals(View()->Surface(), RenderImage(Doc()->m_texture, s.width(), s.height(), displayMode, current, true),
                             s.width(), s.height());
    }
};

Texture AnimatedMarble()
{
    Texture t = NewTexture(MaterialPresetTable());
    Layer& layer = t.layers[0].layer;
    layer.rec.animated = 1;
    layer.rec.keyCount = 2;
    layer.rec.duration = 4.0f;
    layer.keys = {MakeKey(layer), MakeKey(layer)};
    layer.keys[1].rec.time = 1.0f;
    return t;
}

// The same with a second key whose turbulence differs from the first's.
Texture AnimatedMarbleWhoseKeysDiffer()
{
    Texture t = AnimatedMarble();
    t.layers[0].layer.keys[1].rec.turbulence = 0.9f;
    return t;
}

}  // namespace

TEST_F(CommandPanel, ChoosingAMaterialRendersTheChangedTexture)
{
    Start();
    Choose(Panel()->materialCombo, 2);  // "Wood"
    const Layer& layer = Doc()->m_texture.layers[0].layer;
    const Layer& wood = MaterialPresetTable()[2];
    EXPECT_EQ(+layer.rec.material, 2);
    EXPECT_EQ(+layer.rec.turbulence, +wood.rec.turbulence);
    EXPECT_EQ(+layer.rec.foldX, +wood.rec.foldX);
    ASSERT_TRUE(layer.gradient && wood.gradient);
    EXPECT_EQ(+layer.gradient->entries[5].startR, +wood.gradient->entries[5].startR);
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_TRUE(ViewShows(0, 0));
    EXPECT_EQ(Slider(1)->value, SatTrunc(static_cast<double>(wood.rec.turbulence) * 100));
    // The thumbnail shows the new material.
    std::vector<uint8_t> expected(static_cast<size_t>(Panel()->thumbnails[0]->Picture().sizeInBytes()));
    const QImage& thumb = Panel()->thumbnails[0]->Picture();
    Layer copy = layer;
    PrepareLayerForRender(copy);
    RenderLayerPreview(copy, thumb.width(), thumb.height(), expected.data() + (thumb.height() - 1) * thumb.bytesPerLine(),
                       -thumb.bytesPerLine());
    const uint8_t* px = expected.data() + 4 * 3;
    EXPECT_EQ(thumb.pixel(3, 0), qRgb(px[2], px[1], px[0]));
}

TEST_F(CommandPanel, AnAnimatedLayerRefusesMaterialAndReliefButNotBlend)
{
    Start();
    Show(AnimatedMarble());
    const std::vector<uint8_t> before = EncodeTextureFile(Doc()->m_texture);
    Choose(Panel()->materialCombo, 3);
    Choose(Panel()->reliefCombo, 4);
    ASSERT_EQ(Ui().messages.size(), 2u);
    EXPECT_EQ(Ui().messages[0].text, "Cannot Change The Texture Material For an Animation");
    EXPECT_EQ(Ui().messages[1].text, "Cannot Change The Texture Relief For an Animation");
    EXPECT_EQ(Ui().messages[0].style, unsigned(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(EncodeTextureFile(Doc()->m_texture), before);
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_EQ(Panel()->materialCombo->currentIndex(), 1);
    EXPECT_EQ(Panel()->reliefCombo->currentIndex(), 0);

    Choose(Panel()->GetDlgItem<QComboBox>(566), 3);
    EXPECT_EQ(Doc()->m_texture.layers[0].blendMode, 3);
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_TRUE(ViewShows(0, 0));
}

TEST_F(CommandPanel, AReliefStartsFromItsOwnParameters)
{
    Start();
    Doc()->m_texture.layers[0].layer.rec.reliefIntensity = 17.0f;
    Doc()->m_texture.layers[0].reliefOrientation = 0.25f;
    Choose(Panel()->reliefCombo, 8);  // "Crater"
    const LayerRecord& r = Doc()->m_texture.layers[0].layer.rec;
    EXPECT_EQ(+r.relief, 8);
    EXPECT_EQ(+r.reliefIntensity, 5.0f);
    EXPECT_EQ(+r.reliefDetail, 10);
    const std::pair<int, int> shown[] = {{6, 50}, {7, 100}, {8, 100}, {9, 100}, {10, 0}, {13, 10}, {15, 90}, {16, 50}, {17, 50}};
    for (auto [id, value] : shown) EXPECT_EQ(Slider(id)->value, value) << id;
    EXPECT_TRUE(ViewShows(0, 0));
}

TEST_F(CommandPanel, AnImageWithoutAPictureBecomesMarble)
{
    Start();
    Choose(Panel()->materialCombo, 24);  // "Image"; the Open dialog is cancelled
    ASSERT_EQ(Ui().fileRequests.size(), 1u);
    const FileDialogRequest& r = Ui().fileRequests[0];
    EXPECT_EQ(r.title, "Open an Image File");
    EXPECT_EQ(r.defaultExt, "tga");
    EXPECT_EQ(r.initialDir, "\\kvo");
    EXPECT_TRUE(r.filter.startsWith("Truevision Targa Files *.tga | *.tga|MPEG-1"));
    const Layer& layer = Doc()->m_texture.layers[0].layer;
    const Layer& image = MaterialPresetTable()[24];
    const Layer& marble = MaterialPresetTable()[1];
    EXPECT_EQ(+layer.rec.material, 1);
    EXPECT_EQ(+layer.rec.turbulence, +image.rec.turbulence);
    EXPECT_EQ(+layer.rec.detail, +image.rec.detail);
    EXPECT_EQ(+layer.gradient->entries[20].startG, +marble.gradient->entries[20].startG);
    EXPECT_EQ(Panel()->materialCombo->currentIndex(), 1);  // the list says what the layer is

    // A chosen picture that cannot be read says so; the layer keeps it.
    Ui().files = {{Path("missing.tga")}};
    Choose(Panel()->materialCombo, 25);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.contains("missing.tga"));
    EXPECT_EQ(+layer.rec.material, 25);
    EXPECT_EQ(QString::fromStdString(layer.PicturePath()), Path("missing.tga"));

    // A picture that reads gives the document its size.
    QByteArray tga(18, '\0');
    tga[2] = 2, tga[12] = 64, tga[14] = 48, tga[16] = 24;
    tga.append(QByteArray(64 * 48 * 3, char(200)));
    QFile some(Path("some.tga"));
    ASSERT_TRUE(some.open(QIODevice::WriteOnly));
    some.write(tga);
    some.close();
    Ui().files = {{Path("some.tga")}};
    Choose(Panel()->materialCombo, 24);
    EXPECT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Doc()->m_sizeImage, QSize(64, 48));
    EXPECT_EQ(+layer.rec.formatIndex, 12);
    EXPECT_EQ(View()->ClientSize(), QSize(64, 48));
    EXPECT_EQ(Frame()->ActiveChildFrame()->pos(), QPoint(0, 0));
}

TEST_F(CommandPanel, PictureAndLayerFilesWhoseNamesAreNotUtf8KeepTheirBytes)
{
    Start();
    // Latin-1 names, whose byte 0xE9 is not UTF-8, as the file dialog
    // gives them.
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray picture = folder + "/caf\xe9.tga";
    const QByteArray saved = folder + "/lay\xe9.kvo";

    // A name too long for the layer is refused; the message shows the byte
    // as a character that stands for it.
    const QByteArray tooLong = folder + "/" + QByteArray(250, 'x') + "\xe9.tga";
    Ui().files = {{DecodeFileName(tooLong)}};
    Choose(Panel()->materialCombo, 24);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text,
              "The path of \"" + QFile::decodeName(tooLong) + "\" is too long to be kept in the layer.");
    Ui().messages.clear();

    // A 4 x 2 picture: bottom row red, top row blue.
    std::string tga(18, '\0');
    tga[2] = 2, tga[12] = 4, tga[14] = 2, tga[16] = 24;
    for (int i = 0; i < 4; ++i) tga += std::string("\0\0\xff", 3);
    for (int i = 0; i < 4; ++i) tga += std::string("\xff\0\0", 3);
    std::ofstream(picture.toStdString(), std::ios::binary) << tga;
    Ui().files = {{DecodeFileName(picture)}};
    Choose(Panel()->materialCombo, 24);  // "Image"
    EXPECT_TRUE(Ui().messages.empty());
    {
        const Layer& layer = Doc()->m_texture.layers[0].layer;
        EXPECT_EQ(QByteArray::fromStdString(layer.PicturePath()), picture);
        EXPECT_EQ(layer.Pixels().size(), 4u * 2u * 4u);
        EXPECT_EQ(Doc()->m_sizeImage, QSize(4, 2));
    }

    // Save Layer writes the file of that very name, and no other.
    const QByteArray layerFile = AsBytes(EncodeLayerFile(Doc()->m_texture.layers[0].layer));
    Ui().files = {{DecodeFileName(saved)}};
    QTest::mouseClick(Panel()->saveLayerButton, Qt::LeftButton);
    EXPECT_TRUE(Ui().messages.empty());
    const Result<std::vector<uint8_t>> written = ReadFileBytes(saved.toStdString());
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(AsBytes(*written.value), layerFile);
    EXPECT_FALSE(std::filesystem::exists((folder + "/lay\xef\xbf\xbd.kvo").toStdString()));

    // Load Layer reads it back as a second layer, with its picture.
    Ui().files = {{DecodeFileName(saved)}};
    QTest::mouseClick(Panel()->loadLayerButton, Qt::LeftButton);
    EXPECT_TRUE(Ui().messages.empty());
    ASSERT_EQ(Doc()->m_texture.LayerCount(), 2);
    const Layer& loaded = Doc()->m_texture.layers[1].layer;
    EXPECT_EQ(AsBytes(EncodeLayerFile(loaded)), layerFile);
    EXPECT_EQ(loaded.Pixels(), Doc()->m_texture.layers[0].layer.Pixels());
}

TEST_F(CommandPanel, DraggingASliderWritesLayerAndKeyThenRendersOnce)
{
    Start();
    Show(AnimatedMarble());
    Session().SetCurrentKey(1);
    CKvoSlider* turbulence = Slider(1);
    ASSERT_EQ(turbulence->height(), DluToPixelsY(180) - DluToPixelsY(90));
    const int h = turbulence->height();
    const auto valueAt = [h](int y) { return (h - y - 11) * 200 / (h - 22); };
    const QImage thumbBefore = Panel()->thumbnails[0]->Picture();
    const int renders = View()->RenderCount();

    QTest::mousePress(turbulence, Qt::LeftButton, {}, QPoint(15, 61));
    EXPECT_EQ(turbulence->value, valueAt(61));
    QTest::mouseMove(turbulence, QPoint(15, 86));
    QTest::mouseMove(turbulence, QPoint(15, h - 5));  // past the end of the track: ignored
    EXPECT_EQ(View()->RenderCount(), renders);       // nothing renders while dragging
    QTest::mouseRelease(turbulence, Qt::LeftButton, {}, QPoint(15, 86));
    DrainEvents();

    const Layer& layer = Doc()->m_texture.layers[0].layer;
    const float expected = static_cast<float>(valueAt(86)) * 0.01f;
    EXPECT_EQ(turbulence->value, valueAt(86));
    EXPECT_EQ(+layer.rec.turbulence, expected);
    EXPECT_EQ(+layer.keys[1].rec.turbulence, expected);
    EXPECT_NE(+layer.keys[0].rec.turbulence, expected);
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_EQ(View()->RenderCount(), renders + 1);
    EXPECT_TRUE(ViewShows(0, 0));
    EXPECT_NE(Panel()->thumbnails[0]->Picture(), thumbBefore);

    // The orientation slider writes the texture's entry, not the key.
    CKvoSlider* orientation = Slider(14);
    QTest::mouseClick(orientation, Qt::LeftButton, {}, QPoint(15, h / 2));
    EXPECT_EQ(Doc()->m_texture.layers[0].orientation, static_cast<float>(orientation->value) * (1.0f / 360.0f));
}

TEST_F(CommandPanel, ArrowsRepeatOnTheScheduleUntilReleasedAnywhere)
{
    Start();
    ManualClock clock;
    CKvoSlider* detail = Slider(0);  // range 0..20
    detail->value = 3;
    const int renders = View()->RenderCount();
    // A press on the top arrow steps at once, then after more than 200 ms,
    // then after more than 190 ms, ...
    QTest::mousePress(detail, Qt::LeftButton, {}, QPoint(15, 5));
    EXPECT_EQ(detail->value, 4);
    EXPECT_EQ(detail->upPressed, 1);
    EXPECT_EQ(+Doc()->m_texture.layers[0].layer.rec.detail, 4);
    clock.Advance(200);
    EXPECT_EQ(detail->value, 4);
    clock.Advance(1);
    EXPECT_EQ(detail->value, 5);
    clock.Advance(190);
    EXPECT_EQ(detail->value, 5);
    clock.Advance(1);
    EXPECT_EQ(detail->value, 6);
    // Waits of 181, 171, ..., 21, then 11 ms for ever: 19 more steps in
    // the next 2000 ms would take 181+171+...+21+11 = 1827 ms, plus 16 of 11.
    clock.Advance(1827);
    EXPECT_EQ(detail->value, 20);  // held at the top of the range
    EXPECT_EQ(View()->RenderCount(), renders);

    // Released far outside the slider: the repeat ends, the view renders.
    const QPoint outside = Frame()->mapFromGlobal(detail->mapToGlobal(QPoint(-200, 300)));
    QTest::mouseRelease(Frame()->windowHandle(), Qt::LeftButton, {}, outside);
    DrainEvents();
    EXPECT_FALSE(detail->Repeating());
    EXPECT_EQ(detail->upPressed, 0);
    EXPECT_EQ(View()->RenderCount(), renders + 1);
    detail->value = 10;
    clock.Advance(1000);
    EXPECT_EQ(detail->value, 10);

    // A double click on the bottom arrow steps once.
    QTest::mouseClick(detail, Qt::LeftButton, {}, QPoint(15, detail->height() - 3));
    QTest::mouseDClick(detail, Qt::LeftButton, {}, QPoint(15, detail->height() - 3));
    QTest::mouseRelease(detail, Qt::LeftButton, {}, QPoint(15, detail->height() - 3));
    clock.Advance(1000);
    EXPECT_EQ(detail->value, 9);
    EXPECT_EQ(+Doc()->m_texture.layers[0].layer.rec.detail, 9);
}

TEST_F(CommandPanel, AThumbnailClickLoadsItsLayerIntoEveryControl)
{
    Start();
    Texture t = ThreeLayers(160, 120);
    t.layers[2].blendMode = 4;
    t.layers[2].orientation = 0.25f;
    t.layers[2].blendCoef = 0.5f;
    t.layers[2].layer.rec.turbulence = 0.9f;
    t.layers[2].colorKey = {1.0f, 0.5f, 0.0f, {}};
    Show(std::move(t));
    EXPECT_EQ(Panel()->thumbnails[2]->m_layer, 2);
    EXPECT_EQ(Panel()->thumbnails[3]->m_layer, -1);
    EXPECT_TRUE(Panel()->thumbnails[0]->m_selected);
    const int renders = View()->RenderCount();

    QTest::mouseClick(Panel()->thumbnails[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Session().CurrentLayer(), 3);
    EXPECT_TRUE(Panel()->thumbnails[2]->m_selected);
    EXPECT_FALSE(Panel()->thumbnails[0]->m_selected);
    EXPECT_EQ(Panel()->materialCombo->currentIndex(), 2);
    EXPECT_EQ(Panel()->GetDlgItem<QComboBox>(566)->currentIndex(), 4);
    EXPECT_EQ(Slider(1)->value, 89);  // 0.9 as a float is just below 0.9
    EXPECT_EQ(Slider(14)->value, 90);
    EXPECT_EQ(Slider(18)->value, 50);
    for (const SliderInfo& info : SliderTable())
        EXPECT_EQ(Slider(info.id)->value, SliderPosition(info, Doc()->m_texture.layers[2])) << info.id;
    EXPECT_FLOAT_EQ(Panel()->colorKeySwatch->m_green, 0.5f);
    EXPECT_EQ(View()->RenderCount(), renders);  // the view is not rendered

    // An empty slot does nothing.
    QTest::mouseClick(Panel()->thumbnails[5], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Session().CurrentLayer(), 3);
}

TEST_F(CommandPanel, DisplayModesRenderAllBelowOrTheCurrentLayer)
{
    Start();
    Show(ThreeLayers(160, 120));
    QTest::mouseClick(Panel()->thumbnails[1], Qt::LeftButton, {}, QPoint(5, 5));
    const std::pair<CTextureButton*, int> modes[] = {
        {Panel()->thisLayerButton, 2}, {Panel()->layerBelowButton, 1}, {Panel()->allLayersButton, 0}};
    std::vector<QImage> shown;
    for (auto [button, mode] : modes) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(Session().DisplayMode(), mode);
        EXPECT_TRUE(ViewShows(mode, 1)) << mode;
        shown.push_back(View()->Surface().copy());
    }
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_NE(shown[1], shown[2]);
    EXPECT_FALSE(Doc()->IsModified());
}

TEST_F(CommandPanel, TemplatePlacesTheControls)
{
    Start();
    const QRect check = Panel()->GetDlgItem(1040)->geometry();
    const QRect expected = MapDialogRect(QRect(120, 297, 8, 8));
    EXPECT_LE((check.topLeft() - expected.topLeft()).manhattanLength(), 1);
    EXPECT_LE(std::abs(check.width() - expected.width()) + std::abs(check.height() - expected.height()), 1);
    EXPECT_EQ(Panel()->thumbnails[7]->geometry(), MapDialogRect(QRect(3 + 22 * 7, 23, 21, 30)));
    EXPECT_EQ(Slider(18)->geometry(), MapDialogRect(QRect(3, 54, 80, 20)));
    EXPECT_TRUE(Slider(18)->horizontal);
    EXPECT_EQ(Panel()->size(), MapDialogSize(QSize(187, 578)));
    EXPECT_EQ(Panel()->materialCombo->count(), 39);
    EXPECT_EQ(Panel()->materialCombo->itemText(38), "Radial Gradient");
    EXPECT_EQ(Panel()->reliefCombo->itemText(13), "TerrainBump");
    EXPECT_EQ(Panel()->GetDlgItem<QComboBox>(566)->itemText(2), "Substractive");
    EXPECT_EQ(Panel()->lightingButton->Caption(), "        Ligthing");
    EXPECT_EQ(Panel()->seeButton->StatusText(), "Preview the Current Texture.");
    EXPECT_EQ(Slider(15)->toolTip(), "Bump Orientation");
    EXPECT_EQ(Slider(7)->Caption(), "Scale X");
    // See renders the view again.
    const int renders = View()->RenderCount();
    QTest::mouseClick(Panel()->seeButton, Qt::LeftButton);
    EXPECT_EQ(View()->RenderCount(), renders + 1);
}

TEST_F(CommandPanel, TheSwatchEditsTheColourKey)
{
    Start();
    Ui().colors = {std::nullopt, QColor(255, 128, 0)};
    CColorKeyWnd* swatch = Panel()->colorKeySwatch;
    QTest::mouseClick(swatch, Qt::LeftButton, {}, QPoint(5, 5));  // Cancel
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_EQ(+Doc()->m_texture.layers[0].colorKey.keyB, 0.0f);
    QTest::mouseClick(swatch, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(Ui().colorRequests.size(), 2u);
    EXPECT_EQ(Ui().colorRequests[1], QColor(0, 0, 255));  // always starts from blue
    const ColorKeyRecord& key = Doc()->m_texture.layers[0].colorKey;
    EXPECT_EQ(+key.keyR, 1.0f);
    EXPECT_EQ(+key.keyG, 128.0f / 255.0f);
    EXPECT_EQ(+key.keyB, 0.0f);
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_EQ(swatch->Surface().pixel(swatch->width() / 2, swatch->height() / 2), qRgb(255, 128, 0));
}

TEST_F(CommandPanel, FieldsFromFilesShowSafely)
{
    Start();
    Texture t = NewTexture(MaterialPresetTable());
    LayerRecord& r = t.layers[0].layer.rec;
    r.material = 77;
    r.turbulence = std::numeric_limits<float>::quiet_NaN();
    r.scaleX = 3.0e9f;
    r.detail = 30000;
    r.reliefDetail = 2000000000;
    t.layers[0].blendMode = 9;
    Show(std::move(t));
    EXPECT_EQ(Panel()->materialCombo->currentIndex(), -1);
    EXPECT_EQ(Panel()->GetDlgItem<QComboBox>(566)->currentIndex(), -1);
    EXPECT_EQ(Slider(1)->value, 0);
    EXPECT_EQ(Slider(2)->value, std::numeric_limits<int>::max());
    // Counts show as what renders; the layer keeps what the file holds.
    EXPECT_EQ(Slider(0)->value, 255);
    EXPECT_EQ(Slider(13)->value, 255);
    const int32_t stored = Doc()->m_texture.layers[0].layer.rec.reliefDetail;
    EXPECT_EQ(stored, 2000000000);
    Slider(2)->UpdateWindow();  // draws with the value far past the range
}

TEST_F(CommandPanel, MoreLayersThanThumbnailsStillOpenAndRender)
{
    Start();
    Texture t = ThreeLayers(80, 60);
    while (t.LayerCount() < 10) t.layers.push_back(t.layers[1]);
    Show(std::move(t));
    EXPECT_TRUE(ViewShows(0, 0));
    for (int s = 0; s < CCommandBar::kThumbnails; ++s) EXPECT_EQ(Panel()->thumbnails[s]->m_layer, s);
    // Layer 10 is edited like any other; no slot shows it.
    Session().ShowLayer(10);
    QTest::mouseClick(Slider(1), Qt::LeftButton, {}, QPoint(15, 60));
    EXPECT_EQ(+Doc()->m_texture.layers[9].layer.rec.turbulence, static_cast<float>(Slider(1)->value) * 0.01f);
    for (CLayerPreviewWnd* slot : Panel()->thumbnails) EXPECT_FALSE(slot->m_selected);
}

TEST_F(CommandPanel, ANewInterfaceTextureRepaintsThePanelsBackgrounds)
{
    Start();
    CKvoSlider* slider = Slider(0);
    slider->UpdateWindow();
    const QPoint bare(2, 40);  // left of the track: only background
    const QRgb before = slider->Surface().pixel(bare);
    const QString file = Path("flame.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), PresetTexture(MaterialPresetTable(), 9)).error, "");
    Ui().files = {{file}};
    Frame()->SendCommand(ID_LOAD_INTERFACE_TEXTURE);
    DrainEvents();
    slider->UpdateWindow();
    EXPECT_NE(slider->Surface().pixel(bare), before);
    EXPECT_EQ(slider->Surface().pixel(bare), Session().Backgrounds().For(slider).pixel(bare));
    EXPECT_EQ(Panel()->seeButton->Face().pixel(1, 1), Session().Backgrounds().For(Panel()->seeButton).pixel(1, 1));

    // A texture whose name is not UTF-8 serves as well; a missing one is
    // told by the name as it reads.
    const QByteArray missing = QFile::encodeName(m_dir.path()) + "/perdu\xe9.zyv";
    Ui().files = {{DecodeFileName(missing)}};
    Frame()->SendCommand(ID_LOAD_INTERFACE_TEXTURE);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "Unable to open \"" + QFile::decodeName(missing) + "\".");
    Ui().messages.clear();
    const QByteArray latin1 = QFile::encodeName(m_dir.path()) + "/bois\xe9.zyv";
    ASSERT_EQ(WriteTextureFile(latin1.toStdString(), PresetTexture(MaterialPresetTable(), 2)).error, "");
    const QRgb flame = slider->Surface().pixel(bare);
    Ui().files = {{DecodeFileName(latin1)}};
    Frame()->SendCommand(ID_LOAD_INTERFACE_TEXTURE);
    DrainEvents();
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_EQ(EncodeFileName(m_app->m_strInterfaceTexture), latin1);
    slider->UpdateWindow();
    EXPECT_NE(slider->Surface().pixel(bare), flame);
}

TEST_F(CommandPanel, AKeyLoadedIntoTheLayerShowsInEveryControl)
{
    Start();
    Show(AnimatedMarble());
    Session().SetCurrentKey(1);
    Layer& layer = Doc()->m_texture.layers[0].layer;
    layer.rec.turbulence = 0.25f;
    layer.rec.frequency = 7.5f;
    Session().Show(EditingSession::Fields);
    EXPECT_EQ(Slider(1)->value, 25);
    EXPECT_EQ(Slider(16)->value, 75);
    EXPECT_EQ(Session().CurrentKey(), 1);
    EXPECT_EQ(Panel()->animateCheck, 1);
}

TEST_F(CommandPanel, AMovieChosenAsThePictureMakesTheLayerAnAnimationOfItsLength)
{
    Start();
    const std::string script = std::string(MORVANE_TEST_DATA_DIR) + "/../scripts/movie_files.py";
    ASSERT_EQ(std::system(("python3 '" + script + "' fli '" + Path("clip.fli").toStdString() + "' 40 24 10").c_str()), 0);
    Ui().files = {{Path("clip.fli")}};
    Choose(Panel()->materialCombo, 24);

    const Layer& layer = Doc()->m_texture.layers[0].layer;
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_EQ(+layer.rec.material, 24);
    EXPECT_EQ(+layer.rec.animated, 1);
    EXPECT_EQ(+layer.rec.keyCount, 2);
    ASSERT_EQ(layer.keys.size(), 2u);
    EXPECT_EQ(+layer.keys[0].rec.time, 0.0f);
    EXPECT_EQ(+layer.keys[1].rec.time, 1.0f);
    EXPECT_FLOAT_EQ(+layer.rec.duration, 0.4f);
    EXPECT_EQ(Doc()->m_sizeImage, QSize(40, 24));
    EXPECT_TRUE(Panel()->GetDlgItem<QCheckBox>(1040)->isChecked());
    CKeyFrameDlg* keys = Frame()->m_pKeyFramePanel;
    EXPECT_EQ(keys->durationEdit->text(), "0.4");
    EXPECT_TRUE(keys->durationEdit->isReadOnly());
    EXPECT_EQ(keys->keyCount, 2);
    EXPECT_EQ(keys->currentKey, 0);
    EXPECT_TRUE(ViewShows(0, 0));

    // A movie that cannot be read is told; the layer still becomes an
    // animation, of the duration it had.
    Show(NewTexture(MaterialPresetTable()));
    Doc()->m_texture.layers[0].layer.rec.duration = 2.0f;
    QFile broken(Path("broken.avi"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("RIFF");
    broken.close();
    Ui().files = {{Path("broken.avi")}};
    Choose(Panel()->materialCombo, 24);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "Unable to Open AVI File \"" + Path("broken.avi") + "\".\nThe file is not an AVI movie.");
    const Layer& failed = Doc()->m_texture.layers[0].layer;
    EXPECT_EQ(+failed.rec.animated, 1);
    EXPECT_EQ(+failed.rec.duration, 2.0f);
}

// A picture or a movie chosen for "Image" keeps showing when Image Format
// gives the texture another size: the view draws what texturetool draws
// from the saved file at that size, the thumbnail shows the picture, and
// Play shows the movie's frames.
TEST_F(CommandPanel, APictureKeepsShowingAtEveryImageSize)
{
    Start();
    // A 24 x 16 picture of colour ramps, and a movie of a second.
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2, tga[12] = 24, tga[14] = 16, tga[16] = 24;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 24; ++c) tga.insert(tga.end(), {uint8_t(100), uint8_t(r * 15), uint8_t(c * 10)});
    QFile ramp(Path("ramp.tga"));
    ASSERT_TRUE(ramp.open(QIODevice::WriteOnly));
    ramp.write(reinterpret_cast<const char*>(tga.data()), static_cast<qint64>(tga.size()));
    ramp.close();
    const std::string script = std::string(MORVANE_TEST_DATA_DIR) + "/../scripts/movie_files.py";
    ASSERT_EQ(std::system(("python3 '" + script + "' fli '" + Path("clip.fli").toStdString() + "' 40 24 25").c_str()), 0);
    auto black = [](const QImage& image, QSize area) {
        QImage none(area, QImage::Format_RGB32);
        none.fill(Qt::black);
        return DifferingPixels(image, none, area) == 0;
    };

    for (const QString& picture : {Path("ramp.tga"), Path("clip.fli")}) {
        SCOPED_TRACE(picture.toStdString());
        Show(NewTexture(MaterialPresetTable()));
        Ui().files = {{picture}};
        Choose(Panel()->materialCombo, 24);
        ASSERT_TRUE(Ui().messages.empty());
        // 320 x 240, 640 x 480 and 1K.
        for (int button : {105, 106, 108}) {
            Ui().modal.push_back([button](CDialog& dlg) {
                QTest::mouseClick(dlg.GetDlgItem(button), Qt::LeftButton);
                QTest::mouseClick(dlg.GetDlgItem(IDOK), Qt::LeftButton);
            });
            m_app->OnImageFormat();
            DrainEvents();
            const QSize size = Doc()->m_sizeImage;
            ASSERT_EQ(StoredImageWidth(Doc()->m_texture.layers[0].layer.rec), size.width());
            const QString saved = Path("sized.zyv");
            ASSERT_EQ(WriteTextureFile(saved.toStdString(), Doc()->m_texture).error, "");
            const QImage tool = ToolRender(saved, Path("sized.ppm"), size);
            ASSERT_EQ(tool.size(), size);
            EXPECT_FALSE(black(tool, size));
            const QSize shown = size.boundedTo(View()->Surface().size());
            EXPECT_EQ(DifferingPixels(View()->Surface(), tool, shown), 0) << size.width() << " x " << size.height();

            Frame()->ShowTextureInPanels();
            DrainEvents();
            const QImage& thumbnail = Panel()->thumbnails[0]->Picture();
            EXPECT_FALSE(black(thumbnail, thumbnail.size())) << size.width() << " x " << size.height();
        }
    }

    // Play shows every frame of the movie at the new size: the window's
    // top-left corner is the image's.
    const QSize size = Doc()->m_sizeImage;
    const std::vector<float> u = PixelCoordinates(0, 200, size.width());
    std::vector<float> v;
    for (int row = 0; row < 150; ++row) v.push_back(float(size.height() - 1 - row) / float(size.height()));
    std::vector<uint8_t> corner(200 * 150 * 4);
    int wrongFrames = 0, frames = 0;
    CKeyFrameDlg* keys = Frame()->m_pKeyFramePanel;
    QObject::connect(keys, &CKeyFrameDlg::frameShown, [&](int) {
        ++frames;
        Render(Doc()->m_texture, 0, 0, u, v, corner.data(), 200 * 4);
        wrongFrames += black(View()->Surface(), QSize(200, 150)) || !SurfaceEquals(View()->Surface(), corner, 200, 150);
    });
    QTest::mouseClick(keys->play, Qt::LeftButton);
    DrainEvents();
    EXPECT_EQ(frames, 26);
    EXPECT_EQ(wrongFrames, 0);

    // Opened again, the texture shows its movie at the movie's size, as
    // texturetool draws the file.
    ASSERT_NE(m_app->OpenDocumentFile(Path("sized.zyv")), nullptr);
    DrainEvents();
    const QImage reopened = ToolRender(Path("sized.zyv"), Path("reopened.ppm"));
    ASSERT_EQ(Doc()->m_sizeImage, QSize(40, 24));
    ASSERT_EQ(reopened.size(), QSize(40, 24));
    EXPECT_FALSE(black(reopened, reopened.size()));
    EXPECT_EQ(DifferingPixels(View()->Surface(), reopened, reopened.size()), 0);
}

TEST_F(CommandPanel, AListChangesTheLayerOnlyWhenTheUserChoosesAnotherItem)
{
    Start();
    auto* blend = Panel()->GetDlgItem<QComboBox>(566);
    QComboBox* lists[] = {Panel()->materialCombo, Panel()->reliefCombo, blend};
    // Re-picking what a list shows, and a wheel step over each closed list
    // (the pointer passing over it), leave every byte of the texture alone.
    auto expectNothingChanges = [&](const char* what) {
        const std::vector<uint8_t> before = EncodeTextureFile(Doc()->m_texture);
        View()->setFocus(Qt::MouseFocusReason);
        for (QComboBox* list : lists) {
            const int shown = list->currentIndex();
            WheelOver(list, -1);
            WheelOver(list, 1);
            EXPECT_EQ(list->currentIndex(), shown) << what;
        }
        for (QComboBox* list : lists) Choose(list, list->currentIndex());
        EXPECT_EQ(EncodeTextureFile(Doc()->m_texture), before) << what;
        EXPECT_FALSE(Doc()->IsModified()) << what;
        EXPECT_TRUE(Ui().messages.empty()) << what;
        EXPECT_TRUE(Ui().fileRequests.empty()) << what;
    };

    // A layer whose parameters and gradient were edited after its preset.
    Texture edited = NewTexture(MaterialPresetTable());
    LayerRecord& r = edited.layers[0].layer.rec;
    r.material = 8;
    r.relief = 7;
    r.turbulence = 1.25f;
    r.scaleY = 3.5f;
    r.foldZ = 0.75f;
    r.reliefIntensity = 7.0f;
    r.reliefDetail = 4;
    for (GradientEntry& e : edited.layers[0].layer.gradient->entries) e.startG = e.endR = 0.125f;
    edited.layers[0].blendMode = 3;
    Show(std::move(edited));
    expectNothingChanges("edited layer");

    // A picture layer: no Open dialog, no Marble.
    Texture picture = NewTexture(MaterialPresetTable());
    picture.layers[0].layer.rec.material = 24;
    picture.layers[0].layer.SetPicturePath(Path("gone.tga").toStdString());
    Show(std::move(picture));
    expectNothingChanges("picture layer");

    // An animated layer: no refusal either, and its keys stay as they are.
    Show(AnimatedMarbleWhoseKeysDiffer());
    expectNothingChanges("animated layer");

    // Another item still changes the layer.
    Show(NewTexture(MaterialPresetTable()));
    Choose(blend, 5);
    EXPECT_EQ(Doc()->m_texture.layers[0].blendMode, 5);
}

TEST_F(CommandPanel, TheWheelOverAClosedListScrollsThePanelEvenWhenTheListHasTheFocus)
{
    Start();
    Frame()->activateWindow();
    QApplication::setActiveWindow(Frame());
    auto* scroller = Frame()->m_wndCommandBar->findChild<QScrollArea*>("panelScroller");
    ASSERT_NE(scroller, nullptr);
    QScrollBar* bar = scroller->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);  // the panel is taller than its bar
    QComboBox* lists[] = {Panel()->materialCombo, Panel()->reliefCombo, Panel()->GetDlgItem<QComboBox>(566)};

    auto wheelOverEachList = [&](const char* what) {
        const std::vector<uint8_t> before = EncodeTextureFile(Doc()->m_texture);
        for (QComboBox* list : lists) {
            // A press opens the list, Escape closes it; it keeps the focus.
            QTest::mouseClick(list, Qt::LeftButton);
            DrainEvents();
            ASSERT_TRUE(list->view()->isVisible()) << what;
            QTest::keyClick(list->view(), Qt::Key_Escape);
            DrainEvents();
            ASSERT_FALSE(list->view()->isVisible()) << what;
            ASSERT_TRUE(list->hasFocus()) << what;
            const int shown = list->currentIndex();
            bar->setValue(0);
            WheelOver(list, -1);
            EXPECT_GT(bar->value(), 0) << what;
            WheelOver(list, 1);
            EXPECT_EQ(list->currentIndex(), shown) << what;
        }
        EXPECT_EQ(EncodeTextureFile(Doc()->m_texture), before) << what;
        EXPECT_FALSE(Doc()->IsModified()) << what;
        EXPECT_TRUE(Ui().messages.empty()) << what;
        EXPECT_TRUE(Ui().fileRequests.empty()) << what;
    };

    // A layer whose gradient was edited after its preset, and an animated
    // layer whose keys differ.
    Texture edited = NewTexture(MaterialPresetTable());
    edited.layers[0].layer.rec.material = 2;
    for (GradientEntry& e : edited.layers[0].layer.gradient->entries) e.startG = e.endR = 0.125f;
    Show(std::move(edited));
    wheelOverEachList("edited layer");
    Show(AnimatedMarbleWhoseKeysDiffer());
    wheelOverEachList("animated layer");
}

TEST_F(CommandPanel, TheKeyboardReachesEveryControlAndPressesIt)
{
    Start();
    Frame()->activateWindow();
    QApplication::setActiveWindow(Frame());
    DrainEvents();

    // Tab from the material list goes round the panels and the document
    // window and comes back to Add Layer; Space adds a layer.
    Panel()->materialCombo->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited;
    ASSERT_TRUE(TabUntil(Panel()->addLayerButton, 80, &visited));
    auto went = [&](QWidget* w) { return std::find(visited.begin(), visited.end(), w) != visited.end(); };
    EXPECT_TRUE(went(View()));
    EXPECT_TRUE(went(Panel()->seeButton));
    EXPECT_TRUE(went(Panel()->thumbnails[0]));
    for (int id = 0; id < CCommandBar::kSliders; ++id) EXPECT_TRUE(went(Slider(id))) << id;
    EXPECT_TRUE(went(Frame()->m_pKeyFramePanel->play));
    QTest::keyClick(Panel()->addLayerButton, Qt::Key_Space);
    EXPECT_EQ(Doc()->m_texture.LayerCount(), 2);
    EXPECT_EQ(Session().CurrentLayer(), 2);
    // Enter presses a button too.
    QTest::keyClick(Panel()->addLayerButton, Qt::Key_Return);
    EXPECT_EQ(Doc()->m_texture.LayerCount(), 3);

    // Space on a thumbnail makes its layer current.
    Panel()->thumbnails[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Panel()->thumbnails[0], Qt::Key_Space);
    EXPECT_EQ(Session().CurrentLayer(), 1);

    // An arrow key steps a focused slider by one, as an arrow click, and
    // the view renders the changed layer.
    CKvoSlider* detail = Slider(0);
    const int before = detail->value;
    const int renders = View()->RenderCount();
    detail->setFocus(Qt::TabFocusReason);
    QTest::keyClick(detail, Qt::Key_Up);
    EXPECT_EQ(detail->value, before + 1);
    EXPECT_EQ(+Doc()->m_texture.layers[0].layer.rec.detail, before + 1);
    EXPECT_EQ(View()->RenderCount(), renders + 1);
    EXPECT_TRUE(ViewShows(0, 0));
    QTest::keyClick(detail, Qt::Key_Down);
    QTest::keyClick(detail, Qt::Key_Down);
    EXPECT_EQ(detail->value, before - 1);
    Slider(18)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Slider(18), Qt::Key_Left);
    EXPECT_EQ(Doc()->m_texture.layers[0].blendCoef, 99.0f * 0.01f);
    EXPECT_EQ(Slider(18)->value, 99);
}

TEST_F(CommandPanel, EverySliderShowsItsWholeCaptionBetweenItsArrowsAndItsValueInsideItsBox)
{
    Start();
    // Wood behind the controls: no pixel of it is pure white or black.
    const QString file = Path("wood.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), PresetTexture(MaterialPresetTable(), 2)).error, "");
    Ui().files = {{file}};
    Frame()->SendCommand(ID_LOAD_INTERFACE_TEXTURE);
    DrainEvents();
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0), boxFill = qRgb(236, 236, 228);
    for (CKvoSlider* s : Panel()->sliders) {
        const QImage& behind = Session().Backgrounds().For(s);
        for (int y = 0; y < behind.height(); ++y)
            for (int x = 0; x < behind.width(); ++x) ASSERT_TRUE(behind.pixel(x, y) != white && behind.pixel(x, y) != black);
        const int w = s->width(), h = s->height();
        for (int value : {0, 7, s->maxValue / 2, s->maxValue}) {
            s->value = value;
            s->Invalidate();
            s->UpdateWindow();
            const QImage& face = s->Surface();
            QRect box, digits, caption;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const QRgb p = face.pixel(x, y);
                    if (p == boxFill) box |= QRect(x, y, 1, 1);
                    if (p == black) digits |= QRect(x, y, 1, 1);
                    // The caption's white, apart from the track's white edges.
                    const bool captionPlace = s->horizontal ? y < 12 : x >= w - 12;
                    if (p == white && captionPlace) caption |= QRect(x, y, 1, 1);
                }
            }
            const std::string what = s->Caption().toStdString() + " " + std::to_string(value);
            EXPECT_TRUE(box.contains(digits)) << what;
            EXPECT_GE(digits.height() * digits.width(), 6 * QString::number(value).size()) << what;
            // The caption lies between the two arrows, clear of the slider
            // on the right.
            ASSERT_FALSE(caption.isEmpty()) << what;
            if (s->horizontal) {
                EXPECT_GE(caption.left(), 11) << what;
                EXPECT_LE(caption.right(), w - 12) << what;
            } else {
                EXPECT_GE(caption.top(), 11) << what;
                EXPECT_LE(caption.bottom(), h - 12) << what;
                EXPECT_LE(caption.right(), w - 3) << what;
            }
        }
    }
}
