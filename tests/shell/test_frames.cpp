#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QMimeData>
#include <QToolBar>
#include <QUrl>

#include "ShellFixture.h"
#include "platform/ControlBar.h"
#include "platform/Document.h"
#include "platform/MDIChildWnd.h"
#include "platform/RenderGuard.h"

#include <QMenu>
#include <QMenuBar>

using namespace morvane;
using namespace morvane::test;

class Frames : public ShellTest {};

namespace {

// A drag of `file` entering the window and dropped on it.
void DropFile(QWidget* target, const QString& file)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

}  // namespace

TEST_F(Frames, BarTogglesAndTheirCheckMarks)
{
    Start();
    CMainFrame* frame = Frame();
    const std::pair<int, CControlBar*> toggles[] = {{ID_TOGGLE_COMMAND_BAR, frame->m_wndCommandBar},
                                                    {ID_TOGGLE_LIBRARY, frame->m_wndLibraryBar},
                                                    {ID_TOGGLE_PALETTE, frame->m_wndPaletteBar},
                                                    {ID_TOGGLE_KEYFRAMES, frame->m_wndKeyFrameBar}};
    for (auto [id, bar] : toggles) {
        SCOPED_TRACE(id);
        QAction* a = frame->Action(id);
        frame->UpdateCommandUI();
        EXPECT_TRUE(a->isCheckable());
        EXPECT_TRUE(a->isChecked());
        const QRect mdiBefore = frame->MdiArea()->geometry();
        frame->SendCommand(id);
        EXPECT_FALSE(bar->IsBarVisible());
        EXPECT_FALSE(a->isChecked());
        // The frame is laid out again at once: the MDI area takes the room.
        EXPECT_GT(frame->MdiArea()->geometry().width() * frame->MdiArea()->geometry().height(),
                  mdiBefore.width() * mdiBefore.height());
        frame->SendCommand(id);
        EXPECT_TRUE(bar->IsBarVisible());
        EXPECT_TRUE(a->isChecked());
        EXPECT_EQ(frame->MdiArea()->geometry(), mdiBefore);
    }
    // Each toggle is on the View menu.
    QStringList view;
    for (QAction* m : frame->menuBar()->actions())
        if (m->text() == "&View")
            for (QAction* i : m->menu()->actions()) view << i->text();
    EXPECT_TRUE(view.contains("&Command Bar"));
    EXPECT_TRUE(view.contains("Texture &Library"));
    EXPECT_TRUE(view.contains("Colors &Palette"));
    EXPECT_TRUE(view.contains("&Key Frames"));
    EXPECT_EQ(frame->Action(ID_TOGGLE_COMMAND_BAR)->statusTip(), "Display or hide the command block");

    // The toolbar starts hidden; View > Toolbars shows it.
    QAction* tb = frame->Action(ID_VIEW_TOOLBAR);
    frame->UpdateCommandUI();
    EXPECT_FALSE(tb->isChecked());
    frame->SendCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame->m_wndToolBar->isHidden());
    EXPECT_TRUE(tb->isChecked());
    QAction* sb = frame->Action(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(sb->isChecked());
    frame->SendCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(sb->isChecked());
}

