#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "ShellFixture.h"
#include "engine/Noise.h"
#include "engine/Cpu.h"
#include "platform/ControlBar.h"
#include "platform/DialogUnits.h"
#include "platform/MDIChildWnd.h"

using namespace morvane;
using namespace morvane::test;

namespace {

QStringList MenuTitles(CMainFrame* frame)
{
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions()) titles << a->text();
    return titles;
}

QStringList MenuItems(CMainFrame* frame, const QString& title)
{
    QStringList items;
    for (QAction* a : frame->menuBar()->actions()) {
        if (a->text() != title || !a->menu()) continue;
        for (QAction* i : a->menu()->actions()) items << (i->isSeparator() ? QStringLiteral("-") : i->text());
    }
    return items;
}

}  // namespace

class StartUp : public ShellTest {};

TEST_F(StartUp, TheApplicationsProfileIsTheFileItIsGiven)
{
    QTemporaryDir dir;
    const auto path = std::filesystem::path(dir.path().toStdString()) / "app.ini";
    CQuillonApp app(Ui(), path);
    app.Profile().WriteInt("Tip", "StartUp", 0);
    EXPECT_EQ(app.Profile().Path(), path);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(StartUp, WithoutFileMakesOneFittedMarbleDocument)
{
    Start();
    CMainFrame* frame = Frame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->windowTitle(), "Morvane - Quillo1");
    ASSERT_EQ(frame->ChildFrames().size(), 1u);
    CQuillonDoc* doc = Doc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), "Quillo1");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->m_sizeImage, QSize(160, 120));
    EXPECT_EQ(doc->m_texture.LayerCount(), 1);
    EXPECT_EQ(+doc->m_texture.layers[0].layer.rec.material, 1);
    // The window shows exactly the image.
    EXPECT_EQ(View()->ClientSize(), QSize(160, 120));
    EXPECT_EQ(frame->ActiveChildFrame()->windowTitle(), "Quillo1[*]");
    // The processor test ran before the first render.
    EXPECT_EQ(MmxPresent(), MmxFromFeatures(GetCpuFeatures()));
    EXPECT_GE(View()->RenderCount(), 1);
    // The panel shows layer 1.
    ASSERT_NE(frame->m_pCommandPanel, nullptr);
    EXPECT_EQ(Session().CurrentLayer(), 1);
    EXPECT_EQ(frame->m_pCommandPanel->progressBar->objectName(), "control1026");
    // The root folder and its working folder exist.
    EXPECT_TRUE(QDir(m_dir.path() + "/root/kvo").exists());
    // Nothing was asked.
    EXPECT_TRUE(Ui().messages.empty());
}

