#include "platform/Dc.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

void MakeOpaque(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) row[x] |= 0xFF000000u;
    }
}

QFont MakeFont(const QString& face, int cellHeight, int weight)
{
    // Kept for the life of the process (never destroyed: fonts must not
    // outlive the application object's font system).
    static auto& made = *new std::map<std::tuple<QString, int, int>, QFont>;
    const auto key = std::make_tuple(face, cellHeight, weight);
    if (auto it = made.find(key); it != made.end()) return it->second;

    QFont font(face);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    // The largest pixel size whose cell (ascent plus descent) fits.
    int size = std::max(1, cellHeight);
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > cellHeight) font.setPixelSize(--size);
    made.emplace(key, font);
    return font;
}

CDC::CDC(QImage& surface, const QRect& clipDevice, QPoint viewportOrg)
    : m_surface(&surface), m_clipDevice(clipDevice & surface.rect()), m_clip(m_clipDevice), m_viewportOrg(viewportOrg)
{
}

CDC::CDC(QImage& surface) : CDC(surface, surface.rect()) {}

QRect CDC::GetClipBox() const { return m_clip.boundingRect().translated(-m_viewportOrg); }

void CDC::SelectClipPolygon(const QPolygon& logical)
{
    m_clip = QRegion(m_clipDevice) & QRegion(logical.translated(m_viewportOrg), Qt::WindingFill);
}

void CDC::ResetClip() { m_clip = QRegion(m_clipDevice); }

int CDC::SetROP2(int mode)
{
    const int old = m_rop;
    m_rop = mode;
    return old;
}

void CDC::PlotClipped(int x, int y, QRgb colour)
{
    if (!m_clip.contains(QPoint(x, y))) return;
    auto* px = reinterpret_cast<QRgb*>(m_surface->scanLine(y)) + x;
    if (m_rop == R2_XORPEN)
        *px ^= (colour & 0x00FFFFFFu);
    else
        *px = colour | 0xFF000000u;
}