TEST_F(Frames, ExitAsksOncePerModifiedDocument)
{
    Start();
    Frame()->SendCommand(ID_FILE_NEW);
    Frame()->SendCommand(ID_FILE_NEW);
    auto docs = m_app->AllDocuments();
    ASSERT_EQ(docs.size(), 3u);
    docs[0]->SetModifiedFlag();
    docs[2]->SetModifiedFlag();
    Ui().answers = {IDNO, IDNO};
    Frame()->SendCommand(ID_APP_EXIT);
    ASSERT_EQ(Ui().messages.size(), 2u);
    EXPECT_EQ(Ui().messages[0].text, "The Document  Quillo1 has been modified !!\nDo you wish to Save your Current Work ??");
    EXPECT_EQ(Ui().messages[1].text, "The Document  Quillo3 has been modified !!\nDo you wish to Save your Current Work ??");
    EXPECT_EQ(Ui().messages[0].style, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(Ui().messages[0].caption, "Morvane");
    EXPECT_TRUE(m_app->QuitRequested());
    EXPECT_FALSE(Frame()->isVisible());
    EXPECT_EQ(Ui().messages.size(), 2u);  // closing the frame asks nothing more
}

TEST_F(Frames, ExitWithNothingModifiedAsksNothing)
{
    Start();
    Frame()->SendCommand(ID_APP_EXIT);
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_TRUE(m_app->QuitRequested());
}

TEST_F(Frames, ExitStaysWhenASaveFails)
{
    Start();
    CQuillonDoc* doc = Doc();
    doc->SetPathName(Path("no/such/folder/x.zyv"));
    doc->SetModifiedFlag();
    Ui().answers = {IDYES};
    Frame()->SendCommand(ID_APP_EXIT);
    ASSERT_EQ(Ui().messages.size(), 2u);  // the question, then why the save failed
    EXPECT_TRUE(Ui().messages[1].text.contains("x.zyv"));
    EXPECT_FALSE(m_app->QuitRequested());
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_TRUE(doc->IsModified());

    // Saving to a place that works lets the program end.
    doc->SetPathName(Path("x.zyv"));
    Ui().answers = {IDYES};
    Frame()->SendCommand(ID_APP_EXIT);
    EXPECT_TRUE(m_app->QuitRequested());
    EXPECT_TRUE(QFileInfo::exists(Path("x.zyv")));
}

TEST_F(Frames, ClosingTheMainWindowAsksLikeExit)
{
    Start();
    Doc()->SetModifiedFlag();
    Ui().answers = {IDNO};
    EXPECT_TRUE(Frame()->close());
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.startsWith("The Document  Quillo1 has been modified"));
}

TEST_F(Frames, ClosingAChildAsksForItsModifiedDocument)
{
    Start();
    CChildFrame* child = Frame()->ActiveChildFrame();
    Doc()->SetModifiedFlag();
    Ui().answers = {IDNO};
    child->close();
    DrainEvents();
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "The Document  Quillo1 has been modified !!\nDo you wish to Save your Current Work ??");
    EXPECT_TRUE(m_app->AllDocuments().empty());
}

TEST_F(Frames, ActivationShowsLayerOneOfTheActiveDocument)
{
    Start();
    CMainFrame* frame = Frame();
    CChildFrame* first = frame->ActiveChildFrame();
    frame->SendCommand(ID_FILE_NEW);
    CChildFrame* second = frame->ActiveChildFrame();
    ASSERT_NE(first, second);
    Doc()->m_texture = ThreeLayers(160, 120);
    Session().SetCurrentLayer(3);

    frame->MdiArea()->setActiveSubWindow(first);
    EXPECT_EQ(frame->ActiveChildFrame(), first);
    EXPECT_EQ(Session().CurrentLayer(), 1);
    EXPECT_EQ(Session().Texture()->LayerCount(), 1);
    Session().SetCurrentLayer(7);
    // The main window losing focus (a null activation) changes nothing.
    frame->MdiArea()->setActiveSubWindow(nullptr);
    EXPECT_EQ(Session().CurrentLayer(), 7);
    frame->MdiArea()->setActiveSubWindow(second);
    EXPECT_EQ(Session().CurrentLayer(), 1);
    EXPECT_EQ(Session().Texture()->LayerCount(), 3);
    EXPECT_EQ(frame->windowTitle(), "Morvane - Quillo2");
}

TEST_F(Frames, NewWindowAndClose)
{
    Start();
    CMainFrame* frame = Frame();
    CQuillonDoc* doc = Doc();
    frame->SendCommand(ID_WINDOW_NEW);
    DrainEvents();
    ASSERT_EQ(doc->Views().size(), 2u);
    EXPECT_EQ(frame->ActiveChildFrame()->windowTitle(), "Quillo1:2[*]");
    EXPECT_EQ(View()->ClientSize(), QSize(160, 120));
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), RenderImage(doc->m_texture, 160, 120, 0, 0, true), 160, 120));
    // File > Close closes the document with every window, asking once.
    doc->SetModifiedFlag();
    Ui().answers = {IDNO};
    frame->SendCommand(ID_FILE_CLOSE);
    DrainEvents();
    EXPECT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(frame->ChildFrames().empty());
    EXPECT_TRUE(m_app->AllDocuments().empty());
}