TEST_F(StartUp, FramePiecesAndBarOrder)
{
    Start();
    CMainFrame* frame = Frame();
    // The toolbar starts hidden, the status bar shows the idle text.
    EXPECT_TRUE(frame->m_wndToolBar->isHidden());
    EXPECT_FALSE(frame->statusBar()->isHidden());
    EXPECT_EQ(frame->MessageText(), "Ready");

    // Bars in creation order: key frames, palette (bottom), library (top),
    // command (right).
    const auto& bars = frame->ControlBars();
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_EQ(bars[0]->Id(), 303);
    EXPECT_EQ(bars[1]->Id(), 233);
    EXPECT_EQ(bars[2]->Id(), 232);
    EXPECT_EQ(bars[3]->Id(), 231);
    // The bars lie between the menu bar and the status bar.
    const QRect client = frame->ClientRect();
    EXPECT_EQ(client.top(), frame->menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(client.bottom() + 1, frame->statusBar()->geometry().top());
    EXPECT_EQ(client.width(), frame->width());
    for (CControlBar* b : bars) EXPECT_TRUE(b->IsBarVisible()) << b->Id();
    // Top and bottom bars span the whole width; the right bar lies between.
    EXPECT_EQ(frame->m_wndKeyFrameBar->geometry().width(), client.width());
    EXPECT_EQ(frame->m_wndKeyFrameBar->geometry().bottom(), client.bottom());
    EXPECT_EQ(frame->m_wndPaletteBar->geometry().bottom() + 1, frame->m_wndKeyFrameBar->geometry().top());
    EXPECT_EQ(frame->m_wndLibraryBar->geometry().top(), client.top());
    EXPECT_EQ(frame->m_wndLibraryBar->geometry().width(), client.width());
    const QRect right = frame->m_wndCommandBar->geometry();
    EXPECT_EQ(right.top(), frame->m_wndLibraryBar->geometry().bottom() + 1);
    EXPECT_EQ(right.bottom() + 1, frame->m_wndPaletteBar->geometry().top());
    EXPECT_EQ(right.right(), client.right());
    EXPECT_EQ(frame->MdiArea()->geometry().right() + 1, right.left());
    // Sizes from the bar templates (dialog units of 6 x 13 pixels); the
    // right bar adds the scroll bar of its panel while the panel is taller.
    const int scrollBar = frame->m_pCommandPanel->height() > right.height()
                              ? frame->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                              : 0;
    EXPECT_EQ(right.width(), MapDialogSize(QSize(186, 423)).width() + scrollBar);
    EXPECT_EQ(frame->m_wndLibraryBar->height(), MapDialogSize(QSize(957, 41)).height());
    EXPECT_EQ(frame->m_wndPaletteBar->height(), MapDialogSize(QSize(786, 18)).height());
    EXPECT_EQ(frame->m_wndKeyFrameBar->height(), MapDialogSize(QSize(372, 26)).height());
}

TEST_F(StartUp, MenusFollowTheActiveDocument)
{
    Start();
    CMainFrame* frame = Frame();
    EXPECT_EQ(MenuTitles(frame), (QStringList{"&File", "&Edit", "&View", "&Window", "&Help", "&Tip"}));
    EXPECT_EQ(MenuItems(frame, "&File"),
              (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "&Close", "&Save\tCtrl+S", "Save &As...", "-",
                           "&Print...\tCtrl+P", "Print Pre&view", "Print Set&up...", "-", "Recent File", "-",
                           "E&xit"}));
    EXPECT_EQ(MenuItems(frame, "&Tip"), QStringList{"Tip of the &Day..."});
    EXPECT_EQ(frame->Action(ID_TIP_OF_THE_DAY)->data().toInt(), 105);
    EXPECT_EQ(frame->Action(ID_FILE_NEW)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(frame->Action(ID_FILE_SAVE_TEXTURE)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

    // With the last document closed the short menu shows, "&Tip" still once.
    Doc()->GetDocTemplate()->CloseDocument(Doc());
    DrainEvents();
    EXPECT_EQ(frame->MDIGetActive(), nullptr);
    EXPECT_EQ(MenuTitles(frame), (QStringList{"&File", "&View", "&Help", "&Tip"}));
    EXPECT_EQ(MenuItems(frame, "&File"),
              (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "-", "Print Set&up...", "-", "Recent File", "-",
                           "E&xit"}));
    EXPECT_EQ(frame->windowTitle(), "Morvane");

    // New brings the texture menu back and numbers on.
    frame->SendCommand(ID_FILE_NEW);
    DrainEvents();
    EXPECT_EQ(Doc()->GetTitle(), "Quillo2");
    EXPECT_EQ(MenuTitles(frame).size(), 6);
}

TEST_F(StartUp, WithFileOpensItFittedToItsImage)
{
    Texture t = ThreeLayers(200, 90);
    const QString file = Path("Three.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), t).error, "");
    Start({file});
    ASSERT_EQ(Frame()->ChildFrames().size(), 1u);
    CQuillonDoc* doc = Doc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(doc->GetTitle(), "Three.zyv");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->m_texture.LayerCount(), 3);
    EXPECT_EQ(doc->m_sizeImage, QSize(200, 90));
    EXPECT_EQ(View()->ClientSize(), QSize(200, 90));
    EXPECT_EQ(Frame()->windowTitle(), "Morvane - Three.zyv");
}

TEST_F(StartUp, WithSeveralFilesOpensEach)
{
    QStringList files;
    for (const QString name : {"one.zyv", "two.zyv", "three.zyv"}) {
        files << Path(name);
        ASSERT_EQ(WriteTextureFile(files.back().toStdString(), ThreeLayers(100, 80)).error, "");
    }
    Start(files);
    QStringList titles;
    for (CMDIChildWnd* child : Frame()->ChildFrames()) {
        titles << child->GetActiveDocument()->GetTitle();
        // Each window shows exactly its image, fitted before the main
        // window showed as well as after.
        EXPECT_EQ(child->GetActiveView()->ClientSize(), QSize(100, 80)) << titles.last().toStdString();
    }
    EXPECT_EQ(titles, (QStringList{"one.zyv", "two.zyv", "three.zyv"}));
    EXPECT_EQ(Doc()->GetTitle(), "three.zyv");
}

TEST_F(StartUp, WithAFileThatCannotBeReadSaysSoAndGoesOn)
{
    Start({Path("missing.zyv")});
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.contains("missing.zyv"));
    EXPECT_TRUE(Frame()->ChildFrames().empty());
    EXPECT_TRUE(Frame()->isVisible());
}

