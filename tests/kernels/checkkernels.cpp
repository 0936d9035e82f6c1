// The kernel checker: every SIMD kernel of the engine and the codec, at
// every processor level this machine has (plain, SSE2, AVX, AVX2), gives
// exactly the plain kernel's output for random inputs and for the edges
// (lattice points, huge and non-finite coordinates, saturated samples,
// misaligned rows, odd widths, the extremes of the clipping).
//
//   checkkernels            checks; exit status 1 on any difference
//   checkkernels --bench    checks, then times each kernel at each level
//   checkkernels --seed N   other random inputs
//
// A level whose kernel is the one of the level below (nothing written for
// it) is not checked again and shows as "=" in the timing table.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "codec/DecoderOutput.h"
#include "codec/EncoderCore.h"
#include "codec/EncoderKernels.h"
#include "engine/Cpu.h"
#include "engine/Noise.h"

using namespace morvane;
using mpeg::EncoderKernels;
using mpeg::EncoderKernelsFor;
using mpeg::SearchResult;

namespace {

using Rng = std::mt19937;

// One kernel: where it is in its module's table at a level, how to compare
// a level's kernel with the plain one, and how to time it.
struct Kernel {
    std::string name;
    std::function<const void*(uint32_t flags)> at;
    // Returns an empty string when the level's kernel matched the plain one
    // on every input, else the first difference.
    std::function<std::string(uint32_t flags, Rng& rng)> check;
    // Nanoseconds per call of the level's kernel.
    std::function<double(uint32_t flags)> time;
};

template <class F>
const void* Address(F* f)
{
    return reinterpret_cast<const void*>(f);
}

// Runs `body` (which makes `calls` kernel calls) until about 60 ms have
// passed, and returns the best time per call of a few rounds.
double NanosecondsPerCall(long calls, const std::function<void()>& body)
{
    using Clock = std::chrono::steady_clock;
    body();  // warm the caches
    double best = std::numeric_limits<double>::infinity();
    for (int round = 0; round < 5; ++round) {
        long n = 0;
        const auto t0 = Clock::now();
        double elapsed = 0;
        do {
            body();
            n += calls;
            elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
        } while (elapsed < 0.012);
        best = std::min(best, elapsed * 1e9 / static_cast<double>(n));
    }
    return best;
}

volatile float g_sinkFloat;
volatile int g_sinkInt;

// ---------------------------------------------------------------------------
// Noise

struct Point {
    float x, y, z;
};

std::vector<Point> NoisePoints(Rng& rng, int count)
{
    std::vector<Point> p;
    std::uniform_real_distribution<float> small(-20.0f, 20.0f), large(-5000.0f, 5000.0f);
    for (int i = 0; i < count; ++i) {
        const bool wide = i % 3 != 0;
        Point q{wide ? large(rng) : small(rng), wide ? large(rng) : small(rng), wide ? large(rng) : small(rng)};
        if (i % 4 == 0) q.z = std::floor(q.z);  // the plane case: the upper corners are skipped
        if (i % 16 == 1) q = {std::floor(q.x), std::floor(q.y), std::floor(q.z)};  // lattice points
        p.push_back(q);
    }
    // The edges: lattice boundaries, the period, the range's end, and
    // values no coordinate should be but a damaged file can give.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float edges[] = {0.0f,     -0.0f,    1.0f,        -1.0f,         0.5f,     4096.0f, -4096.0f,
                           4095.99f, -9999.5f, -10000.0f,   -10000.5f,     -20000.0f, 1e9f,    -1e9f,
                           3e38f,    -3e38f,   inf,         -inf,          nan,      1e-40f,  std::nextafter(1.0f, 0.0f),
                           2.5e-8f,  65535.5f, 8388607.5f,  16777216.0f};
    for (float a : edges)
        for (float b : {0.0f, 0.25f, a})
            for (float c : {0.0f, 0.75f, -3.0f}) p.push_back({a, b, c}), p.push_back({b, c, a});
    return p;
}