void CDC::LineTo(QPoint p)
{
    const QPoint from = m_current;
    m_current = p;
    // Bresenham from `from` to `p`, the end point excluded.
    const QPoint a = from + m_viewportOrg;
    const QPoint b = p + m_viewportOrg;
    int x = a.x(), y = a.y();
    const int dx = std::abs(b.x() - x), sx = x < b.x() ? 1 : -1;
    const int dy = -std::abs(b.y() - y), sy = y < b.y() ? 1 : -1;
    int err = dx + dy;
    while (x != b.x() || y != b.y()) {
        PlotClipped(x, y, m_pen);
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

void CDC::SetPixel(QPoint p, QRgb colour)
{
    const QPoint d = p + m_viewportOrg;
    if (!m_clip.contains(d)) return;
    reinterpret_cast<QRgb*>(m_surface->scanLine(d.y()))[d.x()] = colour | 0xFF000000u;
}

void CDC::FillRect(const QRect& r, QRgb colour)
{
    const QRegion area = m_clip & QRegion(r.translated(m_viewportOrg));
    for (const QRect& part : area) {
        for (int y = part.top(); y <= part.bottom(); ++y) {
            auto* out = reinterpret_cast<QRgb*>(m_surface->scanLine(y));
            std::fill(out + part.left(), out + part.left() + part.width(), colour | 0xFF000000u);
        }
    }
}

void CDC::Rectangle(const QRect& r)
{
    if (r.isEmpty()) return;
    FillRect(r.adjusted(1, 1, -1, -1), m_brush);
    FrameRect(r, m_pen);
}

void CDC::FrameRect(const QRect& r, QRgb colour)
{
    if (r.isEmpty()) return;
    FillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    FillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    FillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    FillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

void CDC::DrawFocusRect(const QRect& r)
{
    const QRect d = r.translated(m_viewportOrg);
    if (d.isEmpty()) return;
    const int rop = m_rop;
    m_rop = R2_COPYPEN;
    auto dot = [this](int x, int y) { PlotClipped(x, y, ((x + y) & 1) ? qRgb(64, 64, 64) : qRgb(255, 255, 255)); };
    for (int x = d.left(); x <= d.right(); ++x) {
        dot(x, d.top());
        dot(x, d.bottom());
    }
    for (int y = d.top() + 1; y < d.bottom(); ++y) {
        dot(d.left(), y);
        dot(d.right(), y);
    }
    m_rop = rop;
}

void CDC::BitBlt(QPoint dest, const QImage& image, const QRect& src, unsigned op)
{
    const QImage source = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    const QRect from = src & source.rect();
    if (from.isEmpty() && op != DSTINVERT) return;
    const QPoint shift = dest + m_viewportOrg - src.topLeft();
    const QRect target = op == DSTINVERT ? src.translated(shift) : from.translated(shift);
    const QRegion area = m_clip & QRegion(target);
    for (const QRect& part : area) {
        for (int y = part.top(); y <= part.bottom(); ++y) {
            auto* out = reinterpret_cast<QRgb*>(m_surface->scanLine(y));
            const QRgb* in = op == DSTINVERT ? nullptr : reinterpret_cast<const QRgb*>(source.constScanLine(y - shift.y()));
            for (int x = part.left(); x <= part.right(); ++x) {
                switch (op) {
                case SRCINVERT: out[x] = (out[x] ^ (in[x - shift.x()] & 0x00FFFFFFu)) | 0xFF000000u; break;
                case DSTINVERT: out[x] = (~out[x] & 0x00FFFFFFu) | 0xFF000000u; break;
                default: out[x] = in[x - shift.x()] | 0xFF000000u; break;
                }
            }
        }
    }
}

void CDC::StretchDIBits(const QRect& dest, const QRect& src, const uint8_t* bits, int bmWidth, int bmHeight)
{
    if (!bits || bmWidth <= 0 || bmHeight <= 0) return;
    const QRect srcClipped = src & QRect(0, 0, bmWidth, bmHeight);
    if (srcClipped.isEmpty() || dest.isEmpty()) return;
    // The rows as an image (the unused fourth byte made opaque).
    const QImage rows(bits, bmWidth, bmHeight, bmWidth * 4, QImage::Format_RGB32);
    if (dest.size() == src.size()) {
        BitBlt(dest.topLeft() + (srcClipped.topLeft() - src.topLeft()), rows, srcClipped, SRCCOPY);
        return;
    }
    QImage opaque = rows.copy(srcClipped);
    MakeOpaque(opaque);
    const double fx = static_cast<double>(dest.width()) / src.width();
    const double fy = static_cast<double>(dest.height()) / src.height();
    const QRectF target(dest.left() + (srcClipped.left() - src.left()) * fx, dest.top() + (srcClipped.top() - src.top()) * fy,
                        srcClipped.width() * fx, srcClipped.height() * fy);
    QPainter painter(m_surface);
    painter.setClipRegion(m_clip);
    painter.translate(m_viewportOrg);
    painter.drawImage(target, opaque);
}

void CDC::TextOut(QPoint p, const QString& text)
{
    if (text.isEmpty()) return;
    QPainter painter(m_surface);
    painter.setClipRegion(m_clip);
    painter.setFont(m_font);
    painter.setPen(QColor::fromRgb(m_text));
    const QFontMetrics metrics(m_font);
    painter.drawText(p + m_viewportOrg + QPoint(0, metrics.ascent()), text);
}

void CDC::DrawText(const QString& text, const QRect& r, unsigned format)
{
    if (text.isEmpty()) return;
    int flags = 0;
    flags |= (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    flags |= (format & DT_VCENTER) ? Qt::AlignVCenter : (format & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
    if (!(format & DT_SINGLELINE)) flags |= Qt::TextWordWrap;
    QString shown = text;
    if (format & DT_SINGLELINE) shown.replace('\n', ' ');
    QPainter painter(m_surface);
    painter.setClipRegion(m_clip);
    painter.setFont(m_font);
    painter.setPen(QColor::fromRgb(m_text));
    painter.drawText(r.translated(m_viewportOrg), flags, shown);
}
