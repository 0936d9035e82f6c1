// The program's clock (platform/ClockTimer) made manual and run by the
// test: every turn of the event loop moves it on by a step of
// milliseconds (only while `runs` says so, when given), so that work paced
// by the clock (Play) runs as fast as the machine allows while its schedule
// can be checked to the turn.  A step of 0 stops the clock.  Header only.
#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/ClockTimer.h"

namespace morvane::test {

class RunningClock {
public:
    explicit RunningClock(int64_t step = 10, std::function<bool()> runs = {}) : m_step(step), m_runs(std::move(runs))
    {
        ClockTimer::UseManualClock(true);
        m_turn.setInterval(0);
        QObject::connect(&m_turn, &QTimer::timeout, [this] {
            if (m_step > 0 && (!m_runs || m_runs())) ClockTimer::Advance(m_step);
        });
        m_turn.start();
    }
    ~RunningClock()
    {
        m_turn.stop();
        ClockTimer::UseManualClock(false);
    }
    RunningClock(const RunningClock&) = delete;
    RunningClock& operator=(const RunningClock&) = delete;

    void SetStep(int64_t step) { m_step = step; }

private:
    QTimer m_turn;
    int64_t m_step;
    std::function<bool()> m_runs;
};

}  // namespace morvane::test