bool SameBits(const float* a, const float* b, int n) { return std::memcmp(a, b, sizeof(float) * n) == 0; }

std::string Describe(const char* what, const Point& q)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s differs at (%.9g, %.9g, %.9g)", what, q.x, q.y, q.z);
    return text;
}

void AddNoiseKernels(std::vector<Kernel>& out)
{
    for (int path : {1, 0}) {
        const std::string suffix = path ? "" : " (3-term dot)";
        out.push_back(Kernel{
            "noise.Noise3" + suffix, [path](uint32_t f) { return Address(NoiseKernelsFor(f).noise3[path]); },
            [path](uint32_t f, Rng& rng) -> std::string {
                const NoiseKernels plain = NoiseKernelsFor(0), level = NoiseKernelsFor(f);
                for (const Point& q : NoisePoints(rng, 200000)) {
                    const float a = plain.noise3[path](q.x, q.y, q.z), b = level.noise3[path](q.x, q.y, q.z);
                    if (!SameBits(&a, &b, 1)) return Describe("Noise3", q);
                }
                return {};
            },
            [path](uint32_t f) {
                Rng rng(1);
                const std::vector<Point> pts = NoisePoints(rng, 4096);
                const auto k = NoiseKernelsFor(f).noise3[path];
                return NanosecondsPerCall(static_cast<long>(pts.size()), [&] {
                    float s = 0;
                    for (const Point& q : pts) s += k(q.x, q.y, q.z);
                    g_sinkFloat = s;
                });
            }});
        out.push_back(Kernel{
            "noise.VNoise3" + suffix, [path](uint32_t f) { return Address(NoiseKernelsFor(f).vnoise3[path]); },
            [path](uint32_t f, Rng& rng) -> std::string {
                const NoiseKernels plain = NoiseKernelsFor(0), level = NoiseKernelsFor(f);
                for (const Point& q : NoisePoints(rng, 100000)) {
                    float a[3], b[3];
                    plain.vnoise3[path](a, q.x, q.y, q.z);
                    level.vnoise3[path](b, q.x, q.y, q.z);
                    if (!SameBits(a, b, 3)) return Describe("VNoise3", q);
                }
                return {};
            },
            [path](uint32_t f) {
                Rng rng(2);
                const std::vector<Point> pts = NoisePoints(rng, 4096);
                const auto k = NoiseKernelsFor(f).vnoise3[path];
                return NanosecondsPerCall(static_cast<long>(pts.size()), [&] {
                    float s = 0;
                    for (const Point& q : pts) {
                        float v[3];
                        k(v, q.x, q.y, q.z);
                        s += v[0];
                    }
                    g_sinkFloat = s;
                });
            }});
    }
    // The octave sums, with the sliders' range of octaves and factors and a
    // few beyond it.
    struct Sum {
        int16_t octaves;
        float lacunarity, omega;
    };
    auto sums = [](Rng& rng) {
        std::vector<Sum> s;
        std::uniform_int_distribution<int> octaves(0, 20);
        std::uniform_real_distribution<float> lac(0.0f, 10.0f), om(0.0f, 1.0f);
        for (int i = 0; i < 64; ++i) s.push_back({static_cast<int16_t>(octaves(rng)), lac(rng), om(rng)});
        for (Sum e : {Sum{1, 2.0f, 0.5f}, Sum{6, 2.0f, 0.5f}, Sum{255, 1.0f, 1.0f}, Sum{-3, 2.0f, 0.5f},
                      Sum{40, 1e9f, 2.0f}, Sum{8, -1.5f, -0.5f}})
            s.push_back(e);
        return s;
    };
    out.push_back(Kernel{
        "noise.Fbm", [](uint32_t f) { return Address(NoiseKernelsFor(f).fbm[1]); },
        [sums](uint32_t f, Rng& rng) -> std::string {
            const NoiseKernels plain = NoiseKernelsFor(0), level = NoiseKernelsFor(f);
            const std::vector<Sum> s = sums(rng);
            const std::vector<Point> pts = NoisePoints(rng, 4000);
            for (int path : {1, 0})
                for (size_t i = 0; i < pts.size(); ++i) {
                    const Point& q = pts[i];
                    const Sum& o = s[i % s.size()];
                    const float a = plain.fbm[path](q.x, q.y, q.z, o.octaves, o.lacunarity, o.omega);
                    const float b = level.fbm[path](q.x, q.y, q.z, o.octaves, o.lacunarity, o.omega);
                    if (!SameBits(&a, &b, 1)) return Describe("Fbm", q) + ", " + std::to_string(o.octaves) + " octaves";
                }
            return {};
        },
        [](uint32_t f) {
            Rng rng(3);
            const std::vector<Point> pts = NoisePoints(rng, 1024);
            const auto k = NoiseKernelsFor(f).fbm[1];
            return NanosecondsPerCall(static_cast<long>(pts.size()), [&] {
                float s = 0;
                for (const Point& q : pts) s += k(q.x, q.y, q.z, 6, 2.0f, 0.5f);
                g_sinkFloat = s;
            });
        }});
    out.push_back(Kernel{
        "noise.VFbm", [](uint32_t f) { return Address(NoiseKernelsFor(f).vfbm[1]); },
        [sums](uint32_t f, Rng& rng) -> std::string {
            const NoiseKernels plain = NoiseKernelsFor(0), level = NoiseKernelsFor(f);
            const std::vector<Sum> s = sums(rng);
            const std::vector<Point> pts = NoisePoints(rng, 3000);
            for (int path : {1, 0})
                for (size_t i = 0; i < pts.size(); ++i) {
                    const Point& q = pts[i];
                    const Sum& o = s[i % s.size()];
                    float a[3], b[3];
                    plain.vfbm[path](a, q.x, q.y, q.z, o.octaves, o.lacunarity, o.omega);
                    level.vfbm[path](b, q.x, q.y, q.z, o.octaves, o.lacunarity, o.omega);
                    if (!SameBits(a, b, 3)) return Describe("VFbm", q);
                }
            return {};
        },
        [](uint32_t f) {
            Rng rng(4);
            const std::vector<Point> pts = NoisePoints(rng, 1024);
            const auto k = NoiseKernelsFor(f).vfbm[1];
            return NanosecondsPerCall(static_cast<long>(pts.size()), [&] {
                float s = 0;
                for (const Point& q : pts) {
                    float v[3];
                    k(v, q.x, q.y, q.z, 6, 2.0f, 0.5f);
                    s += v[1];
                }
                g_sinkFloat = s;
            });
        }});
}

