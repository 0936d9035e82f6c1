#include "panels/TimeRamp.h"

#include <algorithm>
#include <cmath>

#include "engine/Animation.h"
#include "engine/FloatInt.h"
#include "platform/Background.h"
#include "platform/EditingSession.h"

namespace {

constexpr QRgb kInk = 0xFFFFFFFFu;  // XOR with white inverts the picture
constexpr QRgb kClear = 0xFF000000u;  // XOR with black leaves it

// The cursor: an arrow 16 x 16 pointing up at the groove.
QImage CursorBitmap()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(kClear);
    for (int y = 0; y < 8; ++y) {
        for (int x = 7 - y; x <= 8 + y; ++x) image.setPixel(x, y, kInk);
    }
    for (int y = 8; y < 16; ++y) {
        for (int x = 5; x <= 10; ++x) image.setPixel(x, y, kInk);
    }
    return image;
}

// A key's mark: a diamond 11 x 11, outlined, or filled for the current key.
QImage KeyBitmap(bool filled)
{
    QImage image(11, 11, QImage::Format_RGB32);
    image.fill(kClear);
    for (int y = 0; y < 11; ++y) {
        const int half = 5 - std::abs(y - 5);
        for (int x = 5 - half; x <= 5 + half; ++x) {
            const bool edge = x == 5 - half || x == 5 + half;
            if (filled || edge) image.setPixel(x, y, kInk);
        }
    }
    return image;
}

// Pixels inside the mark zone belong to the marks; below it, to the cursor.
constexpr int kMarkZoneBottom = 12;

}  // namespace

CTimeRamp::CTimeRamp(EditingSession& session, QWidget* parent)
    : CWnd(parent), m_session(session), m_cursorBitmap(CursorBitmap()), m_keyBitmap(KeyBitmap(false)),
      m_currentKeyBitmap(KeyBitmap(true))
{
    setObjectName(QStringLiteral("timeRamp"));
}

bool CTimeRamp::LengthUsable() const { return std::isfinite(length) && length != 0.0f; }

bool CTimeRamp::Usable() const { return Track() > 0; }

int CTimeRamp::CursorLeft() const
{
    return morvane::SatTrunc(static_cast<float>(Track()) * currentTime / length) + 2;
}

int CTimeRamp::MarkLeft(float keyTime) const { return morvane::SatTrunc(static_cast<float>(Track()) * keyTime) + 5; }

int CTimeRamp::ClampX(int x) const { return std::clamp(x, 10, width() - 10); }

// ---------------------------------------------------------------------------
// Painting

void CTimeRamp::OnPaint(CDC* dc)
{
    const QImage& background = m_session.Backgrounds().For(this);
    dc->BitBlt(QPoint(0, 0), background, background.rect());

    const int left = 10, top = 11, right = width() - 10, bottom = height() - 16;
    dc->FrameRect(WinRect(left, top, right, bottom), qRgb(128, 128, 128));
    auto polyline = [dc](QRgb colour, QPoint a, QPoint b, QPoint c) {
        dc->SetPenColor(colour);
        dc->MoveTo(a);
        dc->LineTo(b);
        dc->LineTo(c);
    };
    polyline(qRgb(64, 64, 64), {left, bottom}, {left, top}, {right, top});
    polyline(qRgb(255, 255, 255), {left, bottom}, {right, bottom}, {right, top});
    polyline(qRgb(0, 0, 0), {left + 1, bottom - 1}, {left + 1, top + 1}, {right - 1, top + 1});
    polyline(qRgb(192, 192, 192), {left + 1, bottom - 1}, {right - 1, bottom - 1}, {right - 1, top + 1});

    if (LengthUsable()) dc->BitBlt(QPoint(CursorLeft(), height() - 17), m_cursorBitmap, m_cursorBitmap.rect(), SRCINVERT);

    const morvane::Layer* layer = m_session.CurrentLayerRecord();
    if (!layer || layer->rec.animated == 0) return;
    const int count = morvane::KeyCount(*layer);
    for (int k = 0; k < count; ++k) {
        const QImage& mark = k == currentKey ? m_currentKeyBitmap : m_keyBitmap;
        dc->BitBlt(QPoint(MarkLeft(layer->keys[static_cast<size_t>(k)].rec.time), 0), mark, mark.rect(), SRCINVERT);
    }
}

void CTimeRamp::ShowNoDocument()
{
    if (HasCapture()) ReleaseCapture();
    length = kMadeLength;
    currentTime = 0.0f;
    currentKey = 0;
    dragMode = 0;
    Repaint();
}

// ---------------------------------------------------------------------------
// Mouse

void CTimeRamp::Repaint()
{
    Invalidate();
    UpdateWindow();
}

void CTimeRamp::Scrub(int x)
{
    currentTime = static_cast<float>(ClampX(x) - 10) * length / static_cast<float>(Track());
    emit timeShown(currentTime);
    Repaint();
    m_session.InterpolateAt(currentTime / length);
}

bool CTimeRamp::MoveKey(int k, int x)
{
    return m_session.MoveKey(k, static_cast<float>(ClampX(x) - 10) / static_cast<float>(Track()));
}

void CTimeRamp::OnLButtonDown(QPoint point)
{
    if (!m_session.Document() || !Usable()) return;
    const int x = point.x();
    if (point.y() > kMarkZoneBottom) {
        if (!LengthUsable()) return;
        const int g = CursorLeft() - 2;
        if (!(g < x && x < g + 20)) return;
        SetCapture();
        dragMode = 0;
        Scrub(x);
        return;
    }

    morvane::Layer* layer = m_session.CurrentLayerRecord();
    if (!layer || layer->rec.animated == 0) return;
    const int count = morvane::KeyCount(*layer);
    currentKey = -1;
    for (int k = 0; k < count; ++k) {
        const int l = MarkLeft(layer->keys[static_cast<size_t>(k)].rec.time) - 5;
        if (l + 5 < x && x < l + 15) {
            currentKey = k;
            if (k + 2 == count) break;
        }
    }
    if (currentKey < 0) {
        Repaint();
        return;
    }
    SetCapture();
    dragMode = 1;
    MoveKey(currentKey, x);
    const float seconds = layer->keys[static_cast<size_t>(currentKey)].rec.time * length;
    currentTime = seconds;
    emit keyChosen(currentKey, seconds);
    Repaint();
    m_session.LoadKey(currentKey);
}

void CTimeRamp::OnMouseMove(QPoint point)
{
    if (!HasCapture()) return;
    if (dragMode == 0) {
        if (LengthUsable() && Usable()) Scrub(point.x());
        return;
    }
    morvane::Layer* layer = m_session.CurrentLayerRecord();
    if (!layer || currentKey < 0 || currentKey >= morvane::KeyCount(*layer) || !Usable()) return;
    MoveKey(currentKey, point.x());
    currentTime = layer->keys[static_cast<size_t>(currentKey)].rec.time * length;
    emit timeShown(currentTime);
    Repaint();
}

void CTimeRamp::OnLButtonUp(QPoint)
{
    if (!HasCapture()) return;
    ReleaseCapture();
    if (dragMode == 0) m_session.Show(EditingSession::Image);
}
