#include "platform/ClockTimer.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

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

const int64_t* ClockTimer::s_handTime = nullptr;
std::vector<ClockTimer*> ClockTimer::s_timers;

ClockTimer::ClockTimer(QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ClockTimer::Fire);
    s_timers.push_back(this);
}

ClockTimer::~ClockTimer() { s_timers.erase(std::remove(s_timers.begin(), s_timers.end(), this), s_timers.end()); }

void ClockTimer::Start(int ms, bool repeat)
{
    m_interval = std::max(0, ms);
    m_repeat = repeat;
    m_active = true;
    m_due = Now() + m_interval;
    if (s_handTime) {
        // The clock moved by hand fires it.
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

int64_t ClockTimer::Now() { return s_handTime ? *s_handTime : SteadyClock().elapsed(); }