// ---------------------------------------------------------------------------
// Encoder

// Pictures as the encoder holds them: rows of `lx` bytes, with room for the
// half-pel reads one row and one column beyond an area.
struct Planes {
    static constexpr int lx = 208, rows = 96;
    alignas(64) uint8_t ref[lx * rows + 64];
    alignas(64) uint8_t ref2[lx * rows + 64];
    alignas(64) uint8_t cur[lx * rows + 64];

    void Fill(Rng& rng, int kind)
    {
        for (uint8_t* p : {ref, ref2, cur}) {
            for (int i = 0; i < lx * rows + 64; ++i) {
                switch (kind) {
                case 0: p[i] = static_cast<uint8_t>(rng()); break;
                case 1: p[i] = (rng() & 1) ? 255 : 0; break;  // the largest differences
                case 2: p[i] = p == cur ? 0 : 255; break;
                case 3: p[i] = static_cast<uint8_t>(((i % lx) % 4) * 40 + ((i / lx) % 4) * 7); break;  // ties
                default: p[i] = static_cast<uint8_t>(128 + static_cast<int>(rng() % 5) - 2); break;  // smooth
                }
            }
        }
    }
};

struct Area {
    int x, y, h, hx, hy, hxb, hyb;
    int cx, cy;  // the current area
};

