// The engine's random generator: the classic C runtime linear congruential
// generator.  The noise tables and several patterns depend on its exact
// sequence, so it never falls back on the platform's own rand().
#pragma once

#include <cstdint>

namespace morvane {

class Lcg {
public:
    explicit Lcg(uint32_t seed = 1) : state_(seed) {}
    void Seed(uint32_t seed) { state_ = seed; }
    // A number in 0..32767.
    int Next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }
    uint32_t State() const { return state_; }

private:
    uint32_t state_;
};

}  // namespace morvane