TEST_F(Frames, DroppedFilesOpenLikeFileOpen)
{
    Start();
    const QString file = Path("dropped.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), ThreeLayers(100, 80)).error, "");
    DropFile(Frame(), file);
    DrainEvents();
    ASSERT_EQ(Frame()->ChildFrames().size(), 2u);
    EXPECT_EQ(Doc()->GetTitle(), "dropped.zyv");
    EXPECT_EQ(View()->ClientSize(), QSize(100, 80));

    // A drop during a render opens the file when the render has ended.
    const QString later = Path("later.zyv");
    ASSERT_EQ(WriteTextureFile(later.toStdString(), ThreeLayers(60, 50)).error, "");
    {
        RenderGuard guard;
        DropFile(Frame(), later);
        EXPECT_EQ(Frame()->ChildFrames().size(), 2u);
    }
    DrainEvents();
    ASSERT_EQ(Frame()->ChildFrames().size(), 3u);
    EXPECT_EQ(Doc()->GetTitle(), "later.zyv");
}

TEST_F(Frames, BarsAreFixedDocksThatShowTheWindowBackground)
{
    Start();
    CMainFrame* frame = Frame();
    const std::pair<CControlBar*, Qt::DockWidgetArea> bars[] = {{frame->m_wndCommandBar, Qt::RightDockWidgetArea},
                                                                {frame->m_wndLibraryBar, Qt::TopDockWidgetArea},
                                                                {frame->m_wndPaletteBar, Qt::BottomDockWidgetArea},
                                                                {frame->m_wndKeyFrameBar, Qt::BottomDockWidgetArea}};
    for (auto [bar, area] : bars) {
        SCOPED_TRACE(bar->Id());
        // Docked in the main window's area, with no title, and nothing the
        // user could move, float or close.
        EXPECT_EQ(frame->dockWidgetArea(bar), area);
        EXPECT_EQ(bar->features(), QDockWidget::NoDockWidgetFeatures);
        EXPECT_FALSE(bar->IsFloating());
        ASSERT_NE(bar->titleBarWidget(), nullptr);
        EXPECT_EQ(bar->titleBarWidget()->height(), 0);

        // Where no panel lies, the bar shows the window's background
        // (inside the edge it draws towards the MDI area).
        const QImage shot = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shot.size(), bar->size());
        QRegion bare(bar->rect().adjusted(2, 2, -2, -2));
        for (QWidget* child : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible() && (child->objectName().endsWith("Panel") || child->objectName() == "panelScroller"))
                bare -= child->geometry();
        }
        const QRgb background = bar->palette().color(QPalette::Window).rgb();
        int wrong = 0;
        QPoint firstWrong;
        for (const QRect& r : bare) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    if (shot.pixel(x, y) == background) continue;
                    if (wrong++ == 0) firstWrong = QPoint(x, y);
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "first at " << firstWrong.x() << "," << firstWrong.y() << ": " << std::hex
                            << shot.pixel(firstWrong);
    }
    // The command panel lies in its bar's top-left corner.
    EXPECT_TRUE(frame->m_wndCommandBar->isAncestorOf(frame->m_pCommandPanel));
    EXPECT_EQ(frame->m_pCommandPanel->mapTo(frame, QPoint(0, 0)), frame->m_wndCommandBar->geometry().topLeft());
    // Bars and toolbar have no context menu of their own: View shows them.
    EXPECT_EQ(frame->createPopupMenu(), nullptr);
}

