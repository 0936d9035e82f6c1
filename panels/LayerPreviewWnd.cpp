#include "panels/LayerPreviewWnd.h"

#include "engine/Render.h"
#include "platform/EditingSession.h"

CLayerPreviewWnd::CLayerPreviewWnd(EditingSession& session, QWidget* parent) : CWnd(parent), m_session(session)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CLayerPreviewWnd::RenderLayer(morvane::Layer& layer)
{
    const QSize size = (this->size() - QSize(4, 4)).expandedTo(QSize(0, 0));
    if (size.isEmpty()) {
        m_picture = QImage();
        return;
    }
    morvane::PrepareLayerForRender(layer);
    QImage picture(size, QImage::Format_RGB32);
    // The preview's rows are bottom first: start at the picture's last row.
    morvane::RenderLayerPreview(layer, size.width(), size.height(), picture.scanLine(size.height() - 1),
                                -static_cast<std::ptrdiff_t>(picture.bytesPerLine()));
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x) row[x] |= 0xFF000000u;
    }
    m_picture = std::move(picture);
    Invalidate();
}

void CLayerPreviewWnd::Clear()
{
    m_layer = -1;
    m_selected = false;
    m_picture = QImage();
    Invalidate();
}

void CLayerPreviewWnd::OnPaint(CDC* dc)
{
    const QRect r = rect();
    dc->FillRect(r, qRgb(0, 0, 0));
    // A bevel of two lines: outer left and top, outer right and bottom,
    // inner left and top, inner right and bottom.
    const QRgb colours[2][4] = {{qRgb(64, 64, 64), qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(192, 192, 192)},
                                {qRgb(0, 0, 255), qRgb(0, 255, 255), qRgb(0, 0, 128), qRgb(0, 128, 255)}};
    const QRgb* c = colours[m_selected ? 1 : 0];
    for (int inset = 0; inset < 2; ++inset) {
        const QRect e = r.adjusted(inset, inset, -inset, -inset);
        if (e.isEmpty()) break;
        const QRgb lightSide = c[inset * 2], darkSide = c[inset * 2 + 1];
        dc->FillRect(QRect(e.left(), e.top(), e.width(), 1), lightSide);
        dc->FillRect(QRect(e.left(), e.top(), 1, e.height()), lightSide);
        dc->FillRect(QRect(e.left(), e.bottom(), e.width(), 1), darkSide);
        dc->FillRect(QRect(e.right(), e.top(), 1, e.height()), darkSide);
    }
    if (m_layer >= 0 && !m_picture.isNull()) dc->BitBlt(QPoint(2, 2), m_picture, m_picture.rect(), SRCCOPY);
    if (ShowsFocus(this)) dc->DrawFocusRect(r.adjusted(2, 2, -2, -2));
}

void CLayerPreviewWnd::OnLButtonDown(QPoint)
{
    if (m_layer < 0) return;
    m_session.ShowLayer(m_layer + 1);
}

bool CLayerPreviewWnd::OnKeyDown(int key, bool repeat)
{
    if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    if (!repeat) OnLButtonDown(QPoint());
    return true;
}
