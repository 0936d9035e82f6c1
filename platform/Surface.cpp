#include "platform/Surface.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>

RetainedSurface::RetainedSurface(QRgb background) : m_image(MakeImage(QSize(1, 1))), m_background(background)
{
    m_image.fill(m_background);
}

QImage RetainedSurface::MakeImage(QSize size)
{
    if (int64_t(size.width()) * size.height() > int64_t(s_largestMade.width()) * s_largestMade.height())
        s_largestMade = size;
    return QImage(size, QImage::Format_RGB32);
}

QSize RetainedSurface::ScreenSize(const QWidget* widget)
{
    const QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    // Without a screen there is nothing to show on; a window then keeps a
    // surface of its own size.
    return screen ? screen->virtualSize() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void RetainedSurface::Resize(QSize size, QSize screen)
{
    size = size.boundedTo(screen).expandedTo(QSize(1, 1));
    if (m_image.size() == size) return;
    QImage next = MakeImage(size);
    next.fill(m_background);
    const QRect keep = m_image.rect() & next.rect();
    for (int y = 0; y < keep.height(); ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(m_image.constScanLine(y)), keep.width(),
                    reinterpret_cast<QRgb*>(next.scanLine(y)));
    const QRect old = m_image.rect();
    m_image = std::move(next);
    m_dc.reset();
    m_pending &= QRegion(m_image.rect());
    m_pending += QRegion(m_image.rect()) - QRegion(old);
}

void RetainedSurface::Scroll(int dx, int dy)
{
    QImage moved = MakeImage(m_image.size());
    moved.fill(m_background);
    {
        QPainter p(&moved);
        p.drawImage(QPoint(dx, dy), m_image);
    }
    m_image = std::move(moved);
    m_dc.reset();
    const QRect all = m_image.rect();
    // Pending areas move with the picture.
    m_pending.translate(dx, dy);
    m_pending &= QRegion(all);
    m_pending += QRegion(all) - QRegion(all.translated(dx, dy) & all);
}

void RetainedSurface::Invalidate(const QRect& r)
{
    const QRect inside = r & m_image.rect();
    if (!inside.isEmpty()) m_pending += inside;
}

QRect RetainedSurface::TakePending()
{
    const QRect box = m_pending.boundingRect() & m_image.rect();
    m_pending = QRegion();
    return box;
}

CDC* RetainedSurface::GetDC()
{
    m_dc = std::make_unique<CDC>(m_image);
    return m_dc.get();
}

void RetainedSurface::ReleaseDC(CDC* dc)
{
    if (dc == m_dc.get()) m_dc.reset();
}

void RetainedSurface::Paint(QWidget* widget, const QPaintEvent* event) const
{
    QPainter p(widget);
    for (const QRect& r : event->region()) p.drawImage(r.topLeft(), m_image, r);
    // A window that grew while it was drawing has no picture there yet.
    const QRegion beyond = event->region() - QRegion(m_image.rect());
    for (const QRect& r : beyond) p.fillRect(r, QColor::fromRgb(m_background));
}