TEST_F(Frames, EscapeStopsExitOrCloseWithNothingLost)
{
    Start();
    Frame()->SendCommand(ID_FILE_NEW);
    Frame()->SendCommand(ID_FILE_NEW);
    const auto docs = m_app->AllDocuments();
    ASSERT_EQ(docs.size(), 3u);
    for (CDocument* d : docs) d->SetModifiedFlag();

    // No for the first, Escape for the second: the third is not asked.
    Ui().answers = {IDNO, ScriptedDialogs::kEscape};
    Frame()->SendCommand(ID_APP_EXIT);
    ASSERT_EQ(Ui().messages.size(), 2u);
    EXPECT_TRUE(Ui().messages[1].text.startsWith("The Document  Quillo2 has been modified !!"));
    EXPECT_FALSE(m_app->QuitRequested());
    EXPECT_TRUE(Frame()->isVisible());
    ASSERT_EQ(m_app->AllDocuments(), docs);
    for (CDocument* d : docs) EXPECT_TRUE(d->IsModified());

    // So does closing the main window.
    Ui().answers = {ScriptedDialogs::kEscape};
    EXPECT_FALSE(Frame()->close());
    EXPECT_EQ(m_app->AllDocuments(), docs);

    // Closing a window of the document asks under the window's own name;
    // Escape keeps the window.
    Ui().messages.clear();
    Frame()->MdiArea()->setActiveSubWindow(docs[0]->Views()[0]->GetParentFrame());
    Frame()->SendCommand(ID_WINDOW_NEW);
    DrainEvents();
    CChildFrame* second = Frame()->ActiveChildFrame();
    Ui().answers = {ScriptedDialogs::kEscape};
    second->close();
    DrainEvents();
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "The Document  Quillo1:2 has been modified !!\nDo you wish to Save your Current Work ??");
    EXPECT_EQ(docs[0]->Views().size(), 2u);
    EXPECT_EQ(m_app->AllDocuments(), docs);

    // So does File > Close: every window of the document stays.
    ASSERT_EQ(Frame()->ChildFrames().size(), 4u);
    Ui().messages.clear();
    Ui().answers = {ScriptedDialogs::kEscape};
    Frame()->SendCommand(ID_FILE_CLOSE);
    DrainEvents();
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Frame()->ChildFrames().size(), 4u);
    EXPECT_EQ(docs[0]->Views().size(), 2u);
    EXPECT_EQ(m_app->AllDocuments(), docs);
    EXPECT_TRUE(docs[0]->IsModified());
}

