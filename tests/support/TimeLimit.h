// Runs a piece of work that must end, with a time limit: the work runs on
// the calling thread (widgets too) while a watchdog waits; work that does
// not end in time fails the test and ends the test program instead of
// hanging it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace morvane::test {

template <class F>
auto WithinSeconds(int seconds, F work) -> decltype(work())
{
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!doneSignal.wait_for(lock, std::chrono::seconds(seconds), [&] { return done; })) {
            std::fprintf(stderr, "Failure: the work did not end within %d s\n", seconds);
            std::fflush(nullptr);
            std::_Exit(1);
        }
    });
    struct Finish {
        std::mutex& mutex;
        std::condition_variable& signal;
        bool& done;
        std::thread& watchdog;
        ~Finish()
        {
            {
                std::lock_guard lock(mutex);
                done = true;
            }
            signal.notify_all();
            watchdog.join();
        }
    } finish{mutex, doneSignal, done, watchdog};
    return work();
}

}  // namespace morvane::test
