// Single-core throughput of the scalar noise and of a six-octave fBm.
#include <chrono>
#include <cstdio>

#include "engine/Noise.h"

using namespace morvane;

template <class F>
static double MillionsPerSecond(F&& f, long count)
{
    const auto t0 = std::chrono::steady_clock::now();
    volatile float sink = 0.0f;
    float acc = 0.0f;
    for (long i = 0; i < count; ++i) acc += f(i);
    sink = acc;
    (void)sink;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return count / s / 1e6;
}

int main()
{
    NoiseInit();
    MmxPresent = 1;
    const long n = 40'000'000;
    auto noise = [](long i) {
        const float x = (i & 1023) * 0.0137f, y = ((i >> 10) & 1023) * 0.0213f, z = (i >> 20) * 0.0311f;
        return Noise3(x, y, z);
    };
    auto noisePlane = [](long i) {
        const float x = (i & 1023) * 0.0137f, y = (i >> 10) * 0.0213f;
        return Noise3(x, y, 0.0f);
    };
    auto fbm = [](long i) {
        const float x = (i & 1023) * 0.0137f, y = ((i >> 10) & 1023) * 0.0213f, z = (i >> 20) * 0.0311f;
        return Fbm(x, y, z, 6, 2.0f, 0.5f);
    };
    std::printf("Noise3 (3-D points):         %7.1f M evaluations/s\n", MillionsPerSecond(noise, n));
    std::printf("Noise3 (plane z = 0):        %7.1f M evaluations/s\n", MillionsPerSecond(noisePlane, n));
    std::printf("Fbm, 6 octaves:              %7.1f M evaluations/s\n", MillionsPerSecond(fbm, n / 6));
    MmxPresent = 0;
    std::printf("Noise3 (plain dot product):  %7.1f M evaluations/s\n", MillionsPerSecond(noise, n));
    return 0;
}
