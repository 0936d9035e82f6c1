// The view of a texture: one window pixel per image pixel, rendered afresh
// for the area that needs drawing, telling its progress (the command
// panel's progress bar shows it) and stopped by Escape when long.  It
// renders again at once when an edit of the editing session changes the
// image while it is the active view, and at its next paint when the edit
// was made in another view of its document (the document's update).  A
// left drag moves the current layer, a right drag turns it, and the
// document's other views follow; a double click renders again.  The view also prints
// the texture on one page under a title line.
#pragma once

#include <QPoint>
#include <QSize>

#include <cstdint>

#include "platform/View.h"

class CQuillonDoc;
class EditingSession;
class QPainter;
class QPrinter;
class QRectF;

class CQuillonView : public CView {
    Q_OBJECT
public:
    explicit CQuillonView(EditingSession& session);

    CQuillonDoc* GetDocument() const;

    void OnInitialUpdate() override;
    void OnDraw(CDC* dc) override;

    // Printing on `printer`: one page, the title line, then the image.
    void PrintTo(QPrinter& printer);
    // The page on a painter open on a printer or any other device: the
    // header, then the image, one image pixel per hundredth of an inch or
    // smaller to fit the page, as an unsmoothed scaling of the whole image
    // shows it.  Only the image pixels the page shows are rendered.  Gives
    // what kept the image from the page (no memory for it), or nothing.
    QString PrintPage(QPainter& painter);
    // The page header (the title and a rule under it); returns the area
    // left below it for the image.
    QRectF PrintHeader(QPainter& painter) const;
    void OnFilePrint(QPrinter& printer);
    void OnFilePrintPreview(QPrinter& printer);

    int16_t m_bPrinting = 0;  // 1 while printing
    int16_t m_bScrolled = 0;  // 1 once the user has scrolled
    QPoint m_ptDragStart;
    QPoint m_ptDragEnd;
    int m_nDragButton = -1;   // 0 during a left drag, 1 during a right drag, else -1

    // The last render: whether Escape stopped it, and the rows it drew.
    bool LastRenderStopped() const { return m_lastStopped; }
    int LastRenderRows() const { return m_lastRows; }
    int RenderCount() const { return m_renderCount; }

signals:
    // How far the render is, in thousandths (0 when it starts); a render
    // while printing or after the user scrolled tells nothing.
    void renderProgress(int permille);

protected:
    void OnScroll(bool horizontal, int action) override;
    void OnLButtonDown(QPoint point) override;
    void OnMouseMove(QPoint point) override;
    void OnLButtonUp(QPoint point) override;
    void OnRButtonDown(QPoint point) override;
    void OnRButtonUp(QPoint point) override;
    void OnLButtonDblClk(QPoint point) override;

private:
    void DrawDragLine();
    // Names the job on `printer` after this view's document.
    void NameJob(QPrinter& printer) const;
    // Draws an image of `image` pixels into `target` (device pixels); false
    // when there was no memory for its pixels.
    bool PrintImage(QPainter& painter, QSize image, const QRectF& target);

    EditingSession& m_session;
    bool m_lastStopped = false;
    int m_lastRows = 0;
    int m_renderCount = 0;
};
