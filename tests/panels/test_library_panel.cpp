#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "engine/LibraryFile.h"
#include "engine/Noise.h"
#include "engine/Presets.h"
#include "engine/TextureFile.h"
#include "panels/LibraryDlg.h"
#include "panels/LibraryStripWnd.h"
#include "panels/TextureButton.h"
#include "platform/Background.h"
#include "platform/EditingSession.h"
#include "platform/MDIFrameWnd.h"
#include "support/LibraryStrip.h"
#include "support/QtTestApp.h"
#include "support/SampleTextures.h"
#include "support/ScriptedDialogs.h"

using namespace morvane;
using morvane::test::DrainEvents;
using morvane::test::DirectThumbnail;
using morvane::test::EnsureQtApp;
using morvane::test::SlotPicture;

namespace {

class LibraryPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureQtApp(); }
    void SetUp() override
    {
        NoiseInit();
        ASSERT_TRUE(m_dir.isValid());
        setenv("MORVANE_ROOT", Path("root").toUtf8().constData(), 1);
        frame.resize(1000, 300);
        frame.show();
        panel = new CLibraryDlg(session, &frame);
        panel->move(0, 0);
        panel->show();
        DrainEvents();
    }
    void TearDown() override
    {
        delete panel;
        unsetenv("MORVANE_ROOT");
    }

    QString Path(const QString& name) const { return m_dir.path() + "/" + name; }
    // Writes a texture file in the test folder; its path.
    QString Save(const QString& name, const Texture& t)
    {
        EXPECT_EQ(WriteTextureFile(Path(name).toStdString(), t).error, "");
        return Path(name);
    }
    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Adds `files` through Add Texture.
    void Add(const QStringList& files)
    {
        ui.files.push_back(files);
        Click(panel->addButton);
        DrainEvents();
    }
    CLibraryStripWnd& Strip() { return *panel->strip; }
    QWidget* Client() { return Strip().viewport(); }

    QTemporaryDir m_dir;
    ScriptedDialogs ui;
    CMDIFrameWnd frame;
    Background backgrounds;
    EditingSession session{ui, backgrounds};
    CLibraryDlg* panel = nullptr;
};

}  // namespace

TEST_F(LibraryPanelTest, AddTextureAppendsEachFileWithItsThumbnail)
{
    const Texture wood = PresetTexture(MaterialPresetTable(), 2);
    const Texture layered = test::SampleTexture(2);
    const QString a = Save("wood.zyv", wood);
    const QString b = Save("layered.zyv", layered);
    Add({a, b});

    ASSERT_EQ(ui.fileRequests.size(), 1u);
    const FileDialogRequest& asked = ui.fileRequests[0];
    EXPECT_EQ(asked.title, "Add a Texture to the Library");
    EXPECT_EQ(asked.filter, "Texture File (*.zyv) | *.zyv||");
    EXPECT_EQ(asked.defaultExt, "zyv");
    EXPECT_EQ(asked.initialDir, "\\kvo");
    EXPECT_TRUE(asked.flags & OFN_ALLOWMULTISELECT);
    EXPECT_TRUE(asked.flags & OFN_FILEMUSTEXIST);

    ASSERT_EQ(panel->EntryCount(), 2);
    EXPECT_EQ(panel->names, (std::vector<std::string>{"\\wood.zyv", "\\layered.zyv"}));
    EXPECT_EQ(panel->paths[0], a.toStdString());
    EXPECT_EQ(Strip().currentEntry, 1);
    EXPECT_EQ(SlotPicture(Strip(), 0), DirectThumbnail(wood));
    EXPECT_EQ(SlotPicture(Strip(), 1), DirectThumbnail(layered));
    // The library's copy has its light made unit length: (1, 1, 1.6).
    EXPECT_NEAR(+panel->textures[0].layers[0].layer.rec.lightDirZ, 0.7493f, 1e-4);
    EXPECT_TRUE(ui.messages.empty());

    // The selected slot has the blue bevel, the others grey ones.
    EXPECT_EQ(Strip().Surface().pixel(54, 10), qRgb(0, 0, 255));
    EXPECT_EQ(Strip().Surface().pixel(0, 10), qRgb(64, 64, 64));
}

