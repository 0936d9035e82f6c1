#include <QElapsedTimer>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "ShellFixture.h"
#include "engine/Cpu.h"
#include "engine/LibraryFile.h"
#include "engine/Noise.h"
#include "platform/ControlBar.h"
#include "platform/DialogUnits.h"
#include "platform/MDIChildWnd.h"
#include "platform/QtDialogs.h"
#include "shell/SplashWnd.h"
#include "support/ManualClock.h"

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

// Starts the editor with the Qt dialogs, as a user starts it, and waits
// in the first message box it shows.  When the box shows over the splash,
// the splash's time is up (its clock is moved on) while the box runs; a
// moment after the splash has gone, with the box still open, this writes
// the box's text to the error stream ("shown over the splash: ..." when
// the splash was up as the box showed) and ends the process with 0.  It
// ends with 1 when no box stayed.  Meant for the child process of a death
// test.
[[noreturn]] void WaitInTheFirstMessageBox(const QStringList& arguments, const std::filesystem::path& profile,
                                           QTemporaryDir& dir)
{
    ManualClock clock;
    QtDialogs dialogs;
    CQuillonApp app(dialogs, profile);
    bool overTheSplash = false;
    QElapsedTimer splashGone;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (CSplashWnd::Current()) {
            overTheSplash = true;
            clock.Advance(1500);
            return;
        }
        if (!splashGone.isValid()) splashGone.start();
        if (splashGone.elapsed() < 300) return;
        std::fprintf(stderr, "%s: %s\n", overTheSplash ? "shown over the splash" : "shown", qPrintable(box->text()));
        std::fflush(stderr);
        dir.remove();
        std::_Exit(0);
    });
    watch.start(20);
    app.InitInstance(arguments);
    std::fprintf(stderr, "no message box stayed\n");
    dir.remove();
    std::_Exit(1);
}

}  // namespace

class StartUp : public ShellTest {};

// A message box shown while the splash is up outlives the splash: the
// editor keeps running with the message shown, whatever the message.
TEST_F(StartUp, AMessageShownWhileTheSplashIsUpKeepsTheEditorRunning)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const QString corrupt = Path("corrupt.zyv");
    {
        QFile f(corrupt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("short");
    }
    const QString fifo = Path("pipe.zyv");
    ASSERT_EQ(mkfifo(fifo.toUtf8().constData(), 0600), 0);
    for (const auto& [file, shown] : {std::pair{Path("missing.zyv"), "missing\\.zyv"},
                                      std::pair{corrupt, "corrupt\\.zyv"}, std::pair{fifo, "pipe\\.zyv"}}) {
        EXPECT_EXIT(WaitInTheFirstMessageBox({file}, ProfilePath(), m_dir), ::testing::ExitedWithCode(0),
                    std::string("shown over the splash: .*") + shown);
    }

    // The default library, first on the data-file search path: a file that
    // is no library, then a library whose texture's picture is missing.
    QDir().mkpath(Path("root/kvo"));
    const std::string library = Path("root/kvo/default.jxw").toStdString();
    {
        QFile f(QString::fromStdString(library));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("no library");
    }
    EXPECT_EXIT(WaitInTheFirstMessageBox({}, ProfilePath(), m_dir), ::testing::ExitedWithCode(0),
                "shown over the splash: .*default\\.jxw");

    Texture pictured = PresetTexture(MaterialPresetTable(), 24);
    pictured.layers[0].layer.SetPicturePath("C:\\kvo\\pictures\\gone.tga");
    ASSERT_EQ(WriteTextureFile(Path("root/kvo/pictured.zyv").toStdString(), pictured).error, "");
    const std::vector<LibraryEntry> entries{{"\\pictured.zyv", "C:\\kvo\\pictured.zyv"}};
    ASSERT_EQ(WriteLibraryFile(library, entries).error, "");
    EXPECT_EXIT(WaitInTheFirstMessageBox({}, ProfilePath(), m_dir), ::testing::ExitedWithCode(0),
                "shown over the splash: .*gone\\.tga");
}

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
