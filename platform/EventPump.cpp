#include "platform/EventPump.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

std::function<void(const QStringList&)>& DropHandler()
{
    static std::function<void(const QStringList&)> handler;
    return handler;
}

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

bool IsHeldBack(QEvent::Type t)
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
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
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
        if (h.receiver) QCoreApplication::postEvent(h.receiver, h.event.release());
    }
    m_held.clear();
    if (!m_dropped.isEmpty() && DropHandler()) {
        const QStringList paths = m_dropped;
        m_dropped.clear();
        auto handler = DropHandler();
        handler(paths);
    }
}

void EventPump::SetDropHandler(std::function<void(const QStringList&)> handler) { DropHandler() = std::move(handler); }

bool EventPump::Pump()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const bool escape = m_escape;
    m_escape = false;
    return escape;
}

bool EventPump::Passes(QObject* receiver) const
{
    if (!m_policy.passes) return false;
    for (QObject* o = receiver; o; o = o->parent()) {
        if (auto* w = qobject_cast<QWidget*>(o)) return m_policy.passes(w);
    }
    return false;
}

bool EventPump::eventFilter(QObject* watched, QEvent* event)
{
    if (m_finished) return false;
    const QEvent::Type t = event->type();
    const bool keyboard = IsKeyboard(t);
    if ((keyboard || IsHeldBack(t)) && Passes(watched)) return false;
    if (keyboard && !m_policy.holdKeys) {
        if (t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) m_escape = true;
        event->accept();
        return true;
    }
    if (t == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (const QMimeData* mime = drop->mimeData(); mime && mime->hasUrls()) {
            for (const QUrl& url : mime->urls()) {
                if (url.isLocalFile()) m_dropped << url.toLocalFile();
            }
        }
        drop->acceptProposedAction();
        return true;
    }
    if (keyboard || IsHeldBack(t)) {
        if (keyboard && t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) m_escape = true;
        // A run of moves to one receiver keeps only the last.
        if ((t == QEvent::MouseMove || t == QEvent::NonClientAreaMouseMove) && !m_held.empty() &&
            m_held.back().receiver == watched && m_held.back().event->type() == t) {
            m_held.back().event.reset(event->clone());
        } else {
            m_held.push_back({QPointer<QObject>(watched), std::unique_ptr<QEvent>(event->clone())});
        }
        event->accept();
        return true;
    }
    return false;
}
