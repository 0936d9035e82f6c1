// Views and the document template.
//
// A CView is the window that shows a document inside an MDI child
// frame; it keeps a retained surface (a QImage the size of its window):
// OnDraw draws into the surface outside paint events, paint events only
// copy the surface to the screen.  Invalidate/InvalidateRect collect the
// area to draw; the drawing happens soon after on the event loop, or at
// once with UpdateWindow.  The CDocTemplate creates document, child frame
// and view together and owns its documents: it closes a document when its
// last window goes (the MDI area owns the windows).
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "platform/Dc.h"
#include "platform/Surface.h"

class CDocTemplate;
class CDocument;
class CMDIChildWnd;
class CMDIFrameWnd;
class CView;

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
    // The retained surface: exactly the window's pixels.
    const QImage& Surface() const { return m_surface.Image(); }
    // A DC on the whole surface in window pixels (no scroll offset) for
    // drawing outside OnDraw (drag lines); what it draws appears on the
    // next paint.
    CDC* GetDC();
    void ReleaseDC(CDC* dc);
    QRgb BackgroundColour() const { return m_surface.Background(); }

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
    friend class CMDIChildWnd;
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

// Makes the document, child frame and view of one document type.
class CDocTemplate {
public:
    using DocumentFactory = std::function<CDocument*()>;
    using FrameFactory = std::function<CMDIChildWnd*()>;
    using ViewFactory = std::function<CView*()>;

    // `docString` holds the newline-separated fields: window title,
    // document name, new-file name, filter name, filter extension, shell
    // file type id, shell file type name.
    CDocTemplate(int resourceId, const QString& docString, DocumentFactory doc, FrameFactory frame, ViewFactory view);
    ~CDocTemplate();

    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };
    QString GetDocString(DocStringIndex index) const;
    int ResourceId() const { return m_nIDResource; }

    // A new document in a new child frame of `mainFrame`, titled with the
    // document name and the next number ("Quillo1", "Quillo2", ...), shown
    // and activated.  Null when the document refuses (OnNewDocument).
    CDocument* OpenNewDocument(CMDIFrameWnd* mainFrame);
    // Another frame and view on `doc` ("New Window").
    CMDIChildWnd* CreateNewFrame(CMDIFrameWnd* mainFrame, CDocument* doc);
    // Closes every window of `doc`, then deletes it.
    void CloseDocument(CDocument* doc);

    std::vector<CDocument*> Documents() const;

private:
    friend class CDocument;
    void UpdateFrameTitles(CDocument* doc);

    int m_nIDResource;
    QString m_strDocStrings;
    DocumentFactory m_makeDoc;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    std::vector<std::unique_ptr<CDocument>> m_docs;
    int m_nUntitledCount = 0;
};
