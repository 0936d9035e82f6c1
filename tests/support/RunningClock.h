// The program's clock (platform/ClockTimer) moved by hand (ManualClock) and
// run by the test: every turn of the event loop moves it on by a step of
// milliseconds (only while `runs` says so, when given), so that work paced
// by the clock (Play) runs as fast as the machine allows while its schedule
// can be checked to the turn.  A step of 0 stops the clock.  Header only.
#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>
#include <utility>

#include "support/ManualClock.h"

namespace morvane::test {

class RunningClock {
public:
    explicit RunningClock(int64_t step = 10, std::function<bool()> runs = {}) : m_step(step), m_runs(std::move(runs))
    {
        m_turn.setInterval(0);
        QObject::connect(&m_turn, &QTimer::timeout, [this] {
            if (m_step > 0 && (!m_runs || m_runs())) m_clock.Advance(m_step);
        });
        m_turn.start();
    }
    ~RunningClock() { m_turn.stop(); }
    RunningClock(const RunningClock&) = delete;
    RunningClock& operator=(const RunningClock&) = delete;

    void SetStep(int64_t step) { m_step = step; }
    // Moves the clock on by `ms` at once, firing what falls due.
    void Advance(int64_t ms) { m_clock.Advance(ms); }

private:
    ManualClock m_clock;
    QTimer m_turn;
    int64_t m_step;
    std::function<bool()> m_runs;
};

}  // namespace morvane::test
