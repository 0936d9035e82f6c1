// Panel backgrounds: every panel and painted control shows the piece of
// the interface texture that lies behind it in its window, so that they
// all continue one texture.
//
// The picture behind a widget is the interface texture (all layers) at
//   u = (x + widget left - window left) / window width,
//   v = (y + widget top - window top) / window height
// in screen coordinates (the frame of the window the widget is in),
// rendered through the shared renderer on all cores when it is first asked
// for and kept per widget and size: moving a widget keeps its picture, a
// new size renders it again.  "Interface Background..." clears them all
// (Clear).
//
// The main window keeps one Background and hands it, with the editing
// session, to its panels and controls.
#pragma once

#include <QImage>
#include <QMetaObject>

#include <map>

#include "engine/Records.h"

class QWidget;

class Background {
public:
    // The texture the backgrounds show (null or no layers: black); it must
    // outlive this.
    explicit Background(const morvane::Texture* texture = nullptr);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // The picture behind `widget`, its size, top row first.
    const QImage& For(const QWidget* widget);
    // Forgets every picture and repaints the widgets that showed one.
    void Clear();
    // The widgets that hold a picture now (tests).
    int CachedCount() const { return static_cast<int>(m_cache.size()); }

private:
    struct Cached {
        QImage image;
        QMetaObject::Connection destroyed;
    };

    QImage Render(const QWidget* widget) const;

    const morvane::Texture* m_texture;
    std::map<const QWidget*, Cached> m_cache;
};
