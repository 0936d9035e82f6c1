#include "shell/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "engine/TextureFile.h"
#include "panels/CommandBar.h"
#include "panels/KeyFrameDlg.h"
#include "panels/KvoPPal.h"
#include "panels/LibraryDlg.h"
#include "platform/Background.h"
#include "platform/ControlBar.h"
#include "platform/DialogUnits.h"
#include "platform/Document.h"
#include "platform/FileName.h"
#include "platform/MDIChildWnd.h"
#include "platform/Panel.h"
#include "platform/View.h"
#include "shell/ChildFrame.h"
#include "shell/QuillonApp.h"
#include "shell/QuillonDoc.h"
#include "shell/QuillonView.h"
#include "shell/Resource.h"
#include "shell/SplashWnd.h"

CMainFrame::CMainFrame(CQuillonApp& app)
    : m_app(app), m_backgrounds(&app.m_interfaceTexture), m_session(app.Ui(), m_backgrounds, &app.m_sphereTable)
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(shelltext::kAppTitle);
    // A panel that gives the active document another image size (a layer
    // picture): the view scrolls over it and the window moves to the
    // corner and fits it.
    connect(&m_session, &EditingSession::edited, this, [this](int index, EditingSession::Changes what) {
        CQuillonDoc* doc = ActiveDocument();
        if (!(what & EditingSession::ImageSize) || !doc || index < 0 || index >= doc->m_texture.LayerCount()) return;
        const morvane::LayerRecord& rec = doc->m_texture.layers[static_cast<size_t>(index)].layer.rec;
        const QSize size(morvane::StoredImageWidth(rec), morvane::StoredImageHeight(rec));
        if (!size.isEmpty()) SetActiveImageSize(size, FitCorner);
    });
}

CMainFrame::~CMainFrame()
{
    // The document windows and the panels were handed the session: they go
    // before it does.
    DestroyChildren();
}

bool CMainFrame::LoadFrame()
{
    // The toolbar: New, Open, Save, Print, Help Topics and context help.
    m_wndToolBar = new QToolBar(QStringLiteral("Standard"), this);
    m_wndToolBar->setObjectName(QStringLiteral("toolBar"));
    m_wndToolBar->setIconSize(QSize(16, 15));
    m_wndToolBar->setMovable(false);
    QStyle* st = style();
    Action(ID_FILE_NEW)->setIcon(st->standardIcon(QStyle::SP_FileIcon));
    Action(ID_FILE_OPEN)->setIcon(st->standardIcon(QStyle::SP_DialogOpenButton));
    Action(ID_FILE_SAVE_TEXTURE)->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
    Action(ID_FILE_PRINT)->setIcon(st->standardIcon(QStyle::SP_FileDialogDetailedView));
    Action(ID_HELP_FINDER)->setIcon(st->standardIcon(QStyle::SP_DialogHelpButton));
    Action(ID_CONTEXT_HELP)->setIcon(st->standardIcon(QStyle::SP_TitleBarContextHelpButton));
    m_wndToolBar->addAction(Action(ID_FILE_NEW));
    m_wndToolBar->addAction(Action(ID_FILE_OPEN));
    m_wndToolBar->addAction(Action(ID_FILE_SAVE_TEXTURE));
    m_wndToolBar->addSeparator();
    m_wndToolBar->addAction(Action(ID_FILE_PRINT));
    m_wndToolBar->addAction(Action(ID_HELP_FINDER));
    m_wndToolBar->addAction(Action(ID_CONTEXT_HELP));
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    // The status bar: the message pane and the lock-key indicators.
    CreateStatusBarIndicators();

    // The four bars, always in this order: it decides which bars span the
    // frame's width (the bottom and top ones) and which only the height
    // left between them (the right one).
    m_wndKeyFrameBar = CreateControlBar(IDD_KEYFRAME_BAR, CControlBar::Bottom, MapDialogSize(QSize(372, 26)));
    m_wndPaletteBar = CreateControlBar(IDD_PALETTE_BAR, CControlBar::Bottom, MapDialogSize(QSize(786, 18)));
    m_wndLibraryBar = CreateControlBar(IDD_LIBRARY_BAR, CControlBar::Top, MapDialogSize(QSize(957, 41)));
    m_wndCommandBar = CreateControlBar(IDD_COMMAND_BAR, CControlBar::Right, MapDialogSize(QSize(186, 423)));
    // The key-frame bar's template also holds a black rectangle; the
    // key-frame panel covers it whole, so it is not made: a bar shows the
    // window's background wherever no panel lies.

    CreatePanels();
    BindFrameCommands();
    BuildMenus(false);

    m_wndToolBar->hide();
    RecalcLayout();
    // The program's picture over the frame for a moment.
    CSplashWnd::ShowSplash(this);
    return true;
}

