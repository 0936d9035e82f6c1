#include <QAbstractButton>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTest>

#include "ShellFixture.h"
#include "platform/Dialog.h"
#include "platform/MDIChildWnd.h"
#include "shell/FormatDlg.h"
#include "shell/FreeFormatDlg.h"
#include "support/SurfaceProbe.h"

using namespace morvane;
using namespace morvane::test;

namespace {

// The radio buttons in the order of the group, with the sizes they set.
struct Preset {
    int id;
    QSize size;
};
const Preset kPresets[] = {
    {104, {160, 120}}, {105, {320, 240}}, {106, {640, 480}},   {112, {800, 600}},
    {107, {704, 576}}, {113, {704, 480}}, {114, {704, 576}},   {116, {1440, 960}},
    {108, {1024, 768}}, {109, {2048, 1536}}, {110, {4096, 2836}}, {115, {8190, 5672}},
};

void Click(QWidget* w)
{
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

// Types a size into the Free Format dialog and presses OK.
void EnterFreeSize(CDialog& dlg, const QString& width, const QString& height)
{
    dlg.GetDlgItem<QLineEdit>(IDC_FREE_WIDTH)->setText(width);
    dlg.GetDlgItem<QLineEdit>(IDC_FREE_HEIGHT)->setText(height);
    Click(dlg.GetDlgItem(IDOK));
}

}  // namespace

class ImageFormat : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        Start();
        UseTexture(ThreeLayers(160, 120));
        Doc()->SetModifiedFlag(false);
    }

    // Chooses the radio button `id` and presses OK.
    void Choose(int id)
    {
        Ui().modal.push_back([id](CDialog& dlg) {
            Click(dlg.GetDlgItem(id));
            Click(dlg.GetDlgItem(IDOK));
        });
        m_app->OnImageFormat();
        DrainEvents();
    }

    void ExpectSize(QSize size)
    {
        EXPECT_EQ(Doc()->m_sizeImage, size);
        for (const LayerSlot& s : Doc()->m_texture.layers) {
            EXPECT_EQ(StoredImageWidth(s.layer.rec), size.width());
            EXPECT_EQ(StoredImageHeight(s.layer.rec), size.height());
        }
    }
};

TEST_F(ImageFormat, EveryPresetSizesEveryLayerAndTheViewRendersAtThatSize)
{
    for (int i = 0; i < 12; ++i) {
        const int rendersBefore = View()->RenderCount();
        Choose(kPresets[i].id);
        SCOPED_TRACE(i);
        EXPECT_EQ(Ui().modalCaptions.back(), "Image Format  ");
        ExpectSize(kPresets[i].size);
        EXPECT_EQ(Doc()->m_texture.layers[0].layer.rec.formatIndex, i);
        EXPECT_TRUE(Doc()->IsModified());
        EXPECT_GT(View()->RenderCount(), rendersBefore);
        // The window sits at the top-left corner of the MDI area.
        EXPECT_EQ(Frame()->ActiveChildFrame()->pos(), QPoint(0, 0));
    }

    // The view shows the texture rendered at the new size: the visible
    // corner of 320 x 240 equals a direct render.
    Choose(105);
    const std::vector<uint8_t> expected = RenderImage(Doc()->m_texture, 320, 240, 0, 0, true);
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), expected, 320, 240));
    EXPECT_EQ(View()->ClientSize(), QSize(320, 240));

    // Reopening selects the button chosen last: SECAM, not PAL.
    Choose(114);
    bool secamChecked = false, palChecked = true;
    Ui().modal.push_back([&](CDialog& dlg) {
        secamChecked = dlg.GetDlgItem<QAbstractButton>(114)->isChecked();
        palChecked = dlg.GetDlgItem<QAbstractButton>(107)->isChecked();
    });
    m_app->OnImageFormat();
    EXPECT_TRUE(secamChecked);
    EXPECT_FALSE(palChecked);
}

TEST_F(ImageFormat, FreeFormatRefusesZeroAndAbove65500AndStoresLargeSizesUnsigned)
{
    QString shownWidth, shownHeight;
    Ui().modal.push_back([](CDialog& dlg) {
        Click(dlg.GetDlgItem(IDC_FREE_FORMAT));
        Click(dlg.GetDlgItem(IDOK));
    });
    Ui().modal.push_back([&](CDialog& dlg) {
        // The fields start at the current layer's size.
        shownWidth = dlg.GetDlgItem<QLineEdit>(IDC_FREE_WIDTH)->text();
        shownHeight = dlg.GetDlgItem<QLineEdit>(IDC_FREE_HEIGHT)->text();
        EnterFreeSize(dlg, "0", "100");
        EXPECT_FALSE(dlg.HasEnded());
        EnterFreeSize(dlg, "100", "65501");
        EXPECT_FALSE(dlg.HasEnded());
        EnterFreeSize(dlg, "12x", "100");
        EXPECT_FALSE(dlg.HasEnded());
        EnterFreeSize(dlg, "65500", "40000");
        EXPECT_TRUE(dlg.HasEnded());
    });
    m_app->OnImageFormat();
    DrainEvents();
    EXPECT_EQ(shownWidth, "160");
    EXPECT_EQ(shownHeight, "120");
    ASSERT_EQ(Ui().messages.size(), 3u);
    EXPECT_EQ(Ui().messages[0].text, "Please enter an integer between 1 and 65500.");
    EXPECT_EQ(Ui().messages[1].text, "Please enter an integer between 1 and 65500.");
    EXPECT_EQ(Ui().messages[2].text, "Please enter an integer.");
    ExpectSize(QSize(65500, 40000));
    EXPECT_EQ(Doc()->m_texture.layers[0].layer.rec.formatIndex, kFreeFormatIndex);
    EXPECT_TRUE(Doc()->IsModified());
}

