#include "panels/ColorBarWnd.h"

#include <QColor>

#include <algorithm>
#include <cstddef>

#include "engine/FloatInt.h"
#include "panels/Paint.h"
#include "platform/DialogUnits.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"

namespace {

constexpr int kTop = 5;       // row of 255
constexpr int kBottom = 115;  // row of 0
constexpr int kSpan = kBottom - kTop;
constexpr int kSwatchLeft = 38;
constexpr int kSwatchRight = 68;

// The first and last column of bar b (0 red, 1 green, 2 blue).
int BarLeft(int b) { return 2 + 12 * b; }
int BarRight(int b) { return 12 + 12 * b; }

// The colour of the layer each mode edits.
morvane::LayerColour ColourOf(int16_t mode)
{
    switch (mode) {
    case CColorBarWnd::Brilliance: return morvane::LayerColour::Brilliance;
    case CColorBarWnd::ReflectionColor: return morvane::LayerColour::Reflection;
    default: return morvane::LayerColour::Light;
    }
}

int Component(QRgb c, int bar) { return bar == 0 ? qRed(c) : bar == 1 ? qGreen(c) : qBlue(c); }

}  // namespace

CColorBarWnd::CColorBarWnd(EditingSession& session, QWidget* parent) : CWnd(parent), m_session(session) {}

CColorBarWnd* CColorBarWnd::Create(EditingSession& session, QWidget* parent, const QString& name, const QRect& dlu,
                                   QRgb color, int16_t mode)
{
    auto* bar = new CColorBarWnd(session, parent);
    bar->setObjectName(name);
    bar->setGeometry(MapDialogRect(dlu));
    bar->color = color;
    bar->mode = mode;
    bar->show();
    return bar;
}

int CColorBarWnd::HitTest(QPoint p)
{
    const int x = p.x(), y = p.y();
    if (y < kTop || y > kBottom) return -1;
    if (x >= 2 && x <= 12) return 0;
    if (x > 13 && x <= 24) return 1;
    if (x > 25 && x <= 36) return 2;
    if (x >= kSwatchLeft && x <= kSwatchRight) return 3;
    return -1;
}

int CColorBarWnd::ComponentAt(int y) { return (kBottom - y) * 255 / kSpan; }

void CColorBarWnd::SetComponent(int bar, int value)
{
    const int v = std::clamp(value, 0, 255);
    const int r = bar == 0 ? v : qRed(color);
    const int g = bar == 1 ? v : qGreen(color);
    const int b = bar == 2 ? v : qBlue(color);
    color = qRgb(r, g, b);
}

void CColorBarWnd::StoreColor()
{
    m_session.SetLayerColour(ColourOf(mode), qRed(color), qGreen(color), qBlue(color), EditingSession::Preview);
}

void CColorBarWnd::OnPaint(CDC* dc)
{
    const QRgb lightGrey = qRgb(192, 192, 192);
    dc->FillRect(dc->GetClipBox(), lightGrey);
    const QRgb pure[3] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (int bar = 0; bar < 3; ++bar) {
        const int top = kBottom - morvane::SatTrunc(Component(color, bar) * static_cast<double>(1.0f / 255.0f) * kSpan);
        dc->FillRect(WinRect(BarLeft(bar), top, BarRight(bar) + 1, kBottom + 1), pure[bar]);
        DrawSunkenFrame(dc, WinRect(BarLeft(bar) - 1, kTop - 1, BarRight(bar) + 2, kBottom + 2));
    }
    dc->FillRect(WinRect(kSwatchLeft, kTop, kSwatchRight + 1, kBottom + 1), color);
    DrawSunkenFrame(dc, WinRect(kSwatchLeft - 1, kTop - 1, kSwatchRight + 2, kBottom + 2));
}

void CColorBarWnd::OnLButtonDown(QPoint point)
{
    dragBar = static_cast<int16_t>(HitTest(point));
    if (dragBar >= 0 && dragBar <= 2) {
        SetComponent(dragBar, ComponentAt(point.y()));
        SetCapture();
        StoreColor();
    } else if (dragBar == 3) {
        // Cancel leaves the colour and the layer as they are.
        QColor chosen;
        if (m_session.Ui().ColorDialog(this, QColor(color), &chosen)) {
            color = qRgb(chosen.red(), chosen.green(), chosen.blue());
            StoreColor();
        }
    }
    Invalidate();
    UpdateWindow();
}

void CColorBarWnd::OnMouseMove(QPoint point)
{
    if (dragBar < 0 || dragBar > 2 || !HasCapture()) return;
    SetComponent(dragBar, ComponentAt(point.y()));
    StoreColor();
    Invalidate();
    UpdateWindow();
}

void CColorBarWnd::OnLButtonUp(QPoint)
{
    if (!HasCapture()) return;
    ReleaseCapture();
    if (mode == LightColor) emit lightColorChanged();
}
