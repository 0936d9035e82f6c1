#include "platform/Background.h"

#include <QWidget>

#include <map>

#include "engine/Render.h"
#include "platform/Frames.h"
#include "platform/WinApp.h"
#include "platform/Wnd.h"

namespace {

const morvane::Texture* g_texture = nullptr;

struct Cached {
    QImage image;
    QMetaObject::Connection destroyed;
};

std::map<const QWidget*, Cached>& Cache()
{
    static std::map<const QWidget*, Cached> cache;
    return cache;
}

QImage Render(const QWidget* widget)
{
    const QSize size = widget->size().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    image.fill(0xFF000000u);
    if (!g_texture || g_texture->layers.empty()) return image;

    // The main window's frame in screen coordinates, the widget's corner.
    const QWidget* main = AfxGetMainWnd();
    if (!main) main = widget->window();
    const QRect m = main->frameGeometry();
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    if (m.width() <= 0 || m.height() <= 0) return image;
    std::vector<float> u(static_cast<size_t>(size.width()));
    std::vector<float> v(static_cast<size_t>(size.height()));
    for (int x = 0; x < size.width(); ++x)
        u[static_cast<size_t>(x)] = static_cast<float>(x + at.x() - m.left()) / static_cast<float>(m.width());
    for (int y = 0; y < size.height(); ++y)
        v[static_cast<size_t>(y)] = static_cast<float>(y + at.y() - m.top()) / static_cast<float>(m.height());
    morvane::Render(*g_texture, 0, 0, u, v, image.bits(), image.bytesPerLine());
    // The renderer leaves the fourth byte 0; the image wants it opaque.
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) row[x] |= 0xFF000000u;
    }
    return image;
}

}  // namespace

void Background::SetInterfaceTexture(const morvane::Texture* texture) { g_texture = texture; }

const QImage& Background::For(const QWidget* widget)
{
    auto& cache = Cache();
    auto it = cache.find(widget);
    if (it != cache.end() && it->second.image.size() == widget->size().expandedTo(QSize(1, 1))) return it->second.image;
    if (it == cache.end()) {
        it = cache.emplace(widget, Cached{}).first;
        it->second.destroyed = QObject::connect(widget, &QObject::destroyed, [widget] { Cache().erase(widget); });
    }
    it->second.image = Render(widget);
    return it->second.image;
}

void Background::Clear()
{
    std::map<const QWidget*, Cached> old;
    old.swap(Cache());
    for (auto& [widget, cached] : old) {
        QObject::disconnect(cached.destroyed);
        auto* w = const_cast<QWidget*>(widget);
        if (auto* control = qobject_cast<CWnd*>(w))
            control->Invalidate();
        else
            w->update();
    }
}

int Background::CachedCount() { return static_cast<int>(Cache().size()); }
