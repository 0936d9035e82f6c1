#include "platform/MDIFrameWnd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMenu>
#include <QProxyStyle>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStatusBar>
#include <QStyleFactory>

#include <algorithm>

#include "platform/MDIChildWnd.h"
#include "platform/View.h"

namespace {

// The frame's own style: bars abut the MDI area and each other, with no
// separators to drag (the bars have fixed sizes).
class FrameStyle : public QProxyStyle {
public:
    FrameStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_DockWidgetSeparatorExtent) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

CMDIFrameWnd::CMDIFrameWnd(QWidget* parent) : QMainWindow(parent)
{
    // The style belongs to the frame (it does not pass to its children).
    auto* style = new FrameStyle;
    style->setParent(this);
    setStyle(style);
    setDockOptions(QMainWindow::DockOptions());
    setAnimated(false);
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiClient"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &CMDIFrameWnd::SubWindowActivated);
    // Menus about to show, keys pressed in any window, and the program
    // coming back to the front.
    qApp->installEventFilter(this);
}

CMDIFrameWnd::~CMDIFrameWnd() { DestroyChildren(); }

void CMDIFrameWnd::DestroyChildren()
{
    disconnect(m_mdiArea, nullptr, this, nullptr);
    // Views leave their documents while the frame still exists.
    for (CMDIChildWnd* f : ChildFrames()) {
        if (CView* v = f->GetActiveView()) v->DetachDocument();
        delete f;
    }
    for (CControlBar* bar : m_bars) delete bar;
    m_bars.clear();
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const
{
    return qobject_cast<CMDIChildWnd*>(m_mdiArea->currentSubWindow());
}

CDocument* CMDIFrameWnd::GetActiveDocument() const
{
    CMDIChildWnd* f = MDIGetActive();
    return f ? f->GetActiveDocument() : nullptr;
}

CView* CMDIFrameWnd::GetActiveView() const
{
    CMDIChildWnd* f = MDIGetActive();
    return f ? f->GetActiveView() : nullptr;
}

std::vector<CMDIChildWnd*> CMDIFrameWnd::ChildFrames() const
{
    std::vector<CMDIChildWnd*> out;
    for (QMdiSubWindow* w : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* f = qobject_cast<CMDIChildWnd*>(w)) out.push_back(f);
    }
    return out;
}

void CMDIFrameWnd::AddChildFrame(CMDIChildWnd* frame) { m_mdiArea->addSubWindow(frame); }

void CMDIFrameWnd::SubWindowActivated(QMdiSubWindow* window)
{
    // The current window, not the active one: it stays set while the main
    // window is inactive (a modal dialog, a test without focus).
    QMdiSubWindow* current = m_mdiArea->currentSubWindow();
    if (current != m_lastCurrent.data() || !current) {
        m_lastCurrent = current;
        OnActiveChildChanged(qobject_cast<CMDIChildWnd*>(current));
    }
    if (!window || window == m_lastActivated.data()) return;
    m_lastActivated = window;
    if (auto* f = qobject_cast<CMDIChildWnd*>(window)) OnChildActivated(f);
}

QAction* CMDIFrameWnd::Action(int id)
{
    auto it = m_actions.find(id);
    if (it != m_actions.end()) return it->second;
    auto* a = new QAction(this);
    a->setData(id);
    a->setObjectName(QStringLiteral("command%1").arg(id));
    a->setShortcutContext(Qt::ApplicationShortcut);
    addAction(a);
    connect(a, &QAction::triggered, this, [this, id] { SendCommand(id); });
    m_actions.emplace(id, a);
    return a;
}

bool CMDIFrameWnd::FocusNextControl(bool next)
{
    QWidget* from = QApplication::focusWidget();
    if (!from || from->window() != this) from = focusWidget();
    if (!from) from = this;
    QMdiSubWindow* active = m_mdiArea->currentSubWindow();
    auto documentWindowOf = [](QWidget* w) -> QMdiSubWindow* {
        for (; w; w = w->parentWidget()) {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) return sub;
        }
        return nullptr;
    };
    for (QWidget* w = next ? from->nextInFocusChain() : from->previousInFocusChain(); w && w != from;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || w->focusProxy() || w->window() != this ||
            !w->isVisibleTo(this))
            continue;
        QMdiSubWindow* document = documentWindowOf(w);
        if (document && (document != active || w == document)) continue;
        w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        // A panel that scrolls in its bar shows the control.
        for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
            if (auto* scroller = qobject_cast<QScrollArea*>(p)) scroller->ensureWidgetVisible(w);
        }
        return true;
    }
    return false;
}

void CMDIFrameWnd::OnCommand(int id, std::function<void()> handler)
{
    Action(id);
    m_handlers[id] = std::move(handler);
}

void CMDIFrameWnd::OnUpdateCommand(int id, std::function<void(QAction*)> update)
{
    Action(id);
    m_updates.emplace_back(id, std::move(update));
}

void CMDIFrameWnd::UpdateCommandUI()
{
    for (auto& [id, fn] : m_updates) {
        if (QAction* a = Action(id)) fn(a);
    }
}

bool CMDIFrameWnd::SendCommand(int id)
{
    auto it = m_handlers.find(id);
    if (it == m_handlers.end()) return false;
    auto handler = it->second;  // the handler may replace the map entry
    emit commandStarting(id);
    handler();
    UpdateCommandUI();
    return true;
}

CControlBar* CMDIFrameWnd::CreateControlBar(int id, CControlBar::Side side, QSize sizeDefault)
{
    auto* bar = new CControlBar(id, side, sizeDefault, this);
    m_bars.push_back(bar);
    DockBarsOf(side);
    bar->show();
    RecalcLayout();
    return bar;
}

