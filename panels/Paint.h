// What the painted controls of the colour dialogs and the palette share:
// bevels and the byte a colour value shows as.
//
// A bevel line pair runs from the bottom-left corner up the left edge and
// along the top edge in one colour, and from the bottom-left corner along
// the bottom edge and up the right edge in the other; each line stops one
// pixel short of its end point, so the top-right corner keeps what lay
// under it.  A sunken frame is two such pairs: dark grey and white on the
// rectangle's edge, black and light grey one pixel further in.
#pragma once

#include <QRect>
#include <QRgb>

class CDC;

// One line pair on the edge of `r` (its last column and row are
// r.right() and r.bottom()).
void DrawBevelLines(CDC* dc, const QRect& r, QRgb topLeft, QRgb bottomRight);

// The sunken frame whose outer lines lie on the edge of `r`.
void DrawSunkenFrame(CDC* dc, const QRect& r);

// The byte a value shows as: value x factor computed in double, truncated,
// limited to 0..255 (values from files may lie outside the range; NaN
// shows as 0).
int ChannelByte(float value, double factor = 255.0);
