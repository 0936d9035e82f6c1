#include "platform/Wnd.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>

bool ShowsFocus(const QWidget* control)
{
    return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

CWnd::CWnd(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    m_surface.Resize(size(), RetainedSurface::ScreenSize(this));
}

CWnd::~CWnd() = default;

void CWnd::Invalidate() { InvalidateRect(rect()); }

void CWnd::InvalidateRect(const QRect& client)
{
    m_surface.Invalidate(client);
    if (m_surface.HasPending()) update(m_surface.Pending().boundingRect());
}

void CWnd::DrawPending()
{
    if (m_drawing) return;
    const QRect box = m_surface.TakePending();
    if (box.isEmpty()) return;
    m_drawing = true;
    {
        CDC dc(m_surface.Image(), box);
        OnPaint(&dc);
    }
    m_drawing = false;
}

void CWnd::UpdateWindow()
{
    if (!m_surface.HasPending()) return;
    const QRect box = m_surface.Pending().boundingRect();
    DrawPending();
    repaint(box);
}

CDC* CWnd::GetDC() { return m_surface.GetDC(); }

void CWnd::ReleaseDC(CDC* dc)
{
    m_surface.ReleaseDC(dc);
    update();
}

void CWnd::paintEvent(QPaintEvent* event)
{
    DrawPending();
    m_surface.Paint(this, event);
}

void CWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_surface.Resize(size(), RetainedSurface::ScreenSize(this));
    // A control draws itself whole at its new size.
    m_surface.InvalidateAll();
    update();
}

// ---------------------------------------------------------------------------
// Mouse

void CWnd::SetCapture()
{
    m_capture = true;
    grabMouse();
}

void CWnd::ReleaseCapture()
{
    if (!m_capture) return;
    m_capture = false;
    if (QWidget::mouseGrabber() == this) releaseMouse();
}

bool CWnd::HasCapture()
{
    if (m_capture && QWidget::mouseGrabber() != this) LoseCapture();
    return m_capture;
}

void CWnd::LoseCapture()
{
    if (!m_capture) return;
    ReleaseCapture();
    OnCaptureChanged();
}

void CWnd::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    LoseCapture();
}

void CWnd::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) LoseCapture();
}

void CWnd::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        OnLButtonDown(e->position().toPoint());
    else if (e->button() == Qt::RightButton)
        OnRButtonDown(e->position().toPoint());
}

void CWnd::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        OnLButtonUp(e->position().toPoint());
    else if (e->button() == Qt::RightButton)
        OnRButtonUp(e->position().toPoint());
}

void CWnd::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double click is the double click alone.
    if (e->button() == Qt::LeftButton) OnLButtonDblClk(e->position().toPoint());
}

void CWnd::mouseMoveEvent(QMouseEvent* e) { OnMouseMove(e->position().toPoint()); }

// ---------------------------------------------------------------------------
// Keyboard

void CWnd::keyPressEvent(QKeyEvent* e)
{
    if (!OnKeyDown(e->key(), e->isAutoRepeat())) QWidget::keyPressEvent(e);
}

void CWnd::keyReleaseEvent(QKeyEvent* e)
{
    if (!OnKeyUp(e->key(), e->isAutoRepeat())) QWidget::keyReleaseEvent(e);
}

void CWnd::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    Invalidate();
}

void CWnd::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    Invalidate();
}

// ---------------------------------------------------------------------------
// Timers

void CWnd::SetTimer(int id, int ms)
{
    ClockTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new ClockTimer(this);
        connect(timer, &ClockTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->Start(ms, true);
}

void CWnd::KillTimer(int id)
{
    if (auto it = m_timers.find(id); it != m_timers.end()) it->second->Stop();
}
