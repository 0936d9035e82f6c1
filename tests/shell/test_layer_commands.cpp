// The layer commands of the command panel, the reflection and lighting
// dialogs it opens, and the palette panel, in the running editor.
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include "ShellFixture.h"
#include "engine/Animation.h"
#include "panels/ColorBarWnd.h"
#include "panels/SphereLightWnd.h"
#include "panels/GradientStrip.h"
#include "panels/KvoPPal.h"
#include "panels/KeyFrameDlg.h"
#include "platform/Dialog.h"
#include "support/TextureProgram.h"
#include "support/FileSizeLimit.h"
#include "tests/media/MovieTestSupport.h"

namespace morvane::test {
namespace {

class LayerCommands : public ShellTest {
protected:
    CCommandBar* Panel() const { return Frame()->m_pCommandPanel; }
    CGradientStrip* Strip() const { return Frame()->m_pPalettePanel->Strip(); }
    Texture& Tex() const { return Doc()->m_texture; }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    void ClickAnimate() const
    {
        auto* box = Panel()->GetDlgItem<QCheckBox>(1040);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    }
    // Save Layer into `path`; Load Layer of `paths`.
    void SaveLayer(const QString& path)
    {
        Ui().files.push_back({path});
        Click(Panel()->saveLayerButton);
    }
    void LoadLayers(const QStringList& paths)
    {
        Ui().files.push_back(paths);
        Click(Panel()->loadLayerButton);
    }
    void WriteFile(const QString& name, const QByteArray& bytes) const
    {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

QByteArray LayerBytes(const Layer& layer) { return AsBytes(EncodeLayerFile(layer)); }

}  // namespace

TEST_F(LayerCommands, AddAndDeleteLeaveEveryPanelShowingTheCurrentLayer)
{
    Start();
    Doc()->SetModifiedFlag(false);
    Click(Panel()->addLayerButton);
    Click(Panel()->addLayerButton);
    ASSERT_EQ(Tex().LayerCount(), 3);
    EXPECT_EQ(Session().CurrentLayer(), 3);
    EXPECT_TRUE(Doc()->IsModified());
    // A copy of Marble without a light of its own, added over the others.
    const Layer& marble = MaterialPresetTable()[1];
    const LayerSlot& added = Tex().layers[2];
    EXPECT_EQ(+added.layer.rec.material, 1);
    EXPECT_EQ(+added.layer.rec.turbulence, +marble.rec.turbulence);
    EXPECT_EQ(+added.layer.rec.lightR, 0.0f);
    EXPECT_EQ(+added.layer.rec.lightB, 0.0f);
    EXPECT_EQ(added.blendCoef, 1.0f);
    EXPECT_EQ(added.blendMode, 1);
    EXPECT_TRUE(Panel()->thumbnails[2]->m_selected);

    // Layer 3 made different from the others, then layer 2 deleted.
    LayerSlot& third = Tex().layers[2];
    third.layer = AnimatedLayer(3, 1);
    third.layer.rec.duration = 6.0f;
    third.layer.rec.turbulence = 1.37f;
    third.blendMode = 3;
    third.layer.gradient->entries[5].startR = 1.0f;
    third.layer.gradient->entries[5].startG = 0.0f;
    third.layer.gradient->entries[5].startB = 0.0f;
    Click(Panel()->thumbnails[1]);
    ASSERT_EQ(Session().CurrentLayer(), 2);
    Click(Panel()->deleteLayerButton);
    ASSERT_EQ(Tex().LayerCount(), 2);
    EXPECT_EQ(Session().CurrentLayer(), 2);
    EXPECT_EQ(+Tex().layers[1].layer.rec.turbulence, 1.37f);
    EXPECT_EQ(Panel()->sliders[1]->value, 137);
    EXPECT_EQ(Panel()->GetDlgItem<QComboBox>(566)->currentIndex(), 3);
    EXPECT_EQ(Strip()->CellColor(5), qRgb(255, 0, 0));
    EXPECT_EQ(Panel()->animateCheck, 1);
    EXPECT_EQ(Frame()->m_pKeyFramePanel->keyCount, 3);
    EXPECT_EQ(Frame()->m_pKeyFramePanel->duration, 6.0f);
    EXPECT_EQ(Session().CurrentKey(), 0);
    EXPECT_TRUE(Panel()->thumbnails[1]->m_selected);
    EXPECT_EQ(Panel()->thumbnails[2]->m_layer, -1);

    // A colour bar now edits the layer shown, not the deleted one.
    Ui().modal.push_back([](CDialog& d) {
        QTest::mouseClick(d.findChild<CColorBarWnd*>(QStringLiteral("reflectionBar")), Qt::LeftButton, {}, QPoint(7, 115));
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    Click(Panel()->reflectionButton);
    EXPECT_EQ(+Tex().layers[1].layer.rec.reflectR, 0.0f);
    EXPECT_NE(+Tex().layers[0].layer.rec.reflectR, 0.0f);

    // Deleting the last layer makes the one before it current; the last
    // layer of all stays.
    Click(Panel()->deleteLayerButton);
    ASSERT_EQ(Tex().LayerCount(), 1);
    EXPECT_EQ(Session().CurrentLayer(), 1);
    EXPECT_EQ(Panel()->GetDlgItem<QComboBox>(566)->currentIndex(), Tex().layers[0].blendMode);
    Click(Panel()->deleteLayerButton);
    EXPECT_EQ(Tex().LayerCount(), 1);
}

TEST_F(LayerCommands, ATextureHoldsEightLayersAtMost)
{
    Start();
    SaveLayer(Path("one.kvo"));
    for (int i = 0; i < 7; ++i) Click(Panel()->addLayerButton);
    ASSERT_EQ(Tex().LayerCount(), 8);
    ASSERT_TRUE(Ui().messages.empty());
    Click(Panel()->addLayerButton);
    EXPECT_EQ(Tex().LayerCount(), 8);
    EXPECT_EQ(Ui().messages.size(), 1u);
    LoadLayers({Path("one.kvo")});
    EXPECT_EQ(Tex().LayerCount(), 8);
    EXPECT_EQ(Ui().messages.size(), 2u);
    EXPECT_EQ(Session().CurrentLayer(), 8);
}

TEST_F(LayerCommands, AnimateMakesTwoKeysOfTheLayerAndKeepsThemWhenSwitchedOff)
{
    Start();
    Doc()->SetModifiedFlag(false);
    Layer& layer = Tex().layers[0].layer;
    layer.rec.turbulence = 0.77f;
    layer.gradient->entries[3].endG = 0.25f;
    ClickAnimate();
    EXPECT_EQ(+layer.rec.animated, 1);
    EXPECT_EQ(+layer.rec.keyCount, 2);
    EXPECT_EQ(+layer.rec.duration, 4.0f);
    ASSERT_EQ(layer.keys.size(), 2u);
    EXPECT_EQ(+layer.keys[0].rec.time, 0.0f);
    EXPECT_EQ(+layer.keys[1].rec.time, 1.0f);
    for (const Keyframe& key : layer.keys) {
        EXPECT_EQ(+key.rec.turbulence, 0.77f);
        EXPECT_EQ(+key.gradient.entries[3].endG, 0.25f);
    }
    EXPECT_EQ(Session().CurrentKey(), 0);
    EXPECT_EQ(Frame()->m_pKeyFramePanel->keyCount, 2);
    EXPECT_EQ(Frame()->m_pKeyFramePanel->duration, 4.0f);
    EXPECT_TRUE(Doc()->IsModified());

    // Off: the keys stay in the layer; on again: fresh copies, four seconds.
    layer.rec.duration = 9.0f;
    layer.keys[1].rec.turbulence = 0.1f;
    ClickAnimate();
    EXPECT_EQ(+layer.rec.animated, 0);
    EXPECT_EQ(+layer.rec.keyCount, 2);
    EXPECT_EQ(+layer.rec.duration, 9.0f);
    EXPECT_EQ(Session().CurrentKey(), -1);
    EXPECT_EQ(Frame()->m_pKeyFramePanel->keyCount, 0);
    ClickAnimate();
    EXPECT_EQ(+layer.rec.duration, 4.0f);
    EXPECT_EQ(+layer.keys[1].rec.turbulence, 0.77f);
}

TEST_F(LayerCommands, SavedLayersHaveTheirSizesAndLoadBackAsSaved)
{
    Start();
    Layer& first = Tex().layers[0].layer;
    first.rec.turbulence = 0.625f;
    first.rec.omega = 0.75f;
    const Gradient firstGradient = *first.gradient;
    SaveLayer(Path("plain.kvo"));
    EXPECT_EQ(Contents(Path("plain.kvo")).size(), 1414);
    EXPECT_FALSE(Ui().fileRequests.back().flags & OFN_ALLOWMULTISELECT);
    EXPECT_EQ(Ui().fileRequests.back().title, QStringLiteral("Save a Texture"));
    ClickAnimate();
    SaveLayer(Path("anim.kvo"));
    EXPECT_EQ(Contents(Path("anim.kvo")).size(), 3682);
    // The older form: the record up to the animation fields, then the gradient.
    const QByteArray plain = Contents(Path("plain.kvo"));
    WriteFile("old.kvo", plain.left(154) + plain.mid(446));
    ASSERT_EQ(Contents(Path("old.kvo")).size(), 1122);

    Doc()->SetModifiedFlag(false);
    const int renders = View()->RenderCount();
    LoadLayers({Path("plain.kvo"), Path("anim.kvo"), Path("old.kvo")});
    EXPECT_EQ(Ui().fileRequests.back().title, QStringLiteral("Open a Layer File"));
    ASSERT_EQ(Tex().LayerCount(), 4);
    EXPECT_EQ(Session().CurrentLayer(), 4);
    EXPECT_TRUE(Doc()->IsModified());
    DrainEvents();
    EXPECT_GT(View()->RenderCount(), renders);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Tex().layers[i].blendCoef, 1.0f);
        EXPECT_EQ(Tex().layers[i].blendMode, 1);
    }
    EXPECT_EQ(LayerBytes(Tex().layers[1].layer), plain);
    EXPECT_EQ(LayerBytes(Tex().layers[2].layer), Contents(Path("anim.kvo")));
    EXPECT_EQ(KeyCount(Tex().layers[2].layer), 2);
    const Layer& old = Tex().layers[3].layer;
    EXPECT_EQ(+old.rec.animated, 0);
    EXPECT_EQ(+old.rec.turbulence, 0.625f);
    EXPECT_EQ(+old.rec.lacunarity, 2.0f);
    EXPECT_EQ(+old.rec.omega, 0.5f);
    EXPECT_EQ(+old.rec.reliefDetail, 10);
    EXPECT_TRUE(old.PicturePath().empty());
    EXPECT_EQ(std::memcmp(old.gradient->entries.data(), firstGradient.entries.data(), sizeof firstGradient.entries), 0);
}

TEST_F(LayerCommands, ALoadedLayerTakesItsOwnMovieAndKeepsItsOwnKeys)
{
    Start();
    ASSERT_TRUE(ScriptMovie("fli", Path("clip.fli").toStdString(), 32, 24, 10));
    Layer saved = AnimatedLayer(3, 24);
    saved.keys[1].rec.time = 0.5f;
    saved.keys[1].rec.turbulence = 0.3f;
    saved.keys[2].rec.time = 1.0f;
    saved.SetPicturePath(Path("clip.fli").toStdString());
    ASSERT_EQ(WriteLayerFile(Path("movie.kvo").toStdString(), saved).error, "");
    const std::vector<uint8_t> before = Tex().layers[0].layer.Pixels();

    LoadLayers({Path("movie.kvo")});
    ASSERT_EQ(Tex().LayerCount(), 2);
    EXPECT_TRUE(Ui().messages.empty());
    const Layer& loaded = Tex().layers[1].layer;
    EXPECT_EQ(StoredImageWidth(loaded.rec), 32);
    EXPECT_EQ(loaded.Pixels().size(), 32u * 24u * 4u);
    ASSERT_EQ(KeyCount(loaded), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(std::memcmp(&loaded.keys[k].rec, &saved.keys[k].rec, sizeof(KeyframeRecord)), 0) << k;
    EXPECT_EQ(Tex().layers[0].layer.Pixels(), before);
    EXPECT_EQ(Session().CurrentLayer(), 2);
    EXPECT_EQ(Session().CurrentKey(), 0);
}

TEST_F(LayerCommands, ALoadedLayerWhosePictureIsMissingIsToldAndAddedAllTheSame)
{
    Start();
    Layer saved = MaterialPresetTable()[24];
    saved.SetPicturePath(Path("gone.tga").toStdString());
    ASSERT_EQ(WriteLayerFile(Path("pictured.kvo").toStdString(), saved).error, "");

    LoadLayers({Path("pictured.kvo")});
    EXPECT_EQ(Tex().LayerCount(), 2);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text,
              "Unable to open the picture \"" + Path("gone.tga") + "\".\nThe file was not found.");
    EXPECT_EQ(Ui().messages[0].style, unsigned(MB_OK | MB_ICONEXCLAMATION));
}

TEST_F(LayerCommands, LayerFilesThatCannotBeUsedAddNothing)
{
    Start();
    SaveLayer(Path("good.kvo"));
    ClickAnimate();
    SaveLayer(Path("anim.kvo"));
    const QByteArray anim = Contents(Path("anim.kvo"));
    WriteFile("cut.kvo", anim.left(2500));  // the second key cut off
    QByteArray oneKey = anim.left(1414 + 1134);
    const int32_t one = 1;
    oneKey.replace(158, 4, reinterpret_cast<const char*>(&one), 4);
    WriteFile("onekey.kvo", oneKey);

    LoadLayers({Path("cut.kvo"), Path("missing.kvo"), Path("onekey.kvo"), Path("good.kvo")});
    ASSERT_EQ(Tex().LayerCount(), 2);
    EXPECT_EQ(LayerBytes(Tex().layers[1].layer), Contents(Path("good.kvo")));
    ASSERT_EQ(Ui().messages.size(), 2u);  // nothing about the missing file
    EXPECT_TRUE(Ui().messages[0].text.contains(Path("cut.kvo")));
    EXPECT_TRUE(Ui().messages[1].text.contains(Path("onekey.kvo")));

    // Nothing usable at all: the panels stay on the current layer.
    Click(Panel()->thumbnails[0]);
    LoadLayers({Path("cut.kvo")});
    EXPECT_EQ(Tex().LayerCount(), 2);
    EXPECT_EQ(Session().CurrentLayer(), 1);
}

TEST_F(LayerCommands, LoadLayerRefusesATextureFileAndALayerFileWithBytesAppended)
{
    Start();
    UseTexture(ThreeLayers(40, 30));
    ASSERT_EQ(WriteTextureFile(Path("mine.zyv").toStdString(), Tex()).error, "");
    SaveLayer(Path("good.kvo"));
    WriteFile("longer.kvo", Contents(Path("good.kvo")) + QByteArray(64, '\x5A'));
    // The same texture named as a layer file is told apart by its layout.
    WriteFile("texture.kvo", Contents(Path("mine.zyv")));
    const QByteArray before = Encoded(Tex());

    LoadLayers({Path("mine.zyv"), Path("longer.kvo"), Path("texture.kvo")});
    EXPECT_EQ(Encoded(Tex()), before);
    ASSERT_EQ(Ui().messages.size(), 3u);
    EXPECT_EQ(Ui().messages[0].text, "Unable to read \"" + Path("mine.zyv") +
                                          "\": it is not a valid layer file.\nIt is a texture file, not a layer file.");
    EXPECT_EQ(Ui().messages[1].text, "Unable to read \"" + Path("longer.kvo") +
                                          "\": it is not a valid layer file.\nIt is 1478 bytes long, but a layer "
                                          "without animation makes a file of 1414 bytes.");
    EXPECT_TRUE(Ui().messages[2].text.endsWith("It is a texture file, not a layer file."));
}

TEST_F(LayerCommands, AFailedSaveKeepsTheOldFileAndSaysWhy)
{
    Start();
    SaveLayer(Path("keep.kvo"));
    const QByteArray before = Contents(Path("keep.kvo"));
    Tex().layers[0].layer.rec.turbulence = 0.3f;
    {
        const FileSizeLimit full(1000);
        ASSERT_TRUE(full.ok());
        SaveLayer(Path("keep.kvo"));
    }
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.contains(Path("keep.kvo")));
    EXPECT_EQ(Contents(Path("keep.kvo")), before);
    SaveLayer(Path("gone/x.kvo"));
    ASSERT_EQ(Ui().messages.size(), 2u);
    EXPECT_TRUE(Ui().messages[1].text.contains("gone/x.kvo"));
    // Cancel: nothing.
    Click(Panel()->saveLayerButton);
    EXPECT_EQ(Ui().messages.size(), 2u);
}

TEST_F(LayerCommands, TheDialogsMarkTheDocumentOnOkAndOnCancelOnlyAfterAChange)
{
    Start();
    auto cancel = [](CDialog& d) { QTest::mouseClick(d.GetDlgItem(IDCANCEL), Qt::LeftButton); };
    auto ok = [](CDialog& d) { QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton); };
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(Panel()->reflectionButton),
                                    static_cast<QAbstractButton*>(Panel()->lightingButton)}) {
        Doc()->SetModifiedFlag(false);
        Ui().modal.push_back(cancel);
        Click(button);
        EXPECT_FALSE(Doc()->IsModified());
        Ui().modal.push_back(ok);
        Click(button);
        EXPECT_TRUE(Doc()->IsModified());
    }
    // A change, then Cancel: the change stays and the document says so.
    Doc()->SetModifiedFlag(false);
    const int renders = View()->RenderCount();
    Ui().modal.push_back([](CDialog& d) {
        QTest::mouseClick(d.findChild<CSphereLightWnd*>(QStringLiteral("spherePicker")), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(d.GetDlgItem(IDCANCEL), Qt::LeftButton);
    });
    Click(Panel()->lightingButton);
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_EQ(View()->RenderCount(), renders);
    // Apply renders the view at once.
    Ui().modal.push_back([](CDialog& d) {
        QTest::mouseClick(d.findChild<CColorBarWnd*>(QStringLiteral("brillianceBar")), Qt::LeftButton, {}, QPoint(7, 60));
        QTest::mouseClick(d.GetDlgItem(3), Qt::LeftButton);
        QTest::mouseClick(d.GetDlgItem(IDCANCEL), Qt::LeftButton);
    });
    Click(Panel()->reflectionButton);
    EXPECT_EQ(View()->RenderCount(), renders + 1);
    EXPECT_EQ(Ui().modalCaptions.back(), QStringLiteral("Reflection Parameters"));

    // Without a document the buttons open nothing.
    Ui().answers = {IDNO};  // not saved
    Frame()->ActiveChildFrame()->close();
    DrainEvents();
    const size_t shown = Ui().modalCaptions.size();
    Click(Panel()->reflectionButton);
    Click(Panel()->lightingButton);
    Click(Panel()->addLayerButton);
    Click(Panel()->saveLayerButton);
    EXPECT_EQ(Ui().modalCaptions.size(), shown);
}

