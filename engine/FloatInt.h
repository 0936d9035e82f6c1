// The one conversion from floating point to integer used wherever the
// engine truncates: toward zero like a C cast, but defined for every input.
// NaN gives 0; values beyond the range give the nearest end of the range.
#pragma once

#include <cstdint>
#include <limits>

namespace morvane {

template <class Int = int32_t, class F>
constexpr Int SatTrunc(F x)
{
    static_assert(std::numeric_limits<Int>::is_integer);
    if (!(x == x)) return 0;  // NaN
    constexpr F lo = static_cast<F>(std::numeric_limits<Int>::min());
    // max + 1 is a power of two and therefore exact in F.
    constexpr F hiExclusive = static_cast<F>(std::numeric_limits<Int>::max() / 2 + 1) * F(2);
    if (x <= lo) return std::numeric_limits<Int>::min();
    if (x >= hiExclusive) return std::numeric_limits<Int>::max();
    return static_cast<Int>(x);
}

}  // namespace morvane