void CMainFrame::CreatePanels()
{
    // The command panel and the library panel first; then the palette and
    // key-frame panels.
    m_pCommandPanel = new CCommandBar(m_session);
    m_wndCommandBar->AddPanel(m_pCommandPanel);

    m_pLibraryPanel = new CLibraryDlg(m_session);
    m_wndLibraryBar->AddPanel(m_pLibraryPanel);
    connect(m_pLibraryPanel, &CLibraryDlg::textureCopied, this, &CMainFrame::OnLibraryTextureCopied);
    m_pPalettePanel = new CKvoPPal(m_session);
    m_wndPaletteBar->AddPanel(m_pPalettePanel);
    m_pKeyFramePanel = new CKeyFrameDlg(m_session);
    m_wndKeyFrameBar->AddPanel(m_pKeyFramePanel);
    // A command reads the layer with what the user typed into a field.
    CPanel* const panels[] = {m_pCommandPanel, m_pLibraryPanel, m_pPalettePanel, m_pKeyFramePanel};
    for (CPanel* panel : panels) connect(this, &CMDIFrameWnd::commandStarting, panel, &CPanel::CommitFocusedField);
}

void CMainFrame::OnLibraryTextureCopied()
{
    CQuillonDoc* doc = ActiveDocument();
    if (!doc || doc->m_texture.layers.empty()) return;
    SetActiveImageSize(doc->StoredImageSize(), FitInPlace);
}

CChildFrame* CMainFrame::ActiveChildFrame() const { return qobject_cast<CChildFrame*>(MDIGetActive()); }

CQuillonDoc* CMainFrame::ActiveDocument() const { return qobject_cast<CQuillonDoc*>(GetActiveDocument()); }

CQuillonView* CMainFrame::CreateView()
{
    auto* view = new CQuillonView(m_session);
    if (m_pCommandPanel)
        connect(view, &CQuillonView::renderProgress, m_pCommandPanel, &CCommandBar::ShowRenderProgress);
    return view;
}

void CMainFrame::ShowTextureInPanels() { m_session.ShowTexture(); }

void CMainFrame::ResetPanelBackgrounds()
{
    m_backgrounds.Clear();
    update();
    for (CControlBar* bar : ControlBars()) bar->update();
}

QSize CMainFrame::FreeClientSize() const
{
    // The area's own room, without the scroll bars it shows while a window
    // reaches past it: laid out already before the main window shows.
    return MdiArea()->contentsRect().size();
}

void CMainFrame::SetActiveImageSize(QSize size, FitMode mode)
{
    CQuillonDoc* doc = ActiveDocument();
    if (!doc) return;
    doc->m_sizeImage = size;
    if (CView* view = GetActiveView()) view->SetScrollSizes(size);
    FitChildFrame(ActiveChildFrame(), size, mode);
}

QSize CMainFrame::FittedFrameSize(const CChildFrame* frame, QSize image, QPoint at) const
{
    // The frame that shows the whole image, but no more than the room
    // right of and below `at`: worked out before the frame is touched, so
    // that the frame is never sized for an image larger than the room.
    const QSize free = FreeClientSize();
    const QSize minimum = frame->minimumSizeHint();
    const QSize room(std::max(minimum.width(), free.width() - at.x()),
                     std::max(minimum.height(), free.height() - at.y()));
    return frame->FrameSizeForClient(image).boundedTo(room);
}

void CMainFrame::FitChildFrame(CChildFrame* frame, QSize image, FitMode mode)
{
    if (!frame || image.isEmpty()) return;
    if (frame->isMaximized() || frame->isMinimized()) frame->showNormal();
    const QPoint at = mode == FitCorner ? QPoint(0, 0) : frame->pos();
    frame->setGeometry(QRect(at, FittedFrameSize(frame, image, at)));
    frame->show();
}

void CMainFrame::CascadeChildFrames()
{
    // Each window one title bar lower and to the right of the one behind
    // it, starting again at the corner when the next would leave no room;
    // each takes the size that shows its image there, within the room.
    std::vector<CChildFrame*> frames;
    for (QMdiSubWindow* w : MdiArea()->subWindowList(QMdiArea::StackingOrder)) {
        auto* child = qobject_cast<CChildFrame*>(w);
        if (child && !child->isMinimized() && child->GetDocument()) frames.push_back(child);
    }
    const QSize free = FreeClientSize();
    QPoint at(0, 0);
    for (CChildFrame* child : frames) {
        const int step = std::max(1, child->contentsMargins().top());
        const QSize minimum = child->minimumSizeHint();
        if (at.x() + minimum.width() > free.width() || at.y() + minimum.height() > free.height()) at = QPoint(0, 0);
        if (child->isMaximized()) child->showNormal();
        child->setGeometry(QRect(at, FittedFrameSize(child, child->GetDocument()->m_sizeImage, at)));
        child->raise();
        at += QPoint(step, step);
    }
    if (CChildFrame* active = ActiveChildFrame(); active && !active->isMinimized()) active->raise();
}