TEST_F(StartUp, InterfaceTextureFromTheWorkingFolder)
{
    QDir().mkpath(m_dir.path() + "/root/kvo");
    ASSERT_EQ(WriteTextureFile((m_dir.path() + "/root/kvo/Interface.ZYV").toStdString(), ThreeLayers(10, 10)).error, "");
    Start();
    EXPECT_EQ(m_app->m_strInterfaceTexture, "\\kvo\\interface.zyv");
    EXPECT_EQ(m_app->m_interfaceTexture.LayerCount(), 3);

    // "Interface Background..." with a file that is no texture changes
    // nothing and says why.
    const QString bad = Path("bad.zyv");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("short");
    }
    Ui().files = {{bad}};
    Frame()->SendCommand(ID_LOAD_INTERFACE_TEXTURE);
    ASSERT_EQ(Ui().fileRequests.size(), 1u);
    EXPECT_EQ(Ui().fileRequests[0].title, "Open and Load a Texture");
    EXPECT_EQ(Ui().fileRequests[0].filter, "Texture File (*.zyv) | *.zyv| Layer File (*.kvo) | *.kvo||");
    EXPECT_EQ(Ui().fileRequests[0].defaultExt, "kvo");
    EXPECT_EQ(Ui().fileRequests[0].initialDir, "\\kvo");
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.contains("bad.zyv"));
    EXPECT_EQ(m_app->m_interfaceTexture.LayerCount(), 3);
    EXPECT_EQ(m_app->m_strInterfaceTexture, "\\kvo\\interface.zyv");

    // A good one replaces it.
    const QString good = Path("good.zyv");
    ASSERT_EQ(WriteTextureFile(good.toStdString(), NewTexture(MaterialPresetTable())).error, "");
    Ui().files = {{good}};
    Frame()->SendCommand(ID_LOAD_INTERFACE_TEXTURE);
    EXPECT_EQ(m_app->m_interfaceTexture.LayerCount(), 1);
    EXPECT_EQ(m_app->m_strInterfaceTexture, good);
}

TEST_F(StartUp, PrintCommandLinePrintsAndEnds)
{
    const QString file = Path("p.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), NewTexture(MaterialPresetTable())).error, "");
    m_app = std::make_unique<CQuillonApp>(Ui(), ProfilePath());
    EXPECT_FALSE(m_app->InitInstance({"/p", file}));
}