Area RandomArea(Rng& rng)
{
    Area a{};
    a.h = (rng() & 1) ? 16 : 8;
    a.x = static_cast<int>(rng() % (Planes::lx - 17));
    a.y = static_cast<int>(rng() % (Planes::rows - a.h - 1));
    a.hx = rng() & 1;
    a.hy = rng() & 1;
    a.hxb = rng() & 1;
    a.hyb = rng() & 1;
    // Current areas at macroblock columns (aligned) and anywhere.
    a.cx = (rng() & 1) ? 16 * static_cast<int>(rng() % 12) : static_cast<int>(rng() % (Planes::lx - 16));
    a.cy = static_cast<int>(rng() % (Planes::rows - a.h));
    return a;
}

template <class F>
std::string ForAreas(Rng& rng, int count, F&& compare)
{
    static Planes planes;
    for (int kind = 0; kind < 5; ++kind) {
        planes.Fill(rng, kind);
        for (int n = 0; n < count; ++n) {
            const Area a = RandomArea(rng);
            std::string why = compare(planes, a);
            if (!why.empty()) return why + " (pictures of kind " + std::to_string(kind) + ")";
        }
    }
    return {};
}

std::string AreaText(const char* what, const Area& a, long want, long got)
{
    char text[200];
    std::snprintf(text, sizeof text, "%s: %ld instead of %ld at (%d, %d) h %d half-pel %d,%d current (%d, %d)", what,
                  got, want, a.x, a.y, a.h, a.hx, a.hy, a.cx, a.cy);
    return text;
}

using AreaCall = std::function<long(const EncoderKernels&, const Planes&, const Area&)>;

// `call` is compared at every level; `timed` (by default `call`) is timed.
Kernel EncoderKernel(const char* name, const void* (*at)(const EncoderKernels&), AreaCall call, int areas = 3000,
                     AreaCall timed = nullptr)
{
    if (!timed) timed = call;
    auto check = [name, call, areas](uint32_t f, Rng& rng) -> std::string {
        const EncoderKernels plain = EncoderKernelsFor(0), level = EncoderKernelsFor(f);
        return ForAreas(rng, areas, [&](const Planes& p, const Area& a) -> std::string {
            const long want = call(plain, p, a), got = call(level, p, a);
            return want == got ? std::string() : AreaText(name, a, want, got);
        });
    };
    auto time = [timed](uint32_t f) {
        static Planes planes;
        Rng rng(5);
        planes.Fill(rng, 0);
        std::vector<Area> areas;
        for (int i = 0; i < 512; ++i) areas.push_back(RandomArea(rng));
        const EncoderKernels k = EncoderKernelsFor(f);
        return NanosecondsPerCall(static_cast<long>(areas.size()), [&] {
            long s = 0;
            for (const Area& a : areas) s += timed(k, planes, a);
            g_sinkInt = static_cast<int>(s);
        });
    };
    return Kernel{std::string("encoder.") + name, [at](uint32_t f) { return at(EncoderKernelsFor(f)); }, check, time};
}