void CMDIFrameWnd::DockBarsOf(CControlBar::Side side)
{
    // The side's bars from the outside in: the first made lies outermost.
    std::vector<CControlBar*> bars;
    for (CControlBar* b : m_bars) {
        if (b->DockSide() == side) bars.push_back(b);
    }
    if (bars.empty()) return;
    // A dock area lists its bars top to bottom (left to right).
    if (side == CControlBar::Bottom || side == CControlBar::Right) std::reverse(bars.begin(), bars.end());
    const Qt::Orientation stacking =
        side == CControlBar::Top || side == CControlBar::Bottom ? Qt::Vertical : Qt::Horizontal;
    // Taking a bar out of its area hides it: keep what each showed.
    std::vector<bool> hidden;
    for (CControlBar* b : bars) {
        hidden.push_back(b->isHidden());
        removeDockWidget(b);
    }
    for (size_t i = 0; i < bars.size(); ++i) {
        addDockWidget(bars[i]->DockArea(), bars[i], stacking);
        bars[i]->setVisible(!hidden[i]);
    }
}

void CMDIFrameWnd::UpdateCorners()
{
    auto firstVisible = [this](CControlBar::Side a, CControlBar::Side b) -> const CControlBar* {
        for (const CControlBar* bar : m_bars) {
            if (bar->IsBarVisible() && (bar->DockSide() == a || bar->DockSide() == b)) return bar;
        }
        return nullptr;
    };
    struct CornerSides {
        Qt::Corner corner;
        CControlBar::Side horizontal;
        CControlBar::Side vertical;
    };
    const CornerSides corners[] = {{Qt::TopLeftCorner, CControlBar::Top, CControlBar::Left},
                                   {Qt::TopRightCorner, CControlBar::Top, CControlBar::Right},
                                   {Qt::BottomLeftCorner, CControlBar::Bottom, CControlBar::Left},
                                   {Qt::BottomRightCorner, CControlBar::Bottom, CControlBar::Right}};
    for (const CornerSides& c : corners) {
        const CControlBar* first = firstVisible(c.horizontal, c.vertical);
        if (!first) continue;
        if (corner(c.corner) != first->DockArea()) setCorner(c.corner, first->DockArea());
    }
}

CControlBar* CMDIFrameWnd::ControlBar(int id) const
{
    for (CControlBar* b : m_bars) {
        if (b->Id() == id) return b;
    }
    return nullptr;
}

void CMDIFrameWnd::ShowControlBar(CControlBar* bar, bool show)
{
    if (!bar) return;
    bar->setVisible(show);
    RecalcLayout();
}

void CMDIFrameWnd::RecalcLayout()
{
    UpdateCorners();
    // The layout would wait for the event loop; the callers expect the new
    // places now.
    if (QLayout* l = layout()) {
        l->invalidate();
        l->activate();
    }
}

QRect CMDIFrameWnd::ClientRect() const
{
    QRect r = m_mdiArea->geometry();
    for (const CControlBar* b : m_bars) {
        if (b->IsBarVisible()) r |= b->geometry();
    }
    return r;
}

namespace {

const char* const kLockKeyPanes[] = {"CAP", "NUM", "SCRL"};

}  // namespace

void CMDIFrameWnd::CreateStatusBarIndicators()
{
    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("statusBar"));
    for (size_t i = 0; i < std::size(kLockKeyPanes); ++i) {
        const char* name = kLockKeyPanes[i];
        auto* label = new QLabel(sb);
        m_lockKeyPanes[i] = label;
        label->setObjectName(QStringLiteral("indicator") + QString::fromLatin1(name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString::fromLatin1(name)) + 8);
        sb->addPermanentWidget(label);
    }
    sb->showMessage(m_idleMessage);
    connect(sb, &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty()) statusBar()->showMessage(m_idleMessage);
    });
    UpdateLockKeyPanes();
}

void CMDIFrameWnd::SetLockKeyReader(std::function<std::optional<LockKeyState>()> reader)
{
    m_readLockKeys = reader ? std::move(reader) : ReadLockKeys;
    UpdateLockKeyPanes();
}

void CMDIFrameWnd::UpdateLockKeyPanes()
{
    if (!m_lockKeyPanes[0]) return;  // no status bar indicators
    const std::optional<LockKeyState> state = m_readLockKeys();
    const bool on[] = {state && state->caps, state && state->num, state && state->scroll};
    for (size_t i = 0; i < std::size(kLockKeyPanes); ++i) {
        if (m_lockKeyPanes[i]) m_lockKeyPanes[i]->setText(on[i] ? QString::fromLatin1(kLockKeyPanes[i]) : QString());
    }
}

void CMDIFrameWnd::SetMessageText(const QString& text)
{
    statusBar()->showMessage(text);
    statusBar()->repaint();
}

QString CMDIFrameWnd::MessageText() const { return statusBar()->currentMessage(); }

bool CMDIFrameWnd::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (qobject_cast<QMenu*>(watched)) UpdateCommandUI();
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // The filter sees a key event at every object it reaches (the
        // window, the focus widget, the parents it passes on to): the lock
        // keys are read once per event.
        const auto* key = static_cast<const QKeyEvent*>(event);
        const SeenKey seen{reinterpret_cast<quintptr>(event), event->type(), key->key(), key->timestamp()};
        if (seen == m_lastKey) break;
        m_lastKey = seen;
        UpdateLockKeyPanes();
        break;
    }
    case QEvent::ApplicationStateChange:
        UpdateLockKeyPanes();
        break;
    case QEvent::WindowActivate:
        // Every widget of a window hears that it became active: read once,
        // for the window.
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) UpdateLockKeyPanes();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
