// The retained surface of a window: an image the size of the window that
// the window's own drawing code writes into, outside paint events; paint
// events only copy it to the screen.  It keeps the area still to be drawn
// and a DC for drawing outside the drawing pass (drag lines, XOR markers).
// CView and CWnd share it.  A surface is never larger than the screens its
// window shows on: a window larger than that (a view asked to show a huge
// image whole) keeps a surface of the screen's size, and the background
// shows beyond it.
#pragma once

#include <QImage>
#include <QRegion>
#include <QSize>

#include <memory>

#include "platform/Dc.h"

class QPaintEvent;
class QWidget;

class RetainedSurface {
public:
    explicit RetainedSurface(QRgb background = 0xFFFFFFFFu);

    const QImage& Image() const { return m_image; }
    QImage& Image() { return m_image; }
    QRgb Background() const { return m_background; }

    // Makes the image `size` (at least 1 x 1) but at most `screen` on
    // either side, keeping what it shows; the newly uncovered parts are
    // filled with the background and become pending.
    void Resize(QSize size, QSize screen);
    // The size of the desktop `widget` shows on: its screen and the
    // screens beside it.
    static QSize ScreenSize(const QWidget* widget);
    // Moves the picture by (dx, dy); the uncovered strips become pending.
    void Scroll(int dx, int dy);

    void Invalidate(const QRect& r);
    void InvalidateAll() { Invalidate(m_image.rect()); }
    bool HasPending() const { return !m_pending.isEmpty(); }
    QRegion Pending() const { return m_pending; }
    // The bounding box of the pending area (which is then empty).
    QRect TakePending();

    // A DC on the whole image, for drawing outside the drawing pass; one
    // at a time, valid until ReleaseDC or the next resize.
    CDC* GetDC();
    void ReleaseDC(CDC* dc);

    // Copies the painted region of the image to `widget`.
    void Paint(QWidget* widget, const QPaintEvent* event) const;

private:
    friend class SurfaceProbe;  // tests: the largest surface made
    static QImage MakeImage(QSize size);

    static inline QSize s_largestMade{0, 0};
    QImage m_image;
    QRegion m_pending;
    QRgb m_background;
    std::unique_ptr<CDC> m_dc;
};
