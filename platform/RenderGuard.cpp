#include "platform/RenderGuard.h"

#include <vector>

namespace {

RenderGuard* g_active = nullptr;

std::vector<std::function<void()>>& Deferred()
{
    static std::vector<std::function<void()>> list;
    return list;
}

}  // namespace

RenderGuard::RenderGuard() : EventPump(PumpPolicy{}) { g_active = this; }

RenderGuard::~RenderGuard()
{
    Finish();
    if (g_active == this) g_active = nullptr;
    // Work that waited for the render, after the held events: it may
    // itself render, so take the list first.
    std::vector<std::function<void()>> work;
    work.swap(Deferred());
    for (auto& fn : work) {
        if (g_active)
            Deferred().push_back(std::move(fn));
        else
            fn();
    }
}

bool RenderGuard::Active() { return g_active != nullptr; }

void RenderGuard::RunWhenIdle(std::function<void()> fn)
{
    if (g_active)
        Deferred().push_back(std::move(fn));
    else
        fn();
}