TEST_F(ImageFormat, CancelChangesNothing)
{
    // Cancel in the Free Format dialog, then in the Image Format dialog.
    Ui().modal.push_back([](CDialog& dlg) {
        Click(dlg.GetDlgItem(104 + 2));
        Click(dlg.GetDlgItem(IDC_FREE_FORMAT));
        Click(dlg.GetDlgItem(IDCANCEL));
    });
    Ui().modal.push_back([](CDialog& dlg) {
        dlg.GetDlgItem<QLineEdit>(IDC_FREE_WIDTH)->setText("500");
        Click(dlg.GetDlgItem(IDCANCEL));
    });
    const std::vector<uint8_t> before = EncodeTextureFile(Doc()->m_texture);
    m_app->OnImageFormat();
    DrainEvents();
    EXPECT_EQ(EncodeTextureFile(Doc()->m_texture), before);
    EXPECT_EQ(Doc()->m_sizeImage, QSize(160, 120));
    EXPECT_FALSE(Doc()->IsModified());

    // OK with "Free Format ..." chosen but its dialog cancelled keeps the
    // current size.
    Ui().modal.push_back([](CDialog& dlg) {
        Click(dlg.GetDlgItem(IDC_FREE_FORMAT));
        Click(dlg.GetDlgItem(IDOK));
    });
    m_app->OnImageFormat();
    ExpectSize(QSize(160, 120));

    // A modified document stays modified after Cancel.
    Doc()->SetModifiedFlag(true);
    m_app->OnImageFormat();  // no script: cancelled
    EXPECT_TRUE(Doc()->IsModified());
}

// The largest free size through Image Format, a second window of it, a
// texture file of that size opened, Cascade and Tile: no window is sized,
// even for a moment, beyond the MDI area, and the views scroll over the
// image instead.
TEST_F(ImageFormat, AHugeImageNeverSizesAWindowBeyondTheMdiArea)
{
    const QSize area = Frame()->MdiArea()->viewport()->size();
    auto expectWithinArea = [&](const char* step) {
        SCOPED_TRACE(step);
        const QSize largest = SurfaceProbe::LargestMade();
        EXPECT_LE(largest.width(), area.width());
        EXPECT_LE(largest.height(), area.height());
        for (CMDIChildWnd* child : Frame()->ChildFrames())
            EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(child->geometry())) << child->GetTitle().toStdString();
        SurfaceProbe::Reset();
    };
    SurfaceProbe::Reset();
    Ui().modal.push_back([](CDialog& dlg) {
        Click(dlg.GetDlgItem(IDC_FREE_FORMAT));
        Click(dlg.GetDlgItem(IDOK));
    });
    Ui().modal.push_back([](CDialog& dlg) { EnterFreeSize(dlg, "65500", "40000"); });
    m_app->OnImageFormat();
    DrainEvents();
    ExpectSize(QSize(65500, 40000));
    expectWithinArea("Image Format");
    // The view shows the image's top-left corner and scrolls over the rest.
    EXPECT_EQ(View()->GetTotalSize(), QSize(65500, 40000));
    EXPECT_GT(View()->horizontalScrollBar()->maximum(), 60000);
    EXPECT_GT(View()->verticalScrollBar()->maximum(), 35000);
    std::vector<float> u{0.0f}, v{39999.0f / 40000.0f};
    uint8_t corner[4];
    Render(Doc()->m_texture, 0, 0, u, v, corner, 4);
    ExpectPixel(View()->Surface(), 0, 0, corner);

    Frame()->SendCommand(ID_WINDOW_NEW);
    DrainEvents();
    expectWithinArea("New Window");

    Texture huge = ThreeLayers(160, 120);
    for (LayerSlot& slot : huge.layers) {
        slot.layer.rec.width = static_cast<int16_t>(static_cast<uint16_t>(65500));
        slot.layer.rec.height = static_cast<int16_t>(static_cast<uint16_t>(40000));
    }
    ASSERT_EQ(WriteTextureFile(Path("huge.zyv").toStdString(), huge).error, "");
    Ui().files = {{Path("huge.zyv")}};
    Frame()->SendCommand(ID_FILE_OPEN);
    DrainEvents();
    ASSERT_EQ(Doc()->m_sizeImage, QSize(65500, 40000));
    expectWithinArea("Open");

    // Cascade: each window a title bar lower and to the right of the one
    // behind, filling the room from there.
    Frame()->SendCommand(ID_WINDOW_CASCADE);
    DrainEvents();
    expectWithinArea("Cascade");
    const QList<QMdiSubWindow*> stack = Frame()->MdiArea()->subWindowList(QMdiArea::StackingOrder);
    ASSERT_EQ(stack.size(), 3);
    const int step = stack[0]->contentsMargins().top();
    EXPECT_GT(step, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stack[i]->pos(), QPoint(i * step, i * step));
        EXPECT_EQ(stack[i]->geometry().bottomRight(), QPoint(area.width() - 1, area.height() - 1));
    }

    Frame()->SendCommand(ID_WINDOW_TILE_HORZ);
    DrainEvents();
    expectWithinArea("Tile");
}
