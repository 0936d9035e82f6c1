// The main window: menus, the hidden toolbar, the status bar and the four
// docked bars that hold the panels.  It owns the panel backgrounds and the
// editing session that it hands to every panel and view it makes, and
// tells the session which document is active.
#pragma once

#include <vector>

#include "platform/Background.h"
#include "platform/EditingSession.h"
#include "platform/MDIFrameWnd.h"

class CChildFrame;
class CControlBar;
class CMDIChildWnd;
class CCommandBar;
class CKeyFrameDlg;
class CKvoPPal;
class CLibraryDlg;
class CQuillonApp;
class CQuillonDoc;
class CQuillonView;
class QMenu;
class QToolBar;

class CMainFrame : public CMDIFrameWnd {
    Q_OBJECT
public:
    // The main window of `app`, whose dialog layer, interface texture and
    // sphere table its panels and views are handed.
    explicit CMainFrame(CQuillonApp& app);
    ~CMainFrame() override;

    // Builds the toolbar, the status bar, the four bars in their fixed
    // order and the panels.  False when a piece cannot be made.
    bool LoadFrame();

    EditingSession& Session() { return m_session; }
    // The view of a new document window, handed the session; the command
    // panel shows its render progress.
    CQuillonView* CreateView();

    // The bars: right (command panel), bottom (palette panel), top
    // (library panel), bottom (key-frame panel).
    CControlBar* m_wndCommandBar = nullptr;
    CControlBar* m_wndPaletteBar = nullptr;
    CControlBar* m_wndLibraryBar = nullptr;
    CControlBar* m_wndKeyFrameBar = nullptr;
    // The panels; a panel that does not exist is null.
    CKvoPPal* m_pPalettePanel = nullptr;
    CLibraryDlg* m_pLibraryPanel = nullptr;
    CCommandBar* m_pCommandPanel = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    CKeyFrameDlg* m_pKeyFramePanel = nullptr;

    CChildFrame* ActiveChildFrame() const;
    CQuillonDoc* ActiveDocument() const;

    // The panels show the active document's texture: every thumbnail
    // again, and its first layer as the current one.
    void ShowTextureInPanels();
    // Marks every panel background for recomputing from the interface
    // texture, and repaints the frame.
    void ResetPanelBackgrounds();

    // The room left for child frames: the MDI area inside the frame's
    // client area less every visible bar, toolbar and status bar.
    QSize FreeClientSize() const;
    // Resizes `frame` so that its view shows an image of `image` pixels,
    // where it lies (FitInPlace) or moved to the top-left corner of the MDI
    // area (FitCorner).  A frame never reaches past the free room, not even
    // for a moment: one too large for it ends at the room's edges and its
    // view scrolls.
    enum FitMode { FitInPlace, FitCorner };
    void FitChildFrame(CChildFrame* frame, QSize image, FitMode mode);
    // The size FitChildFrame gives `frame` with its corner at `at`.
    QSize FittedFrameSize(const CChildFrame* frame, QSize image, QPoint at) const;
    // Window > Cascade: the windows one over the other, each a title bar
    // lower and to the right, each fitted to its image where it lies.
    void CascadeChildFrames();
    // The active document's image size becomes `size`: the active view
    // scrolls over it and the active child frame fits it (FitChildFrame).
    void SetActiveImageSize(QSize size, FitMode mode);

    // Rebuilds the menu bar: the texture menu while a document is active,
    // else the short one; both get the "&Tip" popup.
    void BuildMenus(bool documentMenu);
    // Exit asks no more questions when it closes the frame.
    void SetExiting(bool exiting) { m_exiting = exiting; }

protected:
    void OnChildActivated(CMDIChildWnd* frame) override;
    void OnActiveChildChanged(CMDIChildWnd* frame) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreatePanels();
    // After a library texture replaced the active document's layers: the
    // document's image size becomes layer 1's, the view scrolls over it and
    // the frame fits it within the free room.
    void OnLibraryTextureCopied();
    void BindFrameCommands();
    void FillRecentFiles(QMenu* menu);
    QMenu* AddMenu(const QString& title);
    void AddItem(QMenu* menu, int id, const QString& text);

    CQuillonApp& m_app;
    Background m_backgrounds;
    EditingSession m_session;
    std::vector<QMenu*> m_menus;
    QMetaObject::Connection m_titleConnection;
    bool m_documentMenu = false;
    bool m_exiting = false;
};
