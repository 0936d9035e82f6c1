#include "panels/SphereLightWnd.h"

#include <cmath>
#include <cstddef>

#include "engine/FloatInt.h"
#include "panels/Paint.h"
#include "platform/EditingSession.h"

namespace {

constexpr int kSphereSize = 75;
constexpr int kMarkerSize = 16;

// The marker: a white ring on black, so that inverting it onto the picture
// changes only the ring.
const QImage& MarkerImage()
{
    static const QImage image = [] {
        QImage m(kMarkerSize, kMarkerSize, QImage::Format_RGB32);
        m.fill(qRgb(0, 0, 0));
        const double c = (kMarkerSize - 1) / 2.0;
        for (int y = 0; y < kMarkerSize; ++y) {
            for (int x = 0; x < kMarkerSize; ++x) {
                const double r = std::hypot(x - c, y - c);
                if (r >= 4.5 && r <= 7.0) m.setPixel(x, y, qRgb(255, 255, 255));
            }
        }
        return m;
    }();
    return image;
}

}  // namespace

CSphereLightWnd::CSphereLightWnd(EditingSession& session, QWidget* parent) : CWnd(parent), m_session(session) {}

QPoint CSphereLightWnd::MarkerCentre(float lx, float ly, int w, int h)
{
    const int gx = morvane::SatTrunc(static_cast<double>(w - kMarkerSize) * lx * 0.5 + w / 2);
    const int gy = morvane::SatTrunc(static_cast<double>(h - kMarkerSize) * ly * 0.5 + h / 2);
    return QPoint(gx, gy);
}

void CSphereLightWnd::DrawMarker(CDC* dc, QPoint centre, int w, int h)
{
    const QPoint half(kMarkerSize / 2, kMarkerSize / 2);
    dc->BitBlt(centre - half, MarkerImage(), MarkerImage().rect(), SRCINVERT);
    const int oldMode = dc->SetROP2(R2_XORPEN);
    dc->SetPenColor(qRgb(255, 255, 255));
    dc->MoveTo(centre);
    dc->LineTo(QPoint(w / 2, h / 2));
    dc->SetROP2(oldMode);
}

void CSphereLightWnd::OnPaint(CDC* dc)
{
    clientRect = GetClientRect();
    const int left = clientRect.left(), top = clientRect.top();
    const int right = left + clientRect.width(), bottom = top + clientRect.height();
    dc->FillRect(dc->GetClipBox(), qRgb(192, 192, 192));
    // The sunken frame from (left + 1, top + 1) to (right - 1, bottom - 1).
    DrawSunkenFrame(dc, WinRect(left + 1, top + 1, right, bottom));

    m_marker.reset();
    const morvane::Layer* layer = m_session.CurrentLayerRecord();
    if (!layer) return;
    DrawSphere(dc, layer->rec);
    m_marker = MarkerCentre(layer->rec.lightDirX, layer->rec.lightDirY, width(), height());
    DrawMarker(dc, *m_marker, width(), height());
}

void CSphereLightWnd::DrawSphere(CDC* dc, const morvane::LayerRecord& layer)
{
    const morvane::SphereTable* table = m_session.SphereTable();
    if (!table) return;
    const int w = width(), h = height();
    const int x0 = (w - kSphereSize) / 2;
    m_shader.ShadeRows(*table, layer, [&](int d) {
        const QRect line(0, 0, kSphereSize, 1);
        dc->StretchDIBits(QRect(x0, h / 2 - d / 2, kSphereSize, 1), line, m_shader.lineA, morvane::kShadingLinePixels, 1);
        dc->StretchDIBits(QRect(x0, h / 2 + d / 2, kSphereSize, 1), line, m_shader.lineB, morvane::kShadingLinePixels, 1);
    });
}

bool CSphereLightWnd::SetDirection(QPoint point)
{
    const int hw = width() / 2, hh = height() / 2;
    if (hw <= 0 || hh <= 0) return false;
    const float lx = static_cast<float>(point.x() - hw) / static_cast<float>(hw);
    const float ly = static_cast<float>(point.y() - hh) / static_cast<float>(hh);
    return m_session.SetLightDirection(lx, ly, EditingSession::Preview);
}

void CSphereLightWnd::MoveMarker()
{
    const morvane::Layer* layer = m_session.CurrentLayerRecord();
    if (!layer) return;
    CDC* dc = GetDC();
    if (m_marker) DrawMarker(dc, *m_marker, width(), height());
    m_marker = MarkerCentre(layer->rec.lightDirX, layer->rec.lightDirY, width(), height());
    DrawMarker(dc, *m_marker, width(), height());
    ReleaseDC(dc);
}

void CSphereLightWnd::OnLButtonDown(QPoint point)
{
    if (!SetDirection(point)) return;
    MoveMarker();
    SetCapture();
}

void CSphereLightWnd::OnMouseMove(QPoint point)
{
    if (!HasCapture() || !SetDirection(point)) return;
    MoveMarker();
}

void CSphereLightWnd::OnLButtonUp(QPoint point)
{
    if (!HasCapture()) return;
    SetDirection(point);
    ReleaseCapture();
    Invalidate();
    UpdateWindow();
}

void CSphereLightWnd::OnCaptureChanged()
{
    // A drag cut short: show the sphere for the direction it left.
    Invalidate();
}