// ---------------------------------------------------------------------------
// Menus and commands

QMenu* CMainFrame::AddMenu(const QString& title)
{
    QMenu* m = menuBar()->addMenu(title);
    m_menus.push_back(m);
    return m;
}

void CMainFrame::AddItem(QMenu* menu, int id, const QString& text)
{
    QAction* a = Action(id);
    a->setText(text);
    menu->addAction(a);
}

void CMainFrame::FillRecentFiles(QMenu* menu)
{
    // Drop the entries of the last showing, then add the present ones just
    // before the separator that follows them.
    QAction* marker = nullptr;
    const QList<QAction*> actions = menu->actions();
    for (int i = 0; i < actions.size(); ++i) {
        if (actions[i]->property("recentMarker").toBool()) marker = actions[i];
    }
    if (!marker) return;
    for (QAction* a : actions) {
        const int id = a->data().toInt();
        if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + kRecentFileCount) menu->removeAction(a);
    }
    const QStringList labels = m_app.RecentFileLabels();
    if (labels.isEmpty()) {
        QAction* a = Action(ID_FILE_MRU_FILE1);
        a->setText(QStringLiteral("Recent File"));
        a->setEnabled(false);
        menu->insertAction(marker, a);
        return;
    }
    for (int i = 0; i < labels.size() && i < kRecentFileCount; ++i) {
        QAction* a = Action(ID_FILE_MRU_FILE1 + i);
        QString label = labels[i];
        label.replace('&', QStringLiteral("&&"));
        a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(label));
        a->setEnabled(true);
        menu->insertAction(marker, a);
    }
}

