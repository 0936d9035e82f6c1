// Runs the pending events of the user-interface thread while a long piece
// of work runs on it (a render, playing an animation), under a policy
// that keeps the interface alive but harmless:
//   - keyboard events are swallowed, a press of Escape noted (or, with
//     holdKeys, held like other input);
//   - mouse, wheel and context-menu events are held back and delivered,
//     in order, when the pump ends, unless their receiver lies inside a
//     widget the policy lets through (input to a top-level window counts
//     as input to the widget under the mouse or with the focus; held
//     pointer input goes to that widget afterwards);
//   - a request to close a window (the window manager's close button,
//     Alt+F4, close() of a main window or dialog) is refused for now, so
//     that the window stays open, and made again, in its turn among the
//     held events, when the pump ends: the window then closes as usual,
//     asking what it asks.  CloseRequested() tells the work that one came,
//     so that it can end early.  A window the policy lets through closes
//     at once;
//   - files dropped on a window are kept and dropped on it again when the
//     pump ends;
//   - everything else (paint events, timers, posted events) passes.
// While a pump exists, an application event filter applies its policy;
// Pump() runs the pending events through it.  Pumps nest: the newest one
// sees events first, and the events it held reach the older one when it
// ends.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QList>
#include <QPointF>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

struct PumpPolicy {
    // Keyboard input is held and delivered after, instead of swallowed.
    bool holdKeys = false;
    // Input whose receiver lies inside a widget this accepts passes as
    // usual (the Stop button of a playing animation, a message box).
    std::function<bool(QWidget* receiver)> passes;
};

class EventPump : public QObject {
public:
    explicit EventPump(PumpPolicy policy = {});
    ~EventPump() override;
    EventPump(const EventPump&) = delete;
    EventPump& operator=(const EventPump&) = delete;

    // Delivers the pending events (through the policy) and returns true if
    // a key-down of Escape arrived since the previous call.
    bool Pump();
    // Waits until an event arrives (a timer's too) and delivers the
    // pending events as Pump() does.
    void Wait();
    // Whether a window was asked to close since the pump began.
    bool CloseRequested() const { return m_closeRequested; }
    // Ends the pump: removes the filter, re-posts the held events in order
    // and drops the files again.  The destructor does it if needed.
    void Finish();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A held event, or (without one) a window to close.
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    // Local files dropped on a widget, at a point of it.
    struct Dropped {
        QPointer<QWidget> receiver;
        QPointF position;
        QList<QUrl> files;
    };

    bool Passes(QObject* receiver, QEvent* event) const;
    void Hold(QObject* watched, QEvent* event);

    PumpPolicy m_policy;
    bool m_finished = false;
    bool m_escape = false;
    bool m_closeRequested = false;
    std::vector<Held> m_held;
    std::vector<Dropped> m_dropped;
};