void AddEncoderKernels(std::vector<Kernel>& out)
{
    constexpr int lx = Planes::lx;
    auto refAt = [](const Planes& p, const Area& a) { return p.ref + a.y * lx + a.x; };
    auto curAt = [](const Planes& p, const Area& a) { return p.cur + a.cy * lx + a.cx; };
    out.push_back(EncoderKernel(
        "sadFull", [](const EncoderKernels& k) { return Address(k.sadFull); },
        [=](const EncoderKernels& k, const Planes& p, const Area& a) { return long{k.sadFull(refAt(p, a), curAt(p, a), lx, a.h)}; }));
    out.push_back(EncoderKernel(
        "sadHalf", [](const EncoderKernels& k) { return Address(k.sadHalf); },
        [=](const EncoderKernels& k, const Planes& p, const Area& a) {
            return long{k.sadHalf(refAt(p, a), curAt(p, a), lx, a.hx, a.hy, a.h)};
        }));
    out.push_back(EncoderKernel(
        "sseHalf", [](const EncoderKernels& k) { return Address(k.sseHalf); },
        [=](const EncoderKernels& k, const Planes& p, const Area& a) {
            return long{k.sseHalf(refAt(p, a), curAt(p, a), lx, a.hx, a.hy, a.h)};
        }));
    out.push_back(EncoderKernel(
        "sadBidir", [](const EncoderKernels& k) { return Address(k.sadBidir); },
        [=](const EncoderKernels& k, const Planes& p, const Area& a) {
            const uint8_t* back = p.ref2 + ((a.y + 5) % (Planes::rows - a.h - 1)) * lx + (a.x + 11) % (lx - 17);
            return long{k.sadBidir(refAt(p, a), back, curAt(p, a), lx, a.hx, a.hy, a.hxb, a.hyb, a.h)};
        }));
    out.push_back(EncoderKernel(
        "sseBidir", [](const EncoderKernels& k) { return Address(k.sseBidir); },
        [=](const EncoderKernels& k, const Planes& p, const Area& a) {
            const uint8_t* back = p.ref2 + ((a.y + 5) % (Planes::rows - a.h - 1)) * lx + (a.x + 11) % (lx - 17);
            return long{k.sseBidir(refAt(p, a), back, curAt(p, a), lx, a.hx, a.hy, a.hxb, a.hyb, a.h)};
        }));
    // A limited sum may stop early: what must hold is the exact sum below
    // the limit and a value at least the limit otherwise.
    out.push_back(EncoderKernel(
        "sadHalfLimit", [](const EncoderKernels& k) { return Address(k.sadHalfLimit); },
        [=](const EncoderKernels& k, const Planes& p, const Area& a) {
            const int full = mpeg::SadHalfPel(refAt(p, a), curAt(p, a), lx, a.hx, a.hy, a.h);
            long verdict = 0;
            for (int limit : {0, full / 3, full, full + 1, 1 << 20}) {
                const int got = k.sadHalfLimit(refAt(p, a), curAt(p, a), lx, a.hx, a.hy, a.h, limit);
                verdict = 2 * verdict + (full < limit ? got == full : got >= limit);
            }
            return verdict;
        },
        3000,
        [=](const EncoderKernels& k, const Planes& p, const Area& a) {
            return long{k.sadHalfLimit(refAt(p, a), curAt(p, a), lx, a.hx, a.hy, a.h, 4000)};  // a best so far
        }));
    // The whole search over windows of every size, from one position to
    // the picture, the current area aligned or not.
    out.push_back(EncoderKernel(
        "fullSearch", [](const EncoderKernels& k) { return Address(k.fullSearch); },
        [=](const EncoderKernels& k, const Planes& p, const Area& a) {
            const int ilow = a.x % 40, jlow = a.y % 30;
            const int ihigh = std::min(lx - 16, ilow + (a.x * 7) % 48), jhigh = std::min(Planes::rows - a.h, jlow + (a.y * 5) % 32);
            SearchResult r;
            r.i = a.cx;
            r.j = a.cy;
            if (a.hx) r.best = 1 + a.x * 17;  // a best so far to beat
            k.fullSearch(p.ref, curAt(p, a), lx, a.h, ilow, ihigh, jlow, jhigh, r);
            return (static_cast<long>(r.best) << 20) ^ (static_cast<long>(r.i) << 10) ^ r.j;
        },
        300));

    // The forward DCT: prediction errors of every size, the extremes, and
    // blocks beyond the sample range (the reference path).
    auto blocks = [](Rng& rng, int count) {
        std::vector<std::array<int16_t, 64>> b(count);
        for (int n = 0; n < count; ++n) {
            const int kind = n % 7;
            for (int i = 0; i < 64; ++i) {
                const int r = static_cast<int>(rng() % 511) - 255;
                int16_t v = 0;
                switch (kind) {
                case 0: v = static_cast<int16_t>(r); break;
                case 1: v = static_cast<int16_t>(r / 32); break;
                case 2: v = static_cast<int16_t>((rng() & 1) ? 255 : -255); break;
                case 3: v = static_cast<int16_t>((i & 9) ? r / 8 : -(r / 16)); break;
                case 4: v = static_cast<int16_t>(n % 513 - 256); break;  // constant blocks
                case 5: v = static_cast<int16_t>((rng() % 4096) - 2048); break;
                default: v = static_cast<int16_t>(i == n % 64 ? r : 0); break;  // one coefficient
                }
                b[n][i] = v;
            }
        }
        return b;
    };
    out.push_back(Kernel{
        "encoder.forwardDct", [](uint32_t f) { return Address(EncoderKernelsFor(f).forwardDct); },
        [blocks](uint32_t f, Rng& rng) -> std::string {
            const EncoderKernels plain = EncoderKernelsFor(0), level = EncoderKernelsFor(f);
            for (auto block : blocks(rng, 60000)) {
                auto other = block;
                plain.forwardDct(block.data());
                level.forwardDct(other.data());
                if (block != other) return "a block transforms differently";
            }
            return {};
        },
        [blocks](uint32_t f) {
            Rng rng(6);
            const auto input = blocks(rng, 512);
            const auto dct = EncoderKernelsFor(f).forwardDct;
            auto work = input;
            return NanosecondsPerCall(static_cast<long>(input.size()), [&] {
                work = input;
                for (auto& b : work) dct(b.data());
                g_sinkInt = work[7][3];
            });
        }});

    // The colour conversion of source frames, with every colour matrix's
    // luma weights.
    out.push_back(Kernel{
        "encoder.rgbRowToYcc", [](uint32_t f) { return Address(EncoderKernelsFor(f).rgbRowToYcc); },
        [](uint32_t f, Rng& rng) -> std::string {
            const EncoderKernels plain = EncoderKernelsFor(0), level = EncoderKernelsFor(f);
            static const double kWeights[][3] = {
                {0.299, 0.587, 0.114}, {0.2125, 0.7154, 0.0721}, {0.30, 0.59, 0.11}, {0.212, 0.701, 0.087}};
            for (int t = 0; t < 4000; ++t) {
                const int width = 1 + static_cast<int>(rng() % 200);
                std::vector<uint8_t> rgb(3 * static_cast<size_t>(width));
                const int kind = t % 3;
                for (auto& v : rgb) v = static_cast<uint8_t>(kind == 0 ? rng() : (kind == 1 ? ((rng() & 1) ? 255 : 0) : 128));
                const double* w = kWeights[t % 4];
                std::vector<uint8_t> a(3 * static_cast<size_t>(width) + 3, 0x5A), b = a;
                plain.rgbRowToYcc(rgb.data(), width, w, a.data(), a.data() + width + 1, a.data() + 2 * width + 2);
                level.rgbRowToYcc(rgb.data(), width, w, b.data(), b.data() + width + 1, b.data() + 2 * width + 2);
                if (a != b) return "a row of " + std::to_string(width) + " pixels converts differently";
            }
            return {};
        },
        [](uint32_t f) {
            Rng rng(11);
            const int width = 720;
            std::vector<uint8_t> rgb(3 * width), y(width), cb(width), cr(width);
            for (auto& v : rgb) v = static_cast<uint8_t>(rng());
            const double w[3] = {0.299, 0.587, 0.114};
            const auto k = EncoderKernelsFor(f).rgbRowToYcc;
            return NanosecondsPerCall(16, [&] {
                for (int i = 0; i < 16; ++i) k(rgb.data(), width, w, y.data(), cb.data(), cr.data());
                g_sinkInt = y[13];
            });
        }});
}

