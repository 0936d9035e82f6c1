#include "platform/View.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>

#include "platform/Document.h"
#include "platform/MDIChildWnd.h"
#include "platform/RenderGuard.h"

namespace {

// The event a view posts to itself to draw what is invalid.
const QEvent::Type kDrawEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

CView::CView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this](int a) { OnScroll(true, a); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int a) { OnScroll(false, a); });
    // The surface takes the window's size once the window is laid out (its
    // first resize), not the size of a window that is not yet placed.
}

CView::~CView() { DetachDocument(); }

CMDIChildWnd* CView::GetParentFrame() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* f = qobject_cast<CMDIChildWnd*>(w)) return f;
    }
    return nullptr;
}

void CView::AttachDocument(CDocument* doc)
{
    m_pDocument = doc;
    if (doc) doc->AddView(this);
}

void CView::DetachDocument()
{
    CDocument* doc = m_pDocument;
    m_pDocument = nullptr;
    if (doc) doc->RemoveView(this);
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void CView::OnUpdate(CView*, long, QObject*) { Invalidate(); }

QSize CView::sizeHint() const
{
    if (m_total.isEmpty()) return QAbstractScrollArea::sizeHint();
    return m_total;
}

QSize CView::ClientSize() const { return viewport()->size(); }

void CView::Invalidate() { InvalidateRect(QRect(QPoint(0, 0), ClientSize())); }

void CView::InvalidateRect(const QRect& client)
{
    m_surface.Invalidate(client & QRect(QPoint(0, 0), ClientSize()));
    if (m_surface.HasPending()) ScheduleDraw();
}

void CView::ScheduleDraw()
{
    if (m_drawScheduled) return;
    m_drawScheduled = true;
    QCoreApplication::postEvent(this, new QEvent(kDrawEvent), Qt::LowEventPriority);
}

bool CView::event(QEvent* e)
{
    if (e->type() == kDrawEvent) {
        m_drawScheduled = false;
        QPointer<CView> self(this);
        RenderGuard::RunWhenIdle([self] {
            if (self) self->DrawPending();
        });
        return true;
    }
    return QAbstractScrollArea::event(e);
}

void CView::UpdateWindow()
{
    if (!m_surface.HasPending()) return;
    if (RenderGuard::Active()) {
        // A render is running: draw once it has ended.
        ScheduleDraw();
        return;
    }
    const QRect box = m_surface.Pending().boundingRect();
    DrawPending();
    viewport()->repaint(box);
}

void CView::OnDraw(CDC*) {}

void CView::DrawPending()
{
    if (m_drawing) return;
    const QRect box = m_surface.TakePending();
    if (box.isEmpty()) return;

    m_drawing = true;
    {
        // Undrawn parts show the window's background.
        const QPoint org = -GetScrollPosition();
        CDC dc(m_surface.Image(), box, org);
        dc.FillRect(box.translated(-org), m_surface.Background());
        OnDraw(&dc);
    }
    m_drawing = false;
    viewport()->update(box);

    if (m_surfaceStale) {
        // The window changed size or scrolled while drawing: start again.
        m_surfaceStale = false;
        AdjustSurface();
        Invalidate();
    }
}

CDC* CView::GetDC() { return m_surface.GetDC(); }

void CView::ReleaseDC(CDC* dc)
{
    m_surface.ReleaseDC(dc);
    viewport()->update();
}

void CView::AdjustSurface()
{
    // The newly shown parts must be drawn.
    m_surface.Resize(ClientSize(), RetainedSurface::ScreenSize(viewport()));
    if (m_surface.HasPending()) ScheduleDraw();
}

void CView::paintEvent(QPaintEvent* event) { m_surface.Paint(viewport(), event); }

void CView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    if (m_drawing) {
        m_surfaceStale = true;
        return;
    }
    AdjustSurface();
}

void CView::scrollContentsBy(int dx, int dy)
{
    if (m_drawing) {
        m_surfaceStale = true;
        return;
    }
    // Move what is already drawn and draw only the uncovered strips.
    m_surface.Scroll(dx, dy);
    if (m_surface.HasPending()) ScheduleDraw();
    viewport()->update();
}

void CView::SetScrollSizes(QSize total)
{
    m_total = total.expandedTo(QSize(0, 0));
    UpdateScrollBars();
}

void CView::UpdateScrollBars()
{
    // The room without scroll bars decides whether they are needed, so a
    // window exactly as large as its content shows none.
    const int frame = 2 * frameWidth();
    QSize avail = size() - QSize(frame, frame);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool needH = m_total.width() > avail.width();
    bool needV = m_total.height() > avail.height();
    if (needH && !needV) needV = m_total.height() > avail.height() - bar;
    if (needV && !needH) needH = m_total.width() > avail.width() - bar;
    if (needH) avail.rheight() -= bar;
    if (needV) avail.rwidth() -= bar;
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setRange(0, std::max(0, m_total.width() - avail.width()));
    v->setRange(0, std::max(0, m_total.height() - avail.height()));
    h->setPageStep(std::max(1, m_total.width() / 10));
    v->setPageStep(std::max(1, m_total.height() / 10));
    h->setSingleStep(std::max(1, m_total.width() / 100));
    v->setSingleStep(std::max(1, m_total.height() / 100));
}

QPoint CView::GetScrollPosition() const { return {horizontalScrollBar()->value(), verticalScrollBar()->value()}; }

void CView::SetCapture()
{
    m_capture = true;
    viewport()->grabMouse();
}

void CView::ReleaseCapture()
{
    if (!m_capture) return;
    m_capture = false;
    viewport()->releaseMouse();
}

void CView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) OnLButtonDown(e->position().toPoint());
    else if (e->button() == Qt::RightButton) OnRButtonDown(e->position().toPoint());
}

void CView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) OnLButtonUp(e->position().toPoint());
    else if (e->button() == Qt::RightButton) OnRButtonUp(e->position().toPoint());
}

void CView::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double click is the double click alone.
    if (e->button() == Qt::LeftButton) OnLButtonDblClk(e->position().toPoint());
}

void CView::mouseMoveEvent(QMouseEvent* e) { OnMouseMove(e->position().toPoint()); }
