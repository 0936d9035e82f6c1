// A CView is the window that shows a document inside an MDI child
// frame; it keeps a retained surface (a QImage the size of its window, at
// most the screen's):
// OnDraw draws into the surface outside paint events, paint events only
// copy the surface to the screen.  Invalidate/InvalidateRect collect the
// area to draw; the drawing happens soon after on the event loop, or at
// once with UpdateWindow.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QRegion>

#include "platform/Dc.h"
#include "platform/Surface.h"

class CDocument;
class CMDIChildWnd;

class CView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CView(QWidget* parent = nullptr);
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    CMDIChildWnd* GetParentFrame() const;
    // Leaves the document; the document closes when this was its last view.
    void DetachDocument();

    virtual void OnInitialUpdate();
    // Default: invalidate the whole view.
    virtual void OnUpdate(CView* sender, long hint, QObject* hintObject);
    // Draws the area of dc->GetClipBox() (logical coordinates), which
    // already shows the window's background.  Default: nothing more, so a
    // view that draws nothing shows its background.
    virtual void OnDraw(CDC* dc);

    // --- Drawing -------------------------------------------------------
    void Invalidate();
    void InvalidateRect(const QRect& client);  // window (client) pixels
    // Draws what is invalid now, then copies it to the screen.
    void UpdateWindow();
    bool HasPendingDraw() const { return m_surface.HasPending(); }
    // The retained surface: the window's pixels (no more than its screen
    // holds; beyond that the window shows its background).
    const QImage& Surface() const { return m_surface.Image(); }
    // A DC on the whole surface in window pixels (no scroll offset) for
    // drawing outside OnDraw (drag lines); what it draws appears on the
    // next paint.
    CDC* GetDC();
    void ReleaseDC(CDC* dc);

    // --- Mouse capture ------------------------------------------------
    void SetCapture();
    void ReleaseCapture();
    bool HasCapture() const { return m_capture; }

    // --- Scrolling ----------------------------------------------------
    // The scrollable size in pixels; page and line steps are a tenth and a
    // hundredth of it.
    void SetScrollSizes(QSize total);
    QSize GetTotalSize() const { return m_total; }
    QPoint GetScrollPosition() const;
    QSize ClientSize() const;

protected:
    // A scroll bar was moved by the user (before the content moves).
    virtual void OnScroll(bool horizontal, int action) { (void)horizontal, (void)action; }

    // Mouse handlers in window pixels; the defaults do nothing.
    virtual void OnLButtonDown(QPoint) {}
    virtual void OnLButtonUp(QPoint) {}
    virtual void OnLButtonDblClk(QPoint) {}
    virtual void OnRButtonDown(QPoint) {}
    virtual void OnRButtonUp(QPoint) {}
    virtual void OnMouseMove(QPoint) {}

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;

private:
    friend class CDocTemplate;
    friend class CDocument;
    void AttachDocument(CDocument* doc);

    void ScheduleDraw();
    void DrawPending();
    void AdjustSurface();
    void UpdateScrollBars();

    CDocument* m_pDocument = nullptr;
    RetainedSurface m_surface;
    bool m_drawScheduled = false;
    bool m_drawing = false;
    bool m_surfaceStale = false;  // the window changed during a draw
    bool m_capture = false;
    QSize m_total{0, 0};
};
