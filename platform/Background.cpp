#include "platform/Background.h"

#include <QWidget>

#include "engine/Render.h"
#include "platform/Dc.h"
#include "platform/Wnd.h"

Background::Background(const morvane::Texture* texture) : m_texture(texture) {}

Background::~Background()
{
    for (auto& [widget, cached] : m_cache) QObject::disconnect(cached.destroyed);
}

QImage Background::Render(const QWidget* widget) const
{
    const QSize size = widget->size().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    image.fill(0xFF000000u);
    if (!m_texture || m_texture->layers.empty()) return image;

    // The window's frame in screen coordinates, the widget's corner.
    const QRect m = widget->window()->frameGeometry();
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    if (m.width() <= 0 || m.height() <= 0) return image;
    std::vector<float> u(static_cast<size_t>(size.width()));
    std::vector<float> v(static_cast<size_t>(size.height()));
    for (int x = 0; x < size.width(); ++x)
        u[static_cast<size_t>(x)] = static_cast<float>(x + at.x() - m.left()) / static_cast<float>(m.width());
    for (int y = 0; y < size.height(); ++y)
        v[static_cast<size_t>(y)] = static_cast<float>(y + at.y() - m.top()) / static_cast<float>(m.height());
    morvane::Render(*m_texture, 0, 0, u, v, image.bits(), image.bytesPerLine());
    MakeOpaque(image);
    return image;
}

const QImage& Background::For(const QWidget* widget)
{
    auto it = m_cache.find(widget);
    const QSize size = widget->size().expandedTo(QSize(1, 1));
    if (it != m_cache.end() && it->second.image.size() == size) return it->second.image;
    if (it == m_cache.end()) {
        it = m_cache.emplace(widget, Cached{}).first;
        it->second.destroyed = QObject::connect(widget, &QObject::destroyed, [this, widget] { m_cache.erase(widget); });
    }
    it->second.image = Render(widget);
    return it->second.image;
}

void Background::Clear()
{
    std::map<const QWidget*, Cached> old;
    old.swap(m_cache);
    for (auto& [widget, cached] : old) {
        QObject::disconnect(cached.destroyed);
        auto* w = const_cast<QWidget*>(widget);
        if (auto* control = qobject_cast<CWnd*>(w))
            control->Invalidate();
        else
            w->update();
    }
}
