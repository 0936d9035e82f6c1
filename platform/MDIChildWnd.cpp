#include "platform/MDIChildWnd.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMdiArea>

#include "platform/MDIFrameWnd.h"
#include "platform/View.h"

CMDIChildWnd::CMDIChildWnd(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

CMDIChildWnd::~CMDIChildWnd() = default;

CView* CMDIChildWnd::GetActiveView() const { return m_view.data(); }

CDocument* CMDIChildWnd::GetActiveDocument() const { return m_view ? m_view->GetDocument() : nullptr; }

void CMDIChildWnd::SetView(CView* view)
{
    m_view = view;
    setWidget(view);
}

void CMDIChildWnd::SetTitle(const QString& title, bool modified)
{
    m_strTitle = title;
    // Qt puts the mark at "[*]"; a "[*]" of the name itself is written twice.
    QString shown = title;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(shown + QStringLiteral("[*]"));
    setWindowModified(modified);
}

void CMDIChildWnd::DestroyWindow()
{
    m_forceClose = true;
    close();
}

void CMDIChildWnd::ActivateFrame()
{
    if (isMinimized()) showNormal();
    if (QMdiArea* area = mdiArea()) area->setActiveSubWindow(this);
}

QSize CMDIChildWnd::FrameSizeForClient(QSize client) const
{
    // The frame's own margins (title bar and borders) as its style sets
    // them.  Scroll bars go away once the view is as large as its content,
    // so of the view only its frame counts.
    const QMargins m = contentsMargins();
    QSize size = client + QSize(m.left() + m.right(), m.top() + m.bottom());
    if (m_view) size += QSize(2 * m_view->frameWidth(), 2 * m_view->frameWidth());
    return size;
}

bool CMDIChildWnd::focusNextPrevChild(bool next)
{
    // A document window would keep Tab going round its own controls.
    if (auto* frame = qobject_cast<CMDIFrameWnd*>(window())) return frame->FocusNextControl(next);
    return QMdiSubWindow::focusNextPrevChild(next);
}

void CMDIChildWnd::closeEvent(QCloseEvent* event)
{
    if (!m_forceClose && !OnClose()) {
        event->ignore();
        return;
    }
    m_forceClose = false;
    // The document learns at once that this view is gone.
    if (m_view) m_view->DetachDocument();
    QMdiSubWindow::closeEvent(event);
}
