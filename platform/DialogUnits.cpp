#include "platform/DialogUnits.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

DialogBaseUnits g_override{0, 0};

// (a * b + c / 2) / c with rounding of negative values away from zero,
// like the Windows MulDiv.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : -((-p + half) / c));
}

}  // namespace

DialogBaseUnits GetDialogBaseUnits()
{
    if (g_override.cx > 0 && g_override.cy > 0) return g_override;
    double dpi = 96.0;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* s = app->primaryScreen()) dpi = s->logicalDotsPerInch();
    }
    if (!(dpi >= 48.0 && dpi <= 480.0)) dpi = 96.0;
    const double scale = dpi / 96.0;
    return {static_cast<int>(std::lround(6 * scale)), static_cast<int>(std::lround(13 * scale))};
}

void SetDialogBaseUnits(DialogBaseUnits units) { g_override = units; }

int DluToPixelsX(int dlu, DialogBaseUnits b) { return MulDiv(dlu, b.cx, 4); }
int DluToPixelsY(int dlu, DialogBaseUnits b) { return MulDiv(dlu, b.cy, 8); }

QSize MapDialogSize(QSize dlu, DialogBaseUnits b) { return {DluToPixelsX(dlu.width(), b), DluToPixelsY(dlu.height(), b)}; }

QRect MapDialogRect(QRect dlu, DialogBaseUnits b)
{
    const int left = DluToPixelsX(dlu.left(), b);
    const int top = DluToPixelsY(dlu.top(), b);
    const int right = DluToPixelsX(dlu.left() + dlu.width(), b);
    const int bottom = DluToPixelsY(dlu.top() + dlu.height(), b);
    return QRect(left, top, right - left, bottom - top);
}

QFont DialogFont()
{
    // The templates were laid out for "MS Sans Serif" 8, under six pixels a
    // character on average.  Where it is missing, a narrow font stands in:
    // the plain sans-serif fonts here are a seventh wider and cut the ends
    // off the labels.
    static const bool substituted = [] {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans Narrow"));
        return true;
    }();
    (void)substituted;
    return QFont(QStringLiteral("MS Sans Serif"), 8);
}
