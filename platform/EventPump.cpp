#include "platform/EventPump.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWindow>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <algorithm>

namespace {

bool IsKeyboard(QEvent::Type t)
{
    switch (t) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

bool IsMouse(QEvent::Type t)
{
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
        return true;
    default:
        return false;
    }
}

bool IsHeldBack(QEvent::Type t)
{
    if (IsMouse(t)) return true;
    switch (t) {
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return true;
    default:
        return false;
    }
}

// The top-level widget whose window `handle` is, or null.
QWidget* WidgetOfWindow(const QWindow* handle)
{
    if (!handle) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowHandle() == handle) return w;
    }
    return nullptr;
}

// The widget that input to `receiver` is for.  The window system hands
// input to a top-level window first, which passes it on to the widget
// under the mouse (or holding the mouse) or to the focus widget.
QWidget* InputWidget(QObject* receiver, QEvent* event)
{
    for (QObject* o = receiver; o; o = o->parent()) {
        if (auto* w = qobject_cast<QWidget*>(o)) return w;
    }
    QWidget* top = WidgetOfWindow(qobject_cast<QWindow*>(receiver));
    if (!top) return nullptr;
    if (event->isSinglePointEvent()) {
        if (QWidget* grabber = QWidget::mouseGrabber()) return grabber;
        const auto* pointer = static_cast<QSinglePointEvent*>(event);
        QWidget* under = top->childAt(pointer->position().toPoint());
        return under ? under : top;
    }
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == top ? focus : top;
}

// The window a close request is for, when it is one the user closes (a
// main window or a dialog, not a pop-up, a tooltip or the splash).  The
// window system asks a top-level window's QWindow; the program asks the
// widget.
QWidget* ClosingWindow(QObject* receiver)
{
    QWidget* window = qobject_cast<QWidget*>(receiver);
    if (auto* handle = qobject_cast<QWindow*>(receiver)) window = WidgetOfWindow(handle);
    if (!window || !window->isWindow()) return nullptr;
    const Qt::WindowType type = window->windowType();
    return type == Qt::Window || type == Qt::Dialog ? window : nullptr;
}

}  // namespace

EventPump::EventPump(PumpPolicy policy) : m_policy(std::move(policy))
{
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

EventPump::~EventPump() { Finish(); }

void EventPump::Finish()
{
    if (m_finished) return;
    m_finished = true;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    // Deliver what was held back, in order, after the work.
    for (Held& h : m_held) {
        if (!h.receiver) continue;
        if (h.event) {
            QCoreApplication::postEvent(h.receiver, h.event.release());
        } else if (auto* window = qobject_cast<QWidget*>(h.receiver.data())) {
            // Asked again as a posted call, after the events held before it.
            QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        }
    }
    m_held.clear();
    // The files go to the window they were dropped on, as if dropped now.
    std::vector<Dropped> dropped;
    dropped.swap(m_dropped);
    for (const Dropped& d : dropped) {
        if (!d.receiver) continue;
        QMimeData mime;
        mime.setUrls(d.files);
        // A drop goes to the widget that took the drag's entry.
        QDragEnterEvent enter(d.position.toPoint(), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(d.receiver, &enter);
        if (!enter.isAccepted() || !d.receiver) continue;
        QDropEvent drop(d.position, Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(d.receiver, &drop);
    }
}

bool EventPump::Pump()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const bool escape = m_escape;
    m_escape = false;
    return escape;
}

void EventPump::Wait()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void EventPump::Hold(QObject* watched, QEvent* event)
{
    const QEvent::Type t = event->type();
    Held held{QPointer<QObject>(watched), nullptr};
    // Mouse and wheel events are kept as events of the widget they are for,
    // made afresh: a window's pointer events are not delivered again
    // faithfully, and a plain copy of one shares its point with the events
    // that follow it.
    if (IsMouse(t) || t == QEvent::Wheel) {
        const auto* p = static_cast<const QSinglePointEvent*>(event);
        QWidget* target = qobject_cast<QWidget*>(watched);
        QPointF local = p->position();
        if (!target && qobject_cast<QWindow*>(watched) && (target = InputWidget(watched, event)))
            local = target->mapFromGlobal(p->globalPosition());
        if (target) held.receiver = target;
        if (t == QEvent::Wheel) {
            const auto* w = static_cast<const QWheelEvent*>(event);
            held.event = std::make_unique<QWheelEvent>(local, w->globalPosition(), w->pixelDelta(), w->angleDelta(),
                                                       w->buttons(), w->modifiers(), w->phase(), w->inverted(),
                                                       w->source(), w->pointingDevice());
        } else {
            const auto* m = static_cast<const QMouseEvent*>(event);
            held.event = std::make_unique<QMouseEvent>(t, local, m->scenePosition(), m->globalPosition(), m->button(),
                                                       m->buttons(), m->modifiers(), m->pointingDevice());
        }
    } else {
        held.event.reset(event->clone());
    }
    // A run of moves to one receiver keeps only the last (a held close
    // request, which has no event, ends a run).
    if ((t == QEvent::MouseMove || t == QEvent::NonClientAreaMouseMove) && !m_held.empty() &&
        m_held.back().receiver == held.receiver && m_held.back().event && m_held.back().event->type() == t) {
        m_held.back().event = std::move(held.event);
    } else {
        m_held.push_back(std::move(held));
    }
}

bool EventPump::Passes(QObject* receiver, QEvent* event) const
{
    if (!m_policy.passes) return false;
    if (QWidget* w = InputWidget(receiver, event)) return m_policy.passes(w);
    return false;
}

bool EventPump::eventFilter(QObject* watched, QEvent* event)
{
    if (m_finished) return false;
    const QEvent::Type t = event->type();
    if (t == QEvent::Close) {
        QWidget* window = ClosingWindow(watched);
        if (!window || Passes(window, event)) return false;
        // Refused: the window stays open until it is asked again.  A request
        // made twice is made again once.
        m_closeRequested = true;
        const bool asked = std::any_of(m_held.begin(), m_held.end(),
                                       [window](const Held& h) { return !h.event && h.receiver == window; });
        if (!asked) m_held.push_back({QPointer<QObject>(window), nullptr});
        event->ignore();
        return true;
    }
    const bool keyboard = IsKeyboard(t);
    if ((keyboard || IsHeldBack(t)) && Passes(watched, event)) return false;
    if (keyboard && !m_policy.holdKeys) {
        if (t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) m_escape = true;
        event->accept();
        return true;
    }
    if (t == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        Dropped kept{qobject_cast<QWidget*>(watched), drop->position(), {}};
        if (const QMimeData* mime = drop->mimeData(); mime && mime->hasUrls()) {
            for (const QUrl& url : mime->urls()) {
                if (url.isLocalFile()) kept.files << url;
            }
        }
        if (kept.receiver && !kept.files.isEmpty()) m_dropped.push_back(std::move(kept));
        drop->acceptProposedAction();
        return true;
    }
    if (keyboard || IsHeldBack(t)) {
        if (keyboard && t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) m_escape = true;
        Hold(watched, event);
        event->accept();
        return true;
    }
    return false;
}
