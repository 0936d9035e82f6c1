// The program's clock (platform/ClockTimer) stood still and moved by hand.
// While a ManualClock lives, ClockTimer::Now() is its time, 0 when it is
// made, and the timers fire only in Advance: in time order, each at its
// due time (the first made wins a tie).  Timers already running move onto
// it with their whole interval still to wait, and back onto the steady
// clock when it goes.  One at a time.  Header only.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/ClockTimer.h"

namespace morvane::test {

class ManualClock {
public:
    ManualClock()
    {
        ClockTimer::s_handTime = &m_now;
        for (ClockTimer* t : ClockTimer::s_timers) {
            if (!t->m_active) continue;
            t->m_timer.stop();
            t->m_due = t->m_interval;
        }
    }
    ~ManualClock()
    {
        ClockTimer::s_handTime = nullptr;
        for (ClockTimer* t : ClockTimer::s_timers) {
            if (!t->m_active) continue;
            t->m_timer.setSingleShot(!t->m_repeat);
            t->m_timer.start(t->m_interval);
        }
    }
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    // Moves the clock on by `ms`, firing what falls due on the way.
    void Advance(int64_t ms)
    {
        const int64_t target = m_now + std::max<int64_t>(0, ms);
        for (;;) {
            ClockTimer* next = nullptr;
            for (ClockTimer* t : ClockTimer::s_timers) {
                if (t->m_active && t->m_due <= target && (!next || t->m_due < next->m_due)) next = t;
            }
            if (!next) break;
            m_now = std::max(m_now, next->m_due);
            next->Fire();
        }
        m_now = target;
    }

private:
    int64_t m_now = 0;
};

}  // namespace morvane::test
