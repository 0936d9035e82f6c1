#include "panels/Paint.h"

#include <algorithm>

#include "engine/FloatInt.h"
#include "platform/Dc.h"

void DrawBevelLines(CDC* dc, const QRect& r, QRgb topLeft, QRgb bottomRight)
{
    dc->SetROP2(R2_COPYPEN);
    dc->SetPenColor(topLeft);
    dc->MoveTo(QPoint(r.left(), r.bottom()));
    dc->LineTo(QPoint(r.left(), r.top()));
    dc->LineTo(QPoint(r.right(), r.top()));
    dc->SetPenColor(bottomRight);
    dc->MoveTo(QPoint(r.left(), r.bottom()));
    dc->LineTo(QPoint(r.right(), r.bottom()));
    dc->LineTo(QPoint(r.right(), r.top()));
}

void DrawSunkenFrame(CDC* dc, const QRect& r)
{
    DrawBevelLines(dc, r, qRgb(64, 64, 64), qRgb(255, 255, 255));
    DrawBevelLines(dc, r.adjusted(1, 1, -1, -1), qRgb(0, 0, 0), qRgb(192, 192, 192));
}

int ChannelByte(float value, double factor)
{
    return std::clamp(morvane::SatTrunc(static_cast<double>(value) * factor), 0, 255);
}
