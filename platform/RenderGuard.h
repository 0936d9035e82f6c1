// Keeps the user interface alive but harmless while a long render runs on
// the user-interface thread.
//
// While a RenderGuard exists, an application event filter
//   - swallows every keyboard event, noting a press of Escape;
//   - holds back mouse, wheel, context-menu and close events and delivers
//     them, in order, when the render ends;
//   - takes dropped files and hands their paths to the drop handler when
//     the render ends;
//   - lets everything else through, so paint events (the progress bar)
//     and timers run.
// PollEscapeKey() runs the pending events through that filter and reports
// whether Escape was pressed.  Only one render runs at a time: Active()
// tells, and work that would start a second render is deferred with
// RunWhenIdle() until the current one has ended.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class RenderGuard : public QObject {
public:
    RenderGuard();
    ~RenderGuard() override;
    RenderGuard(const RenderGuard&) = delete;
    RenderGuard& operator=(const RenderGuard&) = delete;

    // Delivers the pending events (through the filter) and returns true if
    // a key-down of Escape arrived since the previous poll.
    bool PollEscapeKey();

    static bool Active();

    // Runs `fn` now when no render is running, else after the current
    // render has ended (after its held events are re-posted).
    static void RunWhenIdle(std::function<void()> fn);

    // Where files dropped during a render go once it has ended.
    static void SetDropHandler(std::function<void(const QStringList&)> handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };

    bool m_escape = false;
    std::vector<Held> m_held;
    QStringList m_dropped;
};
