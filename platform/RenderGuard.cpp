#include "platform/RenderGuard.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

namespace {

RenderGuard* g_active = nullptr;

std::vector<std::function<void()>>& Deferred()
{
    static std::vector<std::function<void()>> list;
    return list;
}

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

RenderGuard::RenderGuard()
{
    g_active = this;
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

RenderGuard::~RenderGuard()
{
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    g_active = nullptr;

    // Deliver what was held back, in order, after the render.
    for (Held& h : m_held) {
        if (h.receiver) QCoreApplication::postEvent(h.receiver, h.event.release());
    }
    m_held.clear();
    if (!m_dropped.isEmpty() && DropHandler()) {
        const QStringList paths = m_dropped;
        auto handler = DropHandler();
        handler(paths);
    }
    // Work that waited for the render: it may itself render, so take the
    // list first.
    std::vector<std::function<void()>> work;
    work.swap(Deferred());
    for (auto& fn : work) {
        if (g_active) {
            Deferred().push_back(std::move(fn));
        } else {
            fn();
        }
    }
}

bool RenderGuard::Active() { return g_active != nullptr; }

void RenderGuard::RunWhenIdle(std::function<void()> fn)
{
    if (g_active) {
        Deferred().push_back(std::move(fn));
    } else {
        fn();
    }
}

void RenderGuard::SetDropHandler(std::function<void(const QStringList&)> handler)
{
    DropHandler() = std::move(handler);
}

bool RenderGuard::PollEscapeKey()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const bool escape = m_escape;
    m_escape = false;
    return escape;
}

bool RenderGuard::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type t = event->type();
    if (IsKeyboard(t)) {
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
    if (IsHeldBack(t)) {
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