void CMainFrame::BuildMenus(bool documentMenu)
{
    m_documentMenu = documentMenu;
    menuBar()->clear();
    for (QMenu* m : m_menus) m->deleteLater();
    m_menus.clear();

    QMenu* file = AddMenu(QStringLiteral("&File"));
    AddItem(file, ID_FILE_NEW, QStringLiteral("&New\tCtrl+N"));
    AddItem(file, ID_FILE_OPEN, QStringLiteral("&Open...\tCtrl+O"));
    if (documentMenu) {
        AddItem(file, ID_FILE_CLOSE, QStringLiteral("&Close"));
        AddItem(file, ID_FILE_SAVE_TEXTURE, QStringLiteral("&Save\tCtrl+S"));
        AddItem(file, ID_FILE_SAVE_AS_TEXTURE, QStringLiteral("Save &As..."));
        file->addSeparator();
        AddItem(file, ID_FILE_PRINT, QStringLiteral("&Print...\tCtrl+P"));
        AddItem(file, ID_FILE_PRINT_PREVIEW, QStringLiteral("Print Pre&view"));
    } else {
        file->addSeparator();
    }
    AddItem(file, ID_FILE_PRINT_SETUP, QStringLiteral("Print Set&up..."));
    file->addSeparator();
    QAction* marker = file->addSeparator();
    marker->setProperty("recentMarker", true);
    AddItem(file, ID_APP_EXIT, QStringLiteral("E&xit"));
    FillRecentFiles(file);
    connect(file, &QMenu::aboutToShow, this, [this, file] { FillRecentFiles(file); });

    if (documentMenu) {
        QMenu* edit = AddMenu(QStringLiteral("&Edit"));
        AddItem(edit, ID_IMAGE_FORMAT, QStringLiteral("Image &Format"));
        AddItem(edit, ID_WEB_PAGER, QStringLiteral("Web Pager ..."));
    }

    QMenu* view = AddMenu(QStringLiteral("&View"));
    AddItem(view, ID_VIEW_TOOLBAR, QStringLiteral("&Toolbars"));
    AddItem(view, ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"));
    if (documentMenu) AddItem(view, ID_LOAD_INTERFACE_TEXTURE, QStringLiteral("Interface Background..."));
    view->addSeparator();
    AddItem(view, ID_TOGGLE_COMMAND_BAR, QStringLiteral("&Command Bar"));
    AddItem(view, ID_TOGGLE_LIBRARY, QStringLiteral("Texture &Library"));
    AddItem(view, ID_TOGGLE_PALETTE, QStringLiteral("Colors &Palette"));
    AddItem(view, ID_TOGGLE_KEYFRAMES, QStringLiteral("&Key Frames"));

    if (documentMenu) {
        QMenu* window = AddMenu(QStringLiteral("&Window"));
        AddItem(window, ID_WINDOW_NEW, QStringLiteral("&New Window"));
        AddItem(window, ID_WINDOW_CASCADE, QStringLiteral("&Cascade"));
        AddItem(window, ID_WINDOW_TILE_HORZ, QStringLiteral("&Tile"));
        AddItem(window, ID_WINDOW_ARRANGE, QStringLiteral("&Arrange Icons"));
    }

    QMenu* help = AddMenu(QStringLiteral("&Help"));
    AddItem(help, documentMenu ? ID_HELP_INDEX : ID_HELP_FINDER, QStringLiteral("&Help Topics"));
    help->addSeparator();
    AddItem(help, ID_APP_ABOUT, QStringLiteral("&About Morvane..."));

    // The tip of the day has its own popup on whichever menu shows.
    QMenu* tip = AddMenu(shelltext::kTipMenu);
    AddItem(tip, ID_TIP_OF_THE_DAY, shelltext::kTipCommand);

    UpdateCommandUI();
}

void CMainFrame::BindFrameCommands()
{
    // Shortcuts, status-bar prompts and tooltips (the menus set the texts).
    Action(ID_FILE_NEW)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Action(ID_FILE_OPEN)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Action(ID_FILE_SAVE_TEXTURE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Action(ID_FILE_PRINT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    Action(ID_HELP)->setShortcut(QKeySequence(Qt::Key_F1));
    Action(ID_CONTEXT_HELP)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
    Action(ID_FILE_SAVE_TEXTURE)->setStatusTip(QStringLiteral("Save the active texture"));
    Action(ID_FILE_SAVE_TEXTURE)->setToolTip(QStringLiteral("Save"));
    Action(ID_FILE_SAVE_AS_TEXTURE)->setStatusTip(QStringLiteral("Save the active texture under a new name"));
    Action(ID_IMAGE_FORMAT)->setStatusTip(QStringLiteral("Choose an Image Format"));
    Action(ID_TOGGLE_COMMAND_BAR)->setStatusTip(QStringLiteral("Display or hide the command block"));
    Action(ID_TOGGLE_LIBRARY)->setStatusTip(QStringLiteral("Display or hide the texture library"));
    Action(ID_TOGGLE_PALETTE)->setStatusTip(QStringLiteral("Display or hide the colors palette"));
    Action(ID_TOGGLE_KEYFRAMES)->setStatusTip(QStringLiteral("Display or hide the key frames"));
    for (int i = 0; i < kRecentFileCount; ++i)
        Action(ID_FILE_MRU_FILE1 + i)->setStatusTip(QStringLiteral("Open this Texture"));

    // View: the toolbar, the status bar and the four bars.
    auto checkable = [this](int id) { Action(id)->setCheckable(true); };
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_TOGGLE_COMMAND_BAR, ID_TOGGLE_LIBRARY, ID_TOGGLE_PALETTE,
                   ID_TOGGLE_KEYFRAMES})
        checkable(id);
    OnCommand(ID_VIEW_TOOLBAR, [this] {
        m_wndToolBar->setVisible(m_wndToolBar->isHidden());
        RecalcLayout();
    });
    OnUpdateCommand(ID_VIEW_TOOLBAR, [this](QAction* a) { a->setChecked(!m_wndToolBar->isHidden()); });
    OnCommand(ID_VIEW_STATUS_BAR, [this] {
        statusBar()->setVisible(statusBar()->isHidden());
        RecalcLayout();
    });
    OnUpdateCommand(ID_VIEW_STATUS_BAR, [this](QAction* a) { a->setChecked(!statusBar()->isHidden()); });
    const std::pair<int, int> toggles[] = {{ID_TOGGLE_COMMAND_BAR, IDD_COMMAND_BAR},
                                           {ID_TOGGLE_LIBRARY, IDD_LIBRARY_BAR},
                                           {ID_TOGGLE_PALETTE, IDD_PALETTE_BAR},
                                           {ID_TOGGLE_KEYFRAMES, IDD_KEYFRAME_BAR}};
    for (auto [command, barId] : toggles) {
        OnUpdateCommand(command, [this, barId](QAction* a) {
            CControlBar* bar = ControlBar(barId);
            a->setChecked(bar && bar->IsBarVisible());
        });
    }

    // Window.
    OnCommand(ID_WINDOW_NEW, [this] {
        CQuillonDoc* doc = ActiveDocument();
        if (!doc) return;
        CMDIChildWnd* frame = m_app.DocTemplate()->CreateNewFrame(this, doc);
        if (!frame) return;
        if (CView* v = frame->GetActiveView()) v->OnInitialUpdate();
        frame->show();
        MdiArea()->setActiveSubWindow(frame);
        if (auto* child = qobject_cast<CChildFrame*>(frame)) FitChildFrame(child, doc->m_sizeImage, FitInPlace);
    });
    // The pane keys: F6 and Shift+F6 go to the next and the previous window.
    Action(ID_NEXT_PANE)->setShortcut(QKeySequence(Qt::Key_F6));
    Action(ID_PREV_PANE)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    OnCommand(ID_NEXT_PANE, [this] { MdiArea()->activateNextSubWindow(); });
    OnCommand(ID_PREV_PANE, [this] { MdiArea()->activatePreviousSubWindow(); });
    OnCommand(ID_WINDOW_CASCADE, [this] { CascadeChildFrames(); });
    OnCommand(ID_WINDOW_TILE_HORZ, [this] { MdiArea()->tileSubWindows(); });
    OnCommand(ID_WINDOW_ARRANGE, [this] {
        // Lines up the minimised windows along the bottom of the area.
        int x = 0;
        const int bottom = MdiArea()->viewport()->height();
        for (CMDIChildWnd* f : ChildFrames()) {
            if (!f->isMinimized()) continue;
            f->move(x, bottom - f->height());
            x += f->width();
        }
    });

    // File commands of the active view.
    OnCommand(ID_FILE_PRINT, [this] {
        if (auto* v = qobject_cast<CQuillonView*>(GetActiveView())) v->OnFilePrint(m_app.Printer());
    });
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] {
        if (auto* v = qobject_cast<CQuillonView*>(GetActiveView())) v->OnFilePrintPreview(m_app.Printer());
    });
    OnCommand(ID_FILE_CLOSE, [this] {
        CChildFrame* frame = ActiveChildFrame();
        CQuillonDoc* doc = ActiveDocument();
        if (!frame || !doc) return;
        // The question once, for the document; then every window of it.
        if (!frame->OnClose()) return;
        doc->GetDocTemplate()->CloseDocument(doc);
    });

    // There is no help file: the help commands show as unavailable.
    for (int id : {ID_HELP_INDEX, ID_HELP_FINDER, ID_HELP, ID_CONTEXT_HELP, ID_DEFAULT_HELP}) {
        OnCommand(id, [] {});
        OnUpdateCommand(id, [](QAction* a) { a->setEnabled(false); });
    }
}