TEST_F(LayerCommands, ATextureSavedAfterTheEditsReopensAsTheDocumentHeldIt)
{
    Start();
    Click(Panel()->addLayerButton);
    ClickAnimate();
    // The palette: a blend from cell 2 to cell 9 into the layer and key 0.
    Click(Frame()->m_pPalettePanel->GetDlgItem(401));
    QTest::mouseClick(Strip(), Qt::LeftButton, {}, QPoint(16 * 2 + 5, 5));
    QTest::mouseClick(Strip(), Qt::LeftButton, {}, QPoint(16 * 9 + 5, 5));
    // The light and its colour, the reflection and the brilliance.
    Ui().modal.push_back([](CDialog& d) {
        QTest::mouseClick(d.findChild<CSphereLightWnd*>(QStringLiteral("spherePicker")), Qt::LeftButton, {}, QPoint(30, 90));
        QTest::mouseClick(d.findChild<CColorBarWnd*>(QStringLiteral("lightBar")), Qt::LeftButton, {}, QPoint(19, 40));
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    Click(Panel()->lightingButton);
    Ui().modal.push_back([](CDialog& d) {
        QTest::mouseClick(d.findChild<CColorBarWnd*>(QStringLiteral("reflectionBar")), Qt::LeftButton, {}, QPoint(31, 100));
        QTest::mouseClick(d.findChild<CColorBarWnd*>(QStringLiteral("brillianceBar")), Qt::LeftButton, {}, QPoint(7, 20));
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    Click(Panel()->reflectionButton);
    const Layer& edited = Tex().layers[1].layer;
    ASSERT_EQ(+edited.keys[0].rec.lightG, +edited.rec.lightG);
    ASSERT_NE(+edited.keys[1].rec.lightG, +edited.rec.lightG);

    // As shown: a render gives the light directions their unit length.
    Click(Panel()->seeButton);
    const QByteArray held = Encoded(Tex());
    Ui().files.push_back({Path("edited.zyv")});
    Frame()->SendCommand(ID_FILE_SAVE_TEXTURE);
    ASSERT_EQ(Contents(Path("edited.zyv")), held);
    CQuillonDoc* reopened = m_app->OpenDocumentFile(Path("edited.zyv"));
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(Encoded(reopened->m_texture), held);
}

}  // namespace morvane::test
