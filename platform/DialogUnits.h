// Dialog units and the dialog font: the layout unit and the font of the
// program's panels and dialogs.  A horizontal unit is a quarter of the
// dialog font's average character width and a vertical unit an eighth of
// its height; the program's layouts were made for a font of 6 x 13 pixels
// at 96 dots per inch, so that is the base here, scaled by the screen's
// logical resolution.
#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

struct DialogBaseUnits {
    int cx = 6;   // pixels per 4 horizontal units
    int cy = 13;  // pixels per 8 vertical units
};

// The base units of the primary screen (6 x 13 at 96 dpi).
DialogBaseUnits GetDialogBaseUnits();
// Overrides the base units (tests); {0, 0} restores the screen's.
void SetDialogBaseUnits(DialogBaseUnits units);

// Dialog units to pixels, rounded to nearest like the Windows conversion.
int DluToPixelsX(int dlu, DialogBaseUnits b = GetDialogBaseUnits());
int DluToPixelsY(int dlu, DialogBaseUnits b = GetDialogBaseUnits());
QSize MapDialogSize(QSize dlu, DialogBaseUnits b = GetDialogBaseUnits());
// A rectangle (left, top, width, height) in dialog units to pixels: the
// edges are converted, so adjoining rectangles stay adjoining.
QRect MapDialogRect(QRect dlu, DialogBaseUnits b = GetDialogBaseUnits());

// The font of every dialog and panel made from a template ("MS Sans Serif" 8,
// or a font of its width where it is missing).
QFont DialogFont();
