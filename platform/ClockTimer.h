// Timers of the program's controls on one clock, in milliseconds.
//
// The clock is the system's steady clock and a ClockTimer is a precise
// QTimer.  A test may stand the clock still and move it by hand
// (tests/support/ManualClock.h): the timers then fire only as it moves,
// in time order, each at its due time, so that a schedule of steps (a
// slider's auto-repeat) can be checked to the millisecond.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <vector>

namespace morvane::test {
class ManualClock;
}

class ClockTimer : public QObject {
    Q_OBJECT
public:
    explicit ClockTimer(QObject* parent = nullptr);
    ~ClockTimer() override;

    // Fires `timeout` every `ms` milliseconds (once, when not repeating).
    void Start(int ms, bool repeat = true);
    void Stop();

    // The clock's time.
    static int64_t Now();

signals:
    void timeout();

private:
    friend class morvane::test::ManualClock;

    void Fire();

    // The time of the clock moved by hand while there is one, else null.
    static const int64_t* s_handTime;
    // Every timer, for the clock moved by hand.
    static std::vector<ClockTimer*> s_timers;

    QTimer m_timer;
    bool m_active = false;
    bool m_repeat = true;
    int m_interval = 0;
    int64_t m_due = 0;  // when it fires next
};
