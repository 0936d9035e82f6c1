// A device context: what a view draws on, in logical coordinates.
//
// Two kinds exist.  A window DC draws on the retained surface of a view
// (a QImage the size of its window, see CView): the logical origin is
// shifted by the scroll position, drawing is immediate, and exclusive-or
// lines work on the stored pixels so that a line drawn twice vanishes.  A
// printer DC draws through a QPainter on a printer; there one logical unit
// is whatever the transform given says (the view's printing uses one image
// pixel per unit).
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QTransform>

#include <cstdint>

class QImage;
class QPainter;

// Drawing modes of lines.
enum RasterOp2 : int { R2_XORPEN = 7, R2_COPYPEN = 13 };

class CDC {
public:
    // A DC on a view's surface: `clipDevice` in surface pixels, logical
    // point p lands on surface pixel p + viewportOrg.
    CDC(QImage& surface, const QRect& clipDevice, QPoint viewportOrg);
    // A DC on a printer page: `toDevice` maps logical units to the
    // painter's device; `clipLogical` is the area that may be drawn.
    CDC(QPainter& painter, const QTransform& toDevice, const QRectF& clipLogical, int bitsPerPixel);
    ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    bool IsPrinting() const { return m_surface == nullptr; }
    int BitsPerPixel() const { return m_bitsPerPixel; }

    // The smallest logical rectangle holding the drawable area.
    QRect GetClipBox() const;

    QPoint GetViewportOrg() const { return m_viewportOrg; }
    void SetViewportOrg(QPoint org) { m_viewportOrg = org; }

    int SetROP2(int mode);
    void SetPenColor(QRgb colour) { m_pen = colour; }
    void MoveTo(QPoint p) { m_current = p; }
    // A one-pixel line from the current position up to (not including)
    // `p`, which becomes the current position.
    void LineTo(QPoint p);

    // Copies rows of 4 bytes per pixel (blue, green, red, unused), top row
    // first, `bmWidth` pixels per row: the `src` rectangle of that bitmap
    // onto the logical rectangle `dest` (scaled when their sizes differ).
    void StretchDIBits(const QRect& dest, const QRect& src, const uint8_t* bits, int bmWidth, int bmHeight);

    void FillSolidRect(const QRect& logical, QRgb colour);

    // The printer DC's painter; null for a window DC, whose drawing goes
    // straight into the surface's pixels.
    QPainter* Painter() { return m_painter; }

private:
    QImage* m_surface = nullptr;
    QPainter* m_painter = nullptr;
    QRect m_clipDevice;          // window DC: surface pixels
    QRectF m_clipLogical;        // printer DC
    QTransform m_toDevice;       // printer DC
    QPoint m_viewportOrg;
    int m_bitsPerPixel = 32;
    int m_rop = R2_COPYPEN;
    QRgb m_pen = 0xFF000000u;
    QPoint m_current;
};
