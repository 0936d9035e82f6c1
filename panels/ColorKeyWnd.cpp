#include "panels/ColorKeyWnd.h"

#include <algorithm>

#include "engine/FloatInt.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"

namespace {

// A channel 0..1 as a byte: times 255, truncated, limited to 0..255.
int Byte(float channel) { return std::clamp(morvane::SatTrunc(static_cast<double>(channel) * 255.0), 0, 255); }

}  // namespace

CColorKeyWnd::CColorKeyWnd(EditingSession& session, QWidget* parent) : CWnd(parent), m_session(session) {}

void CColorKeyWnd::SetColor(float red, float green, float blue)
{
    m_red = red;
    m_green = green;
    m_blue = blue;
    Invalidate();
}

void CColorKeyWnd::OnPaint(CDC* dc)
{
    const QRect r = rect();
    dc->FillRect(r, qRgb(0, 0, 0));
    dc->SetPenColor(qRgb(128, 128, 128));
    dc->SetBrushColor(qRgb(Byte(m_red), Byte(m_green), Byte(m_blue)));
    dc->Rectangle(r);
    // Sunken: dark grey and white outside, black and light grey inside.
    const QRgb colours[4] = {qRgb(64, 64, 64), qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(192, 192, 192)};
    for (int inset = 0; inset < 2; ++inset) {
        const QRect e = r.adjusted(inset, inset, -inset, -inset);
        if (e.isEmpty()) break;
        dc->FillRect(QRect(e.left(), e.top(), e.width(), 1), colours[inset * 2]);
        dc->FillRect(QRect(e.left(), e.top(), 1, e.height()), colours[inset * 2]);
        dc->FillRect(QRect(e.left(), e.bottom(), e.width(), 1), colours[inset * 2 + 1]);
        dc->FillRect(QRect(e.right(), e.top(), 1, e.height()), colours[inset * 2 + 1]);
    }
}

void CColorKeyWnd::OnLButtonUp(QPoint point)
{
    // A release away from the swatch is no choice.
    if (!rect().contains(point)) return;
    QColor chosen;
    if (!m_session.Ui().ColorDialog(this, QColor(0, 0, 255), &chosen)) return;
    SetColor(static_cast<float>(chosen.red()) / 255.0f, static_cast<float>(chosen.green()) / 255.0f,
             static_cast<float>(chosen.blue()) / 255.0f);
    UpdateWindow();
    m_session.SetColorKey(m_red, m_green, m_blue);
}
