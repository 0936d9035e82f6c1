#include "platform/Dc.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <cstring>

CDC::CDC(QImage& surface, const QRect& clipDevice, QPoint viewportOrg)
    : m_surface(&surface),
      m_clipDevice(clipDevice & surface.rect()),
      m_viewportOrg(viewportOrg),
      m_bitsPerPixel(surface.depth())
{
}

CDC::CDC(QPainter& painter, const QTransform& toDevice, const QRectF& clipLogical, int bitsPerPixel)
    : m_painter(&painter), m_clipLogical(clipLogical), m_toDevice(toDevice), m_bitsPerPixel(bitsPerPixel)
{
}

CDC::~CDC() = default;

QRect CDC::GetClipBox() const
{
    if (m_surface) return m_clipDevice.translated(-m_viewportOrg);
    return m_clipLogical.toAlignedRect();
}

int CDC::SetROP2(int mode)
{
    const int old = m_rop;
    m_rop = mode;
    return old;
}

void CDC::LineTo(QPoint p)
{
    const QPoint from = m_current;
    m_current = p;
    if (!m_surface) {
        QPainter& painter = *m_painter;
        painter.save();
        painter.setTransform(m_toDevice);
        if (m_rop == R2_XORPEN) painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(QColor::fromRgb(m_pen), 0));
        painter.drawLine(from, p);
        painter.restore();
        return;
    }
    // Bresenham from `from` to `p`, the end point excluded.
    const QPoint a = from + m_viewportOrg;
    const QPoint b = p + m_viewportOrg;
    int x = a.x(), y = a.y();
    const int dx = std::abs(b.x() - x), sx = x < b.x() ? 1 : -1;
    const int dy = -std::abs(b.y() - y), sy = y < b.y() ? 1 : -1;
    int err = dx + dy;
    const QRect bounds = m_clipDevice;
    while (x != b.x() || y != b.y()) {
        if (bounds.contains(x, y)) {
            auto* px = reinterpret_cast<QRgb*>(m_surface->scanLine(y)) + x;
            if (m_rop == R2_XORPEN)
                *px ^= (m_pen & 0x00FFFFFFu);
            else
                *px = m_pen | 0xFF000000u;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void CDC::StretchDIBits(const QRect& dest, const QRect& src, const uint8_t* bits, int bmWidth, int bmHeight)
{
    if (!bits || bmWidth <= 0 || bmHeight <= 0) return;
    const QRect srcClipped = src & QRect(0, 0, bmWidth, bmHeight);
    if (srcClipped.isEmpty() || dest.isEmpty()) return;

    if (m_surface && dest.size() == src.size()) {
        // 1:1 onto the surface: copy the pixels, making them opaque.
        const QPoint shift = dest.topLeft() - src.topLeft() + m_viewportOrg;
        const QRect target = srcClipped.translated(shift) & m_clipDevice;
        for (int y = target.top(); y <= target.bottom(); ++y) {
            const int sy = y - shift.y();
            const auto* in = reinterpret_cast<const uint32_t*>(bits + (static_cast<size_t>(sy) * bmWidth) * 4);
            auto* out = reinterpret_cast<uint32_t*>(m_surface->scanLine(y));
            for (int x = target.left(); x <= target.right(); ++x) out[x] = in[x - shift.x()] | 0xFF000000u;
        }
        return;
    }

    // Scaled, or onto a printer: through a painter.
    QImage image(bits, bmWidth, bmHeight, bmWidth * 4, QImage::Format_RGB32);
    QImage opaque = image.copy(srcClipped);
    {
        // Make the unused fourth byte opaque for Qt.
        for (int y = 0; y < opaque.height(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(opaque.scanLine(y));
            for (int x = 0; x < opaque.width(); ++x) row[x] |= 0xFF000000u;
        }
    }
    const double fx = static_cast<double>(dest.width()) / src.width();
    const double fy = static_cast<double>(dest.height()) / src.height();
    const QRectF target(dest.left() + (srcClipped.left() - src.left()) * fx, dest.top() + (srcClipped.top() - src.top()) * fy,
                        srcClipped.width() * fx, srcClipped.height() * fy);
    if (m_surface) {
        QPainter painter(m_surface);
        painter.setClipRect(m_clipDevice);
        painter.translate(m_viewportOrg);
        painter.drawImage(target, opaque);
        return;
    }
    QPainter& painter = *m_painter;
    painter.save();
    painter.setTransform(m_toDevice);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, opaque);
    painter.restore();
}

void CDC::FillSolidRect(const QRect& logical, QRgb colour)
{
    if (m_surface) {
        const QRect r = logical.translated(m_viewportOrg) & m_clipDevice;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            auto* out = reinterpret_cast<QRgb*>(m_surface->scanLine(y));
            std::fill(out + r.left(), out + r.left() + r.width(), colour | 0xFF000000u);
        }
        return;
    }
    QPainter& painter = *m_painter;
    painter.save();
    painter.setTransform(m_toDevice);
    painter.fillRect(logical, QColor::fromRgb(colour));
    painter.restore();
}
