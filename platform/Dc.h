// A device context: drawing on a 32-bit image in logical coordinates.
//
// Every DC draws into one QImage (Format_RGB32): a view's or a control's
// retained surface, or an image that printing then scales onto the page.
// Logical point p lands on image pixel p + viewport origin, and nothing is
// drawn outside the clip (image pixels; a rectangle, narrowed further by
// SelectClipPolygon).  The pixel rules are the ones the program's drawing
// relies on:
//   - rectangles are QRects whose last column and row are right() and
//     bottom(); build them from left, top, right, bottom coordinates with
//     WinRect(), which leaves the right and bottom edge out;
//   - LineTo draws up to but not including its end point;
//   - the XOR pen and the inverting copies work on the stored pixels, so
//     drawing the same thing twice restores the picture;
//   - text is drawn without antialiasing and without background, from the
//     top of the text cell; fonts are given by face, cell height in pixels
//     and weight (400 normal, 700 bold).
// All drawing is immediate; the owner of the image shows it.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>
#include <QString>

#include <cstdint>

// Drawing modes of lines.
enum RasterOp2 : int { R2_XORPEN = 7, R2_COPYPEN = 13 };

// Ways BitBlt combines the source with the picture.
enum BlitOp : unsigned {
    SRCCOPY = 0x00CC0020u,    // the source
    SRCINVERT = 0x00660046u,  // source XOR picture
    DSTINVERT = 0x00550009u,  // the picture inverted (source unused)
};

// DrawText layout flags.
enum DrawTextFormat : unsigned {
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_SINGLELINE = 0x20,
};

// The rectangle from (left, top) up to but not including (right, bottom).
inline QRect WinRect(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

// Makes every pixel of a 32-bit image opaque: the renderer leaves the
// fourth byte 0, which an image of Format_RGB32 wants 0xFF.
void MakeOpaque(QImage& image);

// A font by face, cell height in pixels (ascent plus descent) and weight,
// without antialiasing.  Fonts are made once per (face, height, weight).
QFont MakeFont(const QString& face, int cellHeight, int weight);

class CDC {
public:
    // A DC on `surface`: logical p is pixel p + viewportOrg; drawing is
    // limited to `clipDevice` (surface pixels).
    CDC(QImage& surface, const QRect& clipDevice, QPoint viewportOrg = QPoint(0, 0));
    // A DC on the whole of `surface`.
    explicit CDC(QImage& surface);
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    QImage& Surface() { return *m_surface; }

    // The smallest logical rectangle holding the drawable area.
    QRect GetClipBox() const;
    // Narrows drawing to the inside of a logical polygon (winding fill),
    // within the DC's own clip; ResetClip widens it back.
    void SelectClipPolygon(const QPolygon& logical);
    void ResetClip();

    // --- Pen, brush and text colour -----------------------------------
    int SetROP2(int mode);
    void SetPenColor(QRgb colour) { m_pen = colour; }
    void SetBrushColor(QRgb colour) { m_brush = colour; }
    void SetTextColor(QRgb colour) { m_text = colour; }
    void SelectFont(const QFont& font) { m_font = font; }

    // --- Lines and shapes ----------------------------------------------
    void MoveTo(QPoint p) { m_current = p; }
    // A one-pixel line from the current position up to (not including)
    // `p`, which becomes the current position.
    void LineTo(QPoint p);
    void SetPixel(QPoint p, QRgb colour);
    void FillRect(const QRect& r, QRgb colour);
    // The outline of `r` with the pen and its inside with the brush.
    void Rectangle(const QRect& r);
    // A one-pixel border just inside `r`.
    void FrameRect(const QRect& r, QRgb colour);
    // The keyboard focus: a dotted border just inside `r`, its dots white
    // and dark grey by turns so that it shows on any picture.
    void DrawFocusRect(const QRect& r);

    // --- Bitmaps ----------------------------------------------------------
    // Combines the `src` rectangle of `image` with the picture at `dest`.
    void BitBlt(QPoint dest, const QImage& image, const QRect& src, unsigned op = SRCCOPY);
    // Copies rows of 4 bytes per pixel (blue, green, red, unused), top row
    // first, `bmWidth` pixels per row: the `src` rectangle of that bitmap
    // onto the logical rectangle `dest` (scaled when their sizes differ).
    void StretchDIBits(const QRect& dest, const QRect& src, const uint8_t* bits, int bmWidth, int bmHeight);

    // --- Text ---------------------------------------------------------------
    // The text with the top-left of its cell at `p`.
    void TextOut(QPoint p, const QString& text);
    // The text laid out in `r` by DT_* flags.
    void DrawText(const QString& text, const QRect& r, unsigned format);

private:
    void PlotClipped(int x, int y, QRgb colour);

    QImage* m_surface;
    QRect m_clipDevice;
    QRegion m_clip;
    QPoint m_viewportOrg;
    int m_rop = R2_COPYPEN;
    QRgb m_pen = 0xFF000000u;
    QRgb m_brush = 0xFFFFFFFFu;
    QRgb m_text = 0xFF000000u;
    QFont m_font;
    QPoint m_current;
};
