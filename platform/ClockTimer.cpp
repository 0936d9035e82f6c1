#include "platform/ClockTimer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace {

bool g_manual = false;
int64_t g_manualNow = 0;
std::vector<ClockTimer*> g_timers;  // every timer, for the manual clock

QElapsedTimer& SteadyClock()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock;
}

}  // namespace

ClockTimer::ClockTimer(QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ClockTimer::Fire);
    g_timers.push_back(this);
}

ClockTimer::~ClockTimer() { g_timers.erase(std::remove(g_timers.begin(), g_timers.end(), this), g_timers.end()); }

void ClockTimer::Start(int ms, bool repeat)
{
    m_interval = std::max(0, ms);
    m_repeat = repeat;
    m_active = true;
    m_due = Now() + m_interval;
    if (g_manual) {
        m_timer.stop();
    } else {
        m_timer.setSingleShot(!repeat);
        m_timer.start(m_interval);
    }
}

void ClockTimer::Stop()
{
    m_active = false;
    m_timer.stop();
}

void ClockTimer::Fire()
{
    if (!m_active) return;
    if (m_repeat) {
        m_due += std::max(1, m_interval);
    } else {
        m_active = false;
    }
    emit timeout();
}

int64_t ClockTimer::Now() { return g_manual ? g_manualNow : SteadyClock().elapsed(); }

void ClockTimer::UseManualClock(bool manual)
{
    if (manual == g_manual) return;
    g_manual = manual;
    g_manualNow = 0;
    // Running timers move to the other clock with their remaining time.
    for (ClockTimer* t : g_timers) {
        if (!t->m_active) continue;
        t->m_timer.stop();
        if (manual)
            t->m_due = t->m_interval;
        else {
            t->m_timer.setSingleShot(!t->m_repeat);
            t->m_timer.start(t->m_interval);
        }
    }
}

bool ClockTimer::ManualClock() { return g_manual; }

void ClockTimer::Advance(int64_t ms)
{
    if (!g_manual) return;
    const int64_t target = g_manualNow + std::max<int64_t>(0, ms);
    for (;;) {
        // The earliest timer due by the target time (the first made wins a tie).
        ClockTimer* next = nullptr;
        for (ClockTimer* t : g_timers) {
            if (t->m_active && t->m_due <= target && (!next || t->m_due < next->m_due)) next = t;
        }
        if (!next) break;
        g_manualNow = std::max(g_manualNow, next->m_due);
        next->Fire();
    }
    g_manualNow = target;
}
