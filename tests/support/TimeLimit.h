// Runs a piece of work that must end, with a time limit: a search that
// never ends fails the test and ends the test program instead of hanging.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

namespace morvane::test {

template <class F>
auto WithinSeconds(int seconds, F work) -> decltype(work())
{
    using Result = decltype(work());
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> done = promise->get_future();
    std::thread([promise, work]() mutable { promise->set_value(work()); }).detach();
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << "the work did not end within " << seconds << " s";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return done.get();
}

}  // namespace morvane::test
