#include "panels/GradientStrip.h"

#include <QColor>

#include <algorithm>

#include "engine/FloatInt.h"
#include "panels/Paint.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"

namespace {

constexpr float kByteToColor = 1.0f / 255.0f;

}  // namespace

CGradientStrip::CGradientStrip(EditingSession& session, int16_t& mode, QWidget* parent)
    : CWnd(parent), m_session(session), gradientMode(mode)
{
    setObjectName(QStringLiteral("gradientStrip"));
    // A grey ramp until a layer is shown: 253 for cell 0 down to 0.
    for (int i = 0; i < kCells; ++i) {
        const auto grey = static_cast<uint8_t>(11 * (kCells - 1 - i));
        red[i] = green[i] = blue[i] = grey;
    }
}

void CGradientStrip::LoadGradient(const morvane::Layer& layer)
{
    if (!layer.gradient) return;
    for (int i = 0; i < kCells; ++i) {
        const morvane::GradientEntry& e = layer.gradient->entries[i];
        red[i] = static_cast<uint8_t>(ChannelByte(e.startR));
        green[i] = static_cast<uint8_t>(ChannelByte(e.startG));
        blue[i] = static_cast<uint8_t>(ChannelByte(e.startB));
    }
    Invalidate();
    UpdateWindow();
}

int CGradientStrip::CellAt(int x)
{
    if (x < 0) return -1;
    const int k = x / kCellWidth;
    return k < kCells ? k : -1;
}

void CGradientStrip::Select(int k)
{
    if (k == selectedCell) return;
    selectedCell = static_cast<int16_t>(k);
    Invalidate();
    UpdateWindow();
}

void CGradientStrip::OnPaint(CDC* dc)
{
    const int h = height();
    dc->FillRect(dc->GetClipBox(), qRgb(0, 0, 0));
    for (int i = 0; i < kCells; ++i) {
        const QRect cell(kCellWidth * i, 0, kCellWidth, h);
        const bool selected = i == selectedCell;
        dc->SetROP2(R2_COPYPEN);
        dc->SetPenColor(selected ? qRgb(0, 0, 255) : qRgb(128, 128, 128));
        dc->SetBrushColor(CellColor(i));
        dc->Rectangle(cell);
        if (selected) {
            DrawBevelLines(dc, cell, qRgb(0, 0, 255), qRgb(0, 255, 255));
            DrawBevelLines(dc, cell.adjusted(1, 1, -1, -1), qRgb(0, 0, 128), qRgb(0, 128, 255));
        } else {
            DrawSunkenFrame(dc, cell);
        }
    }
}

void CGradientStrip::OnLButtonDown(QPoint point)
{
    const int k = CellAt(point.x());
    if (k < 0 || !m_session.Document()) return;
    Select(k);
    if (gradientMode == 0) return;
    const int16_t was = gradientMode--;
    if (was == 2) {
        firstCell = static_cast<int16_t>(k);
        return;
    }
    if (gradientMode != 0) return;
    // The second click.
    m_session.Commit();
    const int lo = std::min<int>(firstCell, k), hi = std::max<int>(firstCell, k);
    if (hi - lo > 0) Blend(lo, hi);
}

void CGradientStrip::Blend(int lo, int hi)
{
    std::array<uint8_t, 32>* mirrors[3] = {&red, &green, &blue};
    float step[3];
    double running[3];
    for (int c = 0; c < 3; ++c) {
        const auto& m = *mirrors[c];
        step[c] = static_cast<float>(static_cast<double>(m[hi] - m[lo]) / (hi - lo));
        running[c] = m[lo];
    }
    for (int i = lo + 1; i <= hi; ++i) {
        std::array<float, 3> rgb;
        for (int c = 0; c < 3; ++c) {
            auto& m = *mirrors[c];
            running[c] += step[c];
            // Cell hi keeps its own colour, whatever the sum of the steps
            // comes to.
            const double value = i < hi ? running[c] : m[hi];
            if (i < hi) m[i] = static_cast<uint8_t>(std::clamp(morvane::SatTrunc(value), 0, 255));
            rgb[c] = static_cast<float>(value * kByteToColor);
        }
        m_session.SetGradientBoundary(i, rgb, {});
    }
    Invalidate();
    UpdateWindow();
    m_session.Show(EditingSession::Image);
}

void CGradientStrip::OnLButtonDblClk(QPoint point)
{
    const int k = CellAt(point.x());
    if (k < 0 || !m_session.Document()) return;
    Select(k);
    ChooseColor();
}

void CGradientStrip::ChooseColor()
{
    const int k = selectedCell;
    if (k < 0 || k >= kCells || !m_session.Document()) return;
    QColor chosen;
    if (!m_session.Ui().ColorDialog(this, QColor(CellColor(k)), &chosen)) return;
    WriteCell(k, chosen.red(), chosen.green(), chosen.blue());
}

void CGradientStrip::WriteCell(int k, int r, int g, int b)
{
    red[k] = static_cast<uint8_t>(r);
    green[k] = static_cast<uint8_t>(g);
    blue[k] = static_cast<uint8_t>(b);
    const std::array<float, 3> rgb = {static_cast<float>(r) * kByteToColor, static_cast<float>(g) * kByteToColor,
                                      static_cast<float>(b) * kByteToColor};
    m_session.SetGradientBoundary(k, rgb, {});
    Invalidate();
    UpdateWindow();
    m_session.Commit(EditingSession::Image);
}
