// The MDI main window: the MDI area that holds the child frames, the
// control bars docked to the window's sides, the status bar, and the
// command registry that menus, accelerators and toolbar buttons share.
//
// Control bars are dock widgets of the main window, fixed in place and
// size.  They keep the rule of docked bars: in the order they were
// created, each visible bar takes the full width (top, bottom) or the
// full remaining height (left, right) of what the earlier bars left, and
// the MDI area gets the rest.  So the creation order decides which bars
// span the width: the frame docks a side's bars from the outside in and
// gives each corner to the side whose bar came first.  (A corner belongs
// to one side whole: a second bar on a side, made after a bar of the
// crossing side, still spans as far as the first bar of its side.)  The
// toolbar and status bar lie outside (above and below) all of that.
#pragma once

#include <QAction>
#include <QEvent>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/ControlBar.h"
#include "platform/LockKeys.h"

class CDocument;
class CMDIChildWnd;
class CView;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

class CMDIFrameWnd : public QMainWindow {
    Q_OBJECT
public:
    explicit CMDIFrameWnd(QWidget* parent = nullptr);
    ~CMDIFrameWnd() override;

    QMdiArea* MdiArea() const { return m_mdiArea; }

    // The active child frame: the MDI area's current window, which stays
    // set while the main window itself is inactive.
    CMDIChildWnd* MDIGetActive() const;
    CDocument* GetActiveDocument() const;
    CView* GetActiveView() const;
    std::vector<CMDIChildWnd*> ChildFrames() const;
    void AddChildFrame(CMDIChildWnd* frame);

    // --- Commands ---------------------------------------------------
    // The action of a command id (made on first use; owned by the frame,
    // added to the window so its shortcut works whatever menu shows).
    QAction* Action(int id);
    void OnCommand(int id, std::function<void()> handler);
    void OnUpdateCommand(int id, std::function<void(QAction*)> update);
    // Runs every update handler (before menus show, and after commands).
    void UpdateCommandUI();
    // Runs the handler of `id` as if chosen from a menu; false if none.
    bool SendCommand(int id);

    // Moves the keyboard focus to the next (or previous) control that Tab
    // reaches: the controls of the bars' panels in their order, and those
    // of the active document window, never of another one.  Tab goes round
    // them all and stays in no window.  False when there is none.
    bool FocusNextControl(bool next);

    // --- Bars -------------------------------------------------------
    CControlBar* CreateControlBar(int id, CControlBar::Side side, QSize sizeDefault);
    CControlBar* ControlBar(int id) const;
    const std::vector<CControlBar*>& ControlBars() const { return m_bars; }
    void ShowControlBar(CControlBar* bar, bool show);
    // Lays the frame out at once (bars, MDI area).
    virtual void RecalcLayout();
    // The client area of the frame in its own coordinates (below the menu,
    // between toolbar and status bar, bars included).
    QRect ClientRect() const;
    // No context menu of bars and toolbars: the View menu shows and hides
    // them.
    QMenu* createPopupMenu() override { return nullptr; }

    // --- Status bar ---------------------------------------------------
    void SetMessageText(const QString& text);
    QString MessageText() const;
    // The message pane shows the idle message ("Ready") again, at once.
    void ShowIdleMessage() { SetMessageText(m_idleMessage); }
    // The CAP, NUM and SCRL panes show their names while their lock key is
    // on, as `reader` tells it (by default the window system, ReadLockKeys);
    // they stay empty where it cannot tell.  They are read again once
    // after every key (pressed, released) and whenever the program or one
    // of its windows becomes active.
    void SetLockKeyReader(std::function<std::optional<LockKeyState>()> reader);
    void UpdateLockKeyPanes();

signals:
    // Command `id` is about to run (from a menu, a shortcut or SendCommand).
    void commandStarting(int id);

protected:
    // A child frame became active (null and repeats are filtered out).
    virtual void OnChildActivated(CMDIChildWnd* frame) { (void)frame; }
    // Closes the document windows (their views leave their documents) and
    // removes the bars with their panels, at once.
    void DestroyChildren();
    // The active child changed, possibly to none (menus, title).
    virtual void OnActiveChildChanged(CMDIChildWnd* frame) { (void)frame; }

    void CreateStatusBarIndicators();
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override { return FocusNextControl(next); }

private:
    void SubWindowActivated(QMdiSubWindow* window);
    // Docks the bars of one side again, from the outside in.
    void DockBarsOf(CControlBar::Side side);
    // Gives each corner to the side whose first visible bar came first.
    void UpdateCorners();

    QMdiArea* m_mdiArea = nullptr;
    std::vector<CControlBar*> m_bars;
    std::map<int, QAction*> m_actions;
    std::map<int, std::function<void()>> m_handlers;
    std::vector<std::pair<int, std::function<void(QAction*)>>> m_updates;
    QPointer<QMdiSubWindow> m_lastActivated;
    QPointer<QMdiSubWindow> m_lastCurrent;
    const QString m_idleMessage = QStringLiteral("Ready");
    std::function<std::optional<LockKeyState>()> m_readLockKeys = ReadLockKeys;
    QLabel* m_lockKeyPanes[3] = {};  // CAP, NUM, SCRL
    // The last key event the lock keys were read for.
    struct SeenKey {
        quintptr event = 0;
        QEvent::Type type = QEvent::None;
        int key = 0;
        quint64 timestamp = 0;
        bool operator==(const SeenKey&) const = default;
    };
    SeenKey m_lastKey;
};