TEST_F(LibraryPanelTest, AddTextureRefusesWhatItCannotKeepAndSaysWhy)
{
    const QString good = Save("good.zyv", PresetTexture(MaterialPresetTable(), 8));
    std::vector<uint8_t> cut = EncodeTextureFile(test::SampleTexture(1));
    cut.resize(cut.size() - 10);
    QFile bad(Path("bad.zyv"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(reinterpret_cast<const char*>(cut.data()), static_cast<qint64>(cut.size()));
    bad.close();
    // Too long for a library file and not below the root folder.
    const QString deep = m_dir.path() + "/" + QString(60, 'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString far = deep + "/far.zyv";
    ASSERT_EQ(WriteTextureFile(far.toStdString(), test::SampleTexture(1)).error, "");

    Add({Path("bad.zyv"), good, far, Path("missing.zyv")});
    ASSERT_EQ(panel->EntryCount(), 1);
    EXPECT_EQ(panel->names[0], "\\good.zyv");
    EXPECT_EQ(Strip().ThumbnailCount(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    const QString& said = ui.messages[0].text;
    EXPECT_TRUE(said.contains("bad.zyv"));
    EXPECT_TRUE(said.contains("far.zyv"));
    EXPECT_TRUE(said.contains("missing.zyv"));
}

TEST_F(LibraryPanelTest, ClicksSelectTheEntryUnderTheMouseAndScrollingMovesTheFirstSlot)
{
    const QString marble = Save("m.zyv", PresetTexture(MaterialPresetTable(), 1));
    Add(QStringList(10, marble));
    // Ten entries with the last selected: the first visible is entry 1.
    EXPECT_EQ(Strip().currentEntry, 9);
    EXPECT_EQ(Strip().FirstVisible(), 1);
    Add(QStringList(2, marble));
    ASSERT_EQ(panel->EntryCount(), 12);
    QScrollBar* bar = Strip().horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 11);

    // The arrows step by one and stop at the ends; a click in the page
    // area beside an arrow moves nothing.
    const int h = bar->height();
    const QPoint leftArrow(h / 2, h / 2), rightArrow(bar->width() - h / 2, h / 2);
    const QPoint leftPage(h + 3, h / 2), rightPage(bar->width() - h - 3, h / 2);
    auto click = [&](QPoint at, int expected) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, at);
        EXPECT_EQ(Strip().FirstVisible(), expected) << at.x();
    };
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    click(leftArrow, 0);
    click(rightPage, 0);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    click(rightArrow, 11);
    click(leftArrow, 10);
    click(leftPage, 10);
    bar->setSliderPosition(5);  // the thumb dragged
    EXPECT_EQ(Strip().FirstVisible(), 5);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    for (int i = 1; i <= 3; ++i) click(rightArrow, i);
    EXPECT_EQ(SlotPicture(Strip(), 0), Strip().Thumbnail(3));

    // With entry 3 in the first slot, a press at x = 120 selects entry 5.
    QTest::mouseClick(Client(), Qt::LeftButton, {}, QPoint(120, 20));
    EXPECT_EQ(Strip().currentEntry, 5);
    Strip().Repaint();
    EXPECT_EQ(Strip().Surface().pixel(108, 10), qRgb(0, 0, 255));
    // Right of the last entry nothing is selected.
    Strip().SetFirstVisible(10);
    QTest::mouseClick(Client(), Qt::LeftButton, {}, QPoint(54 * 2 + 5, 20));
    EXPECT_EQ(Strip().currentEntry, 5);
    QTest::mouseClick(Client(), Qt::LeftButton, {}, QPoint(54 + 5, 20));
    EXPECT_EQ(Strip().currentEntry, 11);
}

TEST_F(LibraryPanelTest, DeleteTextureKeepsTheSelectionOnANeighbour)
{
    Click(panel->deleteButton);  // nothing to delete
    EXPECT_EQ(panel->EntryCount(), 0);

    const QString a = Save("a.zyv", PresetTexture(MaterialPresetTable(), 1));
    const QString b = Save("b.zyv", PresetTexture(MaterialPresetTable(), 2));
    const QString c = Save("c.zyv", PresetTexture(MaterialPresetTable(), 3));
    Add({a, b, c});
    ASSERT_EQ(Strip().currentEntry, 2);
    Click(panel->deleteButton);
    EXPECT_EQ(panel->EntryCount(), 2);
    EXPECT_EQ(Strip().currentEntry, 1);

    Add({c});
    QTest::mouseClick(Client(), Qt::LeftButton, {}, QPoint(10, 20));
    ASSERT_EQ(Strip().currentEntry, 0);
    Click(panel->deleteButton);
    EXPECT_EQ(Strip().currentEntry, 0);
    EXPECT_EQ(panel->names, (std::vector<std::string>{"\\b.zyv", "\\c.zyv"}));
    EXPECT_EQ(Strip().ThumbnailCount(), 2);
    EXPECT_EQ(SlotPicture(Strip(), 0), DirectThumbnail(PresetTexture(MaterialPresetTable(), 2)));
}

TEST_F(LibraryPanelTest, SaveThenLoadGivesBackTheSameEntries)
{
    Add({Save("a.zyv", PresetTexture(MaterialPresetTable(), 9)), Save("b.zyv", test::SampleTexture(3))});
    const std::vector<std::string> names = panel->names;
    const std::vector<std::string> paths = panel->paths;
    const QImage second = SlotPicture(Strip(), 1);

    ui.files.push_back({Path("mine.jxw")});
    Click(panel->saveButton);
    ASSERT_EQ(ui.fileRequests.back().title, "Save a Texture Library");
    EXPECT_TRUE(ui.fileRequests.back().save);
    EXPECT_EQ(ui.fileRequests.back().filter, "Library File (*.jxw) | *.jxw||");
    EXPECT_EQ(QFileInfo(Path("mine.jxw")).size(), 322);

    Click(panel->deleteButton);
    Click(panel->deleteButton);
    ASSERT_EQ(panel->EntryCount(), 0);
    ui.files.push_back({Path("mine.jxw")});
    Click(panel->loadButton);
    EXPECT_EQ(ui.fileRequests.back().title, "Load a Texture Library");
    EXPECT_EQ(ui.fileRequests.back().defaultExt, "jxw");
    EXPECT_EQ(panel->names, names);
    EXPECT_EQ(panel->paths, paths);
    EXPECT_EQ(Strip().currentEntry, 0);
    EXPECT_EQ(SlotPicture(Strip(), 1), second);
    EXPECT_TRUE(ui.messages.empty());

    // A library file that cannot be written says so.
    ui.files.push_back({Path("no/such/folder/x.jxw")});
    Click(panel->saveButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains("x.jxw"));
}

TEST_F(LibraryPanelTest, LoadLibraryFindsMovedTexturesByNameAndKeepsLostOnesInPlace)
{
    const Texture moved = PresetTexture(MaterialPresetTable(), 11);
    ASSERT_TRUE(QDir().mkpath(Path("root/kvo")));
    ASSERT_EQ(WriteTextureFile(Path("root/kvo/moved.zyv").toStdString(), moved).error, "");
    const std::vector<LibraryEntry> listed{
        {"\\here.zyv", Save("here.zyv", test::SampleTexture(1)).toStdString()},
        {"\\moved.zyv", "C:\\old\\moved.zyv"},
        {"\\lost.zyv", "C:\\old\\lost.zyv"},
    };
    ASSERT_EQ(WriteLibraryFile(Path("list.jxw").toStdString(), listed).error, "");

    ui.files.push_back({Path("list.jxw")});
    Click(panel->loadButton);
    ASSERT_EQ(panel->EntryCount(), 3);
    EXPECT_EQ(Strip().ThumbnailCount(), 3);
    EXPECT_EQ(SlotPicture(Strip(), 1), DirectThumbnail(moved));
    // The lost texture shows the default Marble and keeps its name and path.
    EXPECT_EQ(SlotPicture(Strip(), 2), DirectThumbnail(NewTexture(MaterialPresetTable())));
    EXPECT_EQ(panel->names[2], "\\lost.zyv");
    EXPECT_EQ(panel->paths[2], "C:\\old\\lost.zyv");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains("C:\\old\\lost.zyv"));
    EXPECT_FALSE(ui.messages[0].text.contains("moved.zyv"));

    // A damaged library file changes nothing.
    for (const std::vector<uint8_t>& bytes :
         {std::vector<uint8_t>{0xFF, 0xFF}, std::vector<uint8_t>{5, 0, 'x'}, std::vector<uint8_t>{1}}) {
        QFile f(Path("bad.jxw"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        f.close();
        ui.files.push_back({Path("bad.jxw")});
        Click(panel->loadButton);
        EXPECT_EQ(panel->EntryCount(), 3);
        EXPECT_EQ(Strip().ThumbnailCount(), 3);
    }
    EXPECT_EQ(ui.messages.size(), 4u);
    EXPECT_TRUE(ui.messages.back().text.contains("bad.jxw"));
}

TEST_F(LibraryPanelTest, ButtonsCarryTheirTextsAndTheKeysNeverCloseThePanel)
{
    EXPECT_EQ(panel->addButton->Caption(), "Add Texture");
    EXPECT_EQ(panel->deleteButton->StatusText(), "Delete the Current Texture from the Library");
    EXPECT_EQ(panel->deleteButton->toolTip(), "Delete a Texture from the Library");
    EXPECT_EQ(panel->saveButton->toolTip(), "Save a Texture Library");
    EXPECT_EQ(Strip().geometry(), QRect(0, 0, 485, panel->height()));

    QTest::keyClick(panel, Qt::Key_Escape);
    QTest::keyClick(panel, Qt::Key_Return);
    EXPECT_TRUE(panel->isVisible());
}