TEST_F(Frames, TheTitleMarksAModifiedDocumentUntilItIsSaved)
{
    const QString file = Path("marked.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), ThreeLayers(60, 40)).error, "");
    Start({file});
    CChildFrame* child = Frame()->ActiveChildFrame();
    EXPECT_EQ(child->windowTitle(), "marked.zyv[*]");
    EXPECT_FALSE(child->isWindowModified());

    // Another material, chosen from the list with the keyboard.
    QComboBox* material = Frame()->m_pCommandPanel->materialCombo;
    material->setFocus();
    QTest::keyClick(material, Qt::Key_Down);
    DrainEvents();
    ASSERT_TRUE(Doc()->IsModified());
    EXPECT_TRUE(child->isWindowModified());
    // A second window of the document shows the mark too.
    Frame()->SendCommand(ID_WINDOW_NEW);
    DrainEvents();
    EXPECT_TRUE(Frame()->ActiveChildFrame()->isWindowModified());

    QTest::keyClick(View(), Qt::Key_S, Qt::ControlModifier);
    DrainEvents();
    EXPECT_EQ(Contents(file), Encoded(Doc()->m_texture));
    EXPECT_FALSE(child->isWindowModified());
    EXPECT_FALSE(Frame()->ActiveChildFrame()->isWindowModified());
}

TEST_F(Frames, F6AndShiftF6GoToTheNextAndPreviousWindow)
{
    Start();
    Frame()->SendCommand(ID_FILE_NEW);
    Frame()->SendCommand(ID_FILE_NEW);
    const std::vector<CMDIChildWnd*> frames = Frame()->ChildFrames();
    ASSERT_EQ(frames.size(), 3u);
    ASSERT_EQ(Frame()->ActiveChildFrame(), frames[2]);
    QTest::keyClick(View(), Qt::Key_F6);
    EXPECT_EQ(Frame()->ActiveChildFrame(), frames[0]);
    QTest::keyClick(View(), Qt::Key_F6);
    EXPECT_EQ(Frame()->ActiveChildFrame(), frames[1]);
    QTest::keyClick(View(), Qt::Key_F6, Qt::ShiftModifier);
    QTest::keyClick(View(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(Frame()->ActiveChildFrame(), frames[2]);
    // There is no help file: F1, Shift+F1 and Help Topics, on the Help
    // menu as it shows and on the toolbar, stay greyed.
    EXPECT_FALSE(Frame()->Action(ID_HELP)->isEnabled());
    EXPECT_FALSE(Frame()->Action(ID_CONTEXT_HELP)->isEnabled());
    auto helpTopics = [this]() -> QAction* {
        for (QAction* m : Frame()->menuBar()->actions())
            if (m->text() == "&Help")
                for (QAction* i : m->menu()->actions())
                    if (i->text() == "&Help Topics") {
                        m->menu()->popup(QPoint(0, 0));
                        DrainEvents();
                        m->menu()->hide();
                        return i;
                    }
        return nullptr;
    };
    QAction* topics = helpTopics();
    ASSERT_NE(topics, nullptr);
    EXPECT_FALSE(topics->isEnabled());
    EXPECT_FALSE(Frame()->Action(ID_HELP_FINDER)->isEnabled());
    // Without a document the menu is another one; its Help Topics too.
    for (CMDIChildWnd* f : frames) f->close();
    DrainEvents();
    ASSERT_EQ(Frame()->ActiveChildFrame(), nullptr);
    topics = helpTopics();
    ASSERT_NE(topics, nullptr);
    EXPECT_FALSE(topics->isEnabled());
}

TEST_F(Frames, TheLockKeyPanesShowWhatTheWindowSystemTells)
{
    Start();
    auto shown = [this] {
        QStringList texts;
        for (const char* name : {"CAP", "NUM", "SCRL"}) {
            auto* pane = Frame()->statusBar()->findChild<QLabel*>(QStringLiteral("indicator") + name);
            texts << (pane ? pane->text() : QStringLiteral("?"));
        }
        return texts;
    };
    // Offscreen nothing tells the lock keys' state: the panes stay empty.
    QTest::keyClick(View(), Qt::Key_CapsLock);
    EXPECT_EQ(shown(), (QStringList{"", "", ""}));

    // Where the window system tells it, every key reads it again, and so
    // does the program becoming active.
    LockKeyState state{true, false, true};
    Frame()->SetLockKeyReader([&state] { return std::optional<LockKeyState>(state); });
    EXPECT_EQ(shown(), (QStringList{"CAP", "", "SCRL"}));
    state = {false, true, false};
    QTest::keyClick(View(), Qt::Key_NumLock);
    EXPECT_EQ(shown(), (QStringList{"", "NUM", ""}));
    state = {true, true, true};
    QApplicationStateChangeEvent active(Qt::ApplicationActive);
    QCoreApplication::sendEvent(qApp, &active);
    EXPECT_EQ(shown(), (QStringList{"CAP", "NUM", "SCRL"}));
    Frame()->SetLockKeyReader(nullptr);
    EXPECT_EQ(shown(), (QStringList{"", "", ""}));
}

TEST_F(Frames, AKeyAndAMenuShowingAreEachTakenOnce)
{
    Start();
    // A key reaches the window, the focus widget and its parents: the lock
    // keys are read once as it is pressed and once as it is released.
    int reads = 0;
    Frame()->SetLockKeyReader([&reads] {
        ++reads;
        return std::optional<LockKeyState>();
    });
    reads = 0;
    QTest::keyClick(View(), Qt::Key_A);
    EXPECT_EQ(reads, 2);
    reads = 0;
    QTest::keyClick(Frame()->windowHandle(), Qt::Key_A);
    EXPECT_EQ(reads, 2);

    int updates = 0;
    Frame()->OnUpdateCommand(ID_FILE_MRU_FILE1 + 7, [&updates](QAction*) { ++updates; });
    QMenu* file = Frame()->menuBar()->actions().at(0)->menu();
    file->popup(Frame()->mapToGlobal(QPoint(10, 10)));
    EXPECT_EQ(updates, 1);
    file->hide();
}