// ---------------------------------------------------------------------------
// Decoder output

std::vector<uint8_t> Samples(Rng& rng, size_t n)
{
    std::vector<uint8_t> v(n);
    const int kind = static_cast<int>(rng() % 4);
    for (auto& s : v) {
        const uint32_t r = rng();
        switch (kind) {
        case 0: s = static_cast<uint8_t>(r); break;
        case 1: s = (r & 1) ? 255 : 0; break;  // the filters' overshoot, clipped
        case 2: s = static_cast<uint8_t>(r % 10 == 0 ? 0 : (r % 10 == 1 ? 255 : r >> 8)); break;
        default: s = static_cast<uint8_t>(16 + (r % 220)); break;
        }
    }
    return v;
}

void AddDecoderKernels(std::vector<Kernel>& out)
{
    out.push_back(Kernel{
        "decoder.verticalRow", [](uint32_t f) { return Address(DecoderOutputKernelsFor(f).verticalRow); },
        [](uint32_t f, Rng& rng) -> std::string {
            const DecoderOutputKernels plain = DecoderOutputKernelsFor(0), level = DecoderOutputKernelsFor(f);
            for (int t = 0; t < 3000; ++t) {
                const int m = 1 + static_cast<int>(rng() % 100), n = 2 * (1 + static_cast<int>(rng() % 20));
                const int stride = m + static_cast<int>(rng() % 9);
                const std::vector<uint8_t> plane = Samples(rng, static_cast<size_t>(stride) * n);
                const bool progressive = rng() & 1;
                const ChromaTaps taps = ChromaTapsOf(static_cast<int>(rng() % (2 * n)), n, progressive);
                std::vector<uint8_t> a(m + 2 * kChromaPad, 0x5A), b = a;
                plain.verticalRow(plane.data(), stride, m, taps, a.data());
                level.verticalRow(plane.data(), stride, m, taps, b.data());
                if (a != b) return "a row of " + std::to_string(m) + " samples differs";
            }
            return {};
        },
        [](uint32_t f) {
            Rng rng(7);
            const int m = 360, n = 288;
            const std::vector<uint8_t> plane = Samples(rng, static_cast<size_t>(m) * n);
            std::vector<uint8_t> row(m + 2 * kChromaPad);
            const auto k = DecoderOutputKernelsFor(f).verticalRow;
            return NanosecondsPerCall(2 * n, [&] {
                for (int y = 0; y < 2 * n; ++y) k(plane.data(), m, m, ChromaTapsOf(y, n, y & 1), row.data());
                g_sinkInt = row[5];
            });
        }});
    out.push_back(Kernel{
        "decoder.horizontalRow", [](uint32_t f) { return Address(DecoderOutputKernelsFor(f).horizontalRow); },
        [](uint32_t f, Rng& rng) -> std::string {
            const DecoderOutputKernels plain = DecoderOutputKernelsFor(0), level = DecoderOutputKernelsFor(f);
            for (int t = 0; t < 5000; ++t) {
                const int m = 1 + static_cast<int>(rng() % 120);
                const int count = 1 + static_cast<int>(rng() % (2 * m));
                const bool mpeg2 = rng() & 1;
                const std::vector<uint8_t> padded = Samples(rng, m + 2 * kChromaPad);
                std::vector<uint8_t> a(2 * m + 1, 0x5A), b = a;
                plain.horizontalRow(padded.data(), count, mpeg2, a.data());
                level.horizontalRow(padded.data(), count, mpeg2, b.data());
                if (a != b) return std::to_string(count) + " samples from " + std::to_string(m) + " differ";
            }
            return {};
        },
        [](uint32_t f) {
            Rng rng(8);
            const int m = 360;
            const std::vector<uint8_t> padded = Samples(rng, m + 2 * kChromaPad);
            std::vector<uint8_t> row(2 * m);
            const auto k = DecoderOutputKernelsFor(f).horizontalRow;
            return NanosecondsPerCall(64, [&] {
                for (int i = 0; i < 64; ++i) k(padded.data(), 2 * m - (i & 1), i & 2, row.data());
                g_sinkInt = row[9];
            });
        }});
    out.push_back(Kernel{
        "decoder.convertRow", [](uint32_t f) { return Address(DecoderOutputKernelsFor(f).convertRow); },
        [](uint32_t f, Rng& rng) -> std::string {
            const DecoderOutputKernels plain = DecoderOutputKernelsFor(0), level = DecoderOutputKernelsFor(f);
            static const int kMatrices[][4] = {{117504, 138453, 13954, 34903},
                                               {104597, 132201, 25675, 53279},
                                               {104448, 132798, 24759, 53109},
                                               {117579, 136230, 16907, 35559}};
            for (int t = 0; t < 5000; ++t) {
                const int width = 1 + static_cast<int>(rng() % 200);
                const std::vector<uint8_t> y = Samples(rng, width), cb = Samples(rng, width), cr = Samples(rng, width);
                const int* matrix = kMatrices[rng() % 4];
                std::vector<uint8_t> a(4 * width, 0x5A), b = a;
                plain.convertRow(y.data(), cb.data(), cr.data(), width, matrix, a.data());
                level.convertRow(y.data(), cb.data(), cr.data(), width, matrix, b.data());
                if (a != b) return "a row of " + std::to_string(width) + " pixels differs";
            }
            return {};
        },
        [](uint32_t f) {
            Rng rng(9);
            const int width = 720;
            const std::vector<uint8_t> y = Samples(rng, width), cb = Samples(rng, width), cr = Samples(rng, width);
            const int matrix[4] = {104597, 132201, 25675, 53279};
            std::vector<uint8_t> rgbx(4 * width);
            const auto k = DecoderOutputKernelsFor(f).convertRow;
            return NanosecondsPerCall(16, [&] {
                for (int i = 0; i < 16; ++i) k(y.data(), cb.data(), cr.data(), width, matrix, rgbx.data());
                g_sinkInt = rgbx[11];
            });
        }});
}

}  // namespace

