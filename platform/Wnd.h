// The base of the program's custom controls: a widget with a retained
// surface, handlers in client pixels, explicit mouse capture and timers.
//
// A control draws in OnPaint(CDC*): Invalidate collects the area to draw
// and schedules a paint; the paint first lets OnPaint draw the pending area
// into the surface, then copies the surface to the screen.  UpdateWindow
// does both at once.  GetDC draws on the surface outside OnPaint (XOR
// markers); what it draws shows on the next paint.
//
// Mouse: a press calls OnLButtonDown, a double click calls OnLButtonDblClk
// only (never a second press).  SetCapture keeps every mouse event for the
// control until ReleaseCapture; when something else takes the capture
// (another grab, the window hidden or deactivated) OnCaptureChanged tells.
//
// Keyboard: a control that takes the focus (a focus policy) gets its keys
// in OnKeyDown and OnKeyUp, which say whether they used the key (an unused
// key goes on to the parent: Tab always moves on).  Gaining or losing the
// focus draws the control again, so that it can show the focus.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <map>

#include "platform/ClockTimer.h"
#include "platform/Dc.h"
#include "platform/Surface.h"

// Whether a control shows its keyboard focus: it has the focus and the
// keyboard brought it there (Tab), as Qt's own styles show it; a click or
// the window's activation shows nothing.
bool ShowsFocus(const QWidget* control);

class CWnd : public QWidget {
    Q_OBJECT
public:
    explicit CWnd(QWidget* parent = nullptr);
    ~CWnd() override;

    // --- Drawing ----------------------------------------------------------
    void Invalidate();
    void InvalidateRect(const QRect& client);
    // Draws what is pending now and shows it.
    void UpdateWindow();
    const QImage& Surface() const { return m_surface.Image(); }
    CDC* GetDC();
    void ReleaseDC(CDC* dc);
    QRect GetClientRect() const { return rect(); }

    // --- Mouse capture ------------------------------------------------------
    void SetCapture();
    void ReleaseCapture();
    // Whether this control holds the capture now (checks that nothing
    // took it away; if something did, OnCaptureChanged runs first).
    bool HasCapture();

    // --- Timers (on ClockTimer's clock) -------------------------------------
    void SetTimer(int id, int ms);
    void KillTimer(int id);

protected:
    // Draws (at least) the clip box of `dc`, in client pixels.
    virtual void OnPaint(CDC* dc) { (void)dc; }
    virtual void OnLButtonDown(QPoint point) { (void)point; }
    virtual void OnLButtonUp(QPoint point) { (void)point; }
    virtual void OnLButtonDblClk(QPoint point) { (void)point; }
    virtual void OnRButtonDown(QPoint point) { (void)point; }
    virtual void OnRButtonUp(QPoint point) { (void)point; }
    virtual void OnMouseMove(QPoint point) { (void)point; }
    virtual void OnTimer(int id) { (void)id; }
    // The capture was lost without ReleaseCapture.
    virtual void OnCaptureChanged() {}
    // A key pressed (again, when `repeat`) or released; true when used.
    virtual bool OnKeyDown(int key, bool repeat)
    {
        (void)key;
        (void)repeat;
        return false;
    }
    virtual bool OnKeyUp(int key, bool repeat)
    {
        (void)key;
        (void)repeat;
        return false;
    }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void DrawPending();
    void LoseCapture();

    RetainedSurface m_surface{0xFF000000u};
    bool m_capture = false;
    bool m_drawing = false;
    std::map<int, ClockTimer*> m_timers;
};
