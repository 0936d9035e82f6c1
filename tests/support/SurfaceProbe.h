// The largest window surface (in pixels) made so far in the process: what
// a piece of work allocated for one window at its worst, however briefly.
// Header only.
#pragma once

#include <QSize>

#include "platform/Surface.h"

class SurfaceProbe {
public:
    static QSize LargestMade() { return RetainedSurface::s_largestMade; }
    static void Reset() { RetainedSurface::s_largestMade = QSize(0, 0); }
};