void CMainFrame::OnChildActivated(CMDIChildWnd* frame)
{
    // The panels show the first layer of the document that became active.
    if (frame->GetActiveDocument() && frame == MDIGetActive()) ShowTextureInPanels();
    UpdateCommandUI();
}

void CMainFrame::OnActiveChildChanged(CMDIChildWnd* frame)
{
    m_session.SetActive(frame ? frame->GetActiveDocument() : nullptr, frame ? frame->GetActiveView() : nullptr);
    const bool documentMenu = frame != nullptr;
    if (documentMenu != m_documentMenu) BuildMenus(documentMenu);
    CQuillonDoc* doc = frame ? qobject_cast<CQuillonDoc*>(frame->GetActiveDocument()) : nullptr;
    setWindowTitle(doc ? shelltext::kAppTitle + " - " + doc->ShownTitle() : shelltext::kAppTitle);
    disconnect(m_titleConnection);
    if (doc) {
        m_titleConnection = connect(doc, &CDocument::titleChanged, this, [this, doc] {
            if (ActiveDocument() == doc) setWindowTitle(shelltext::kAppTitle + " - " + doc->ShownTitle());
        });
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_exiting && !m_app.AskToSaveAll()) {
        event->ignore();
        return;
    }
    m_exiting = true;
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    QStringList paths;
    if (const QMimeData* mime = event->mimeData(); mime && mime->hasUrls()) {
        // The URL keeps a name's bytes percent-encoded; toLocalFile would
        // read them as UTF-8.
        for (const QUrl& url : mime->urls()) {
            if (!url.isLocalFile()) continue;
            if (!url.host().isEmpty()) {
                paths << url.toLocalFile();
                continue;
            }
            paths << DecodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        }
    }
    event->acceptProposedAction();
    if (!paths.isEmpty()) m_app.OpenDroppedFiles(paths);
}
