// Timers of the program's controls on one clock, in milliseconds, that
// tests can drive.
//
// Normally the clock is the system's steady clock and a ClockTimer is a
// precise QTimer.  A test calls UseManualClock(true): time then stands
// still and moves only when the test calls Advance, which fires the timers
// that fall due, in time order, at their due times.  So a schedule of
// steps (a slider's auto-repeat) can be checked to the millisecond.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>

class ClockTimer : public QObject {
    Q_OBJECT
public:
    explicit ClockTimer(QObject* parent = nullptr);
    ~ClockTimer() override;

    // Fires `timeout` every `ms` milliseconds (once, when not repeating).
    void Start(int ms, bool repeat = true);
    void Stop();
    bool IsActive() const { return m_active; }

    // --- The clock ------------------------------------------------------
    static int64_t Now();
    static void UseManualClock(bool manual);
    static bool ManualClock();
    // Moves the manual clock on by `ms`, firing what falls due.
    static void Advance(int64_t ms);

signals:
    void timeout();

private:
    void Fire();

    QTimer m_timer;
    bool m_active = false;
    bool m_repeat = true;
    int m_interval = 0;
    int64_t m_due = 0;  // manual clock: when it fires next
};
