// Keeps the user interface alive but harmless while a long render runs on
// the user-interface thread: an event pump (see EventPump) that swallows
// keys (noting Escape) and holds all other input back until the render
// ends.  Only one render runs at a time: Active() tells, and work that
// would start a second render waits with RunWhenIdle() until the current
// one has ended.
#pragma once

#include <functional>

#include "platform/EventPump.h"

class RenderGuard : public EventPump {
public:
    RenderGuard();
    ~RenderGuard() override;

    // Delivers the pending events and returns true if a key-down of Escape
    // arrived since the previous poll.
    bool PollEscapeKey() { return Pump(); }

    static bool Active();

    // Runs `fn` now when no render is running, else after the current
    // render has ended (after its held events are re-posted).
    static void RunWhenIdle(std::function<void()> fn);
};