int main(int argc, char** argv)
{
    bool bench = false;
    unsigned seed = 19;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--bench") {
            bench = true;
        } else if (a == "--seed" && i + 1 < argc) {
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 0));
        } else {
            std::fprintf(stderr, "usage: checkkernels [--bench] [--seed N]\n");
            return 2;
        }
    }
    NoiseInit();

    // The levels this machine has (the mask does not hide any from the checker).
    const std::vector<CpuLevel> levels = ProcessorCpuLevels();
    std::printf("Processor levels:");
    for (const CpuLevel& level : levels) std::printf(" %s", level.name);
    std::printf("\n");

    std::vector<Kernel> kernels;
    AddNoiseKernels(kernels);
    AddEncoderKernels(kernels);
    AddDecoderKernels(kernels);

    int failures = 0;
    for (const Kernel& k : kernels) {
        std::string line;
        for (size_t l = 1; l < levels.size(); ++l) {
            if (k.at(levels[l].flags) == k.at(levels[l - 1].flags)) continue;  // nothing new at this level
            Rng rng(seed);
            const std::string why = k.check(levels[l].flags, rng);
            line += std::string(" ") + levels[l].name + (why.empty() ? " ok" : " FAILED");
            if (!why.empty()) {
                ++failures;
                std::printf("%-32s %s: %s\n", k.name.c_str(), levels[l].name, why.c_str());
            }
        }
        std::printf("%-32s%s\n", k.name.c_str(), line.empty() ? " plain only" : line.c_str());
    }
    std::printf(failures ? "%d kernel levels differ from the plain kernels\n" : "every kernel level gives the plain kernels' output\n",
                failures);

    if (bench) {
        std::printf("\nNanoseconds per call (speed-up over plain); = means the level below's kernel:\n%-32s", "kernel");
        for (const CpuLevel& level : levels) std::printf(" %18s", level.name);
        std::printf("\n");
        for (const Kernel& k : kernels) {
            std::printf("%-32s", k.name.c_str());
            double plain = 0;
            for (size_t l = 0; l < levels.size(); ++l) {
                if (l > 0 && k.at(levels[l].flags) == k.at(levels[l - 1].flags)) {
                    std::printf(" %18s", "=");
                    continue;
                }
                const double ns = k.time(levels[l].flags);
                if (l == 0) {
                    plain = ns;
                    std::printf(" %15.1f   ", ns);
                } else {
                    std::printf(" %9.1f (%4.2fx)", ns, plain / ns);
                }
            }
            std::printf("\n");
        }
    }
    return failures ? 1 : 0;
}
