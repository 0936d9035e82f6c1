// Panel backgrounds: every panel and painted control shows the piece of
// the interface texture that lies behind it in the main window, so that
// they all continue one texture.
//
// The picture behind a widget is the interface texture (all layers) at
//   u = (x + widget left - main left) / main width,
//   v = (y + widget top - main top) / main height
// in screen coordinates (the main window's frame), rendered through the
// shared renderer on all cores when it is first asked for and kept per
// widget and size: moving a widget keeps its picture, a new size renders it
// again.  "Interface Background..." clears them all (Clear).
#pragma once

#include <QImage>

#include "engine/Records.h"

class QWidget;

class Background {
public:
    // The texture the backgrounds show (the application's interface
    // texture; null or no layers: black).
    static void SetInterfaceTexture(const morvane::Texture* texture);
    // The picture behind `widget`, its size, top row first.
    static const QImage& For(const QWidget* widget);
    // Forgets every picture and repaints the widgets that showed one.
    static void Clear();
    // The widgets that hold a picture now (tests).
    static int CachedCount();
};
