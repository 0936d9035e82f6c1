// Rendering speed of a three-layer texture at 640 x 480: the renderer on one
// thread and on every core, against a bare loop of EvalTexture calls.
//
//   bench_render [repetitions]
//
// The layers are Marble, Granite and Wood from the material presets once
// those patterns exist, else three picture ("Image") layers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/Patterns.h"
#include "engine/Presets.h"
#include "engine/Render.h"

using namespace morvane;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

std::vector<uint8_t> NoisePicture(int width, int height, uint32_t seed)
{
    std::vector<uint8_t> p(static_cast<size_t>(width) * height * 4);
    for (uint8_t& b : p) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return p;
}

LayerSlot MakeSlot(Layer layer, int32_t mode, float k, float orientation)
{
    LayerSlot s;
    s.layer = std::move(layer);
    s.blendMode = mode;
    s.blendCoef = k;
    s.orientation = orientation;
    return s;
}

bool PatternsAvailable()
{
    return ColourPatternFor(1) && ColourPatternFor(8) && ColourPatternFor(2);
}

Texture BenchTexture()
{
    Texture t;
    if (PatternsAvailable()) {
        const MaterialPresets& presets = MaterialPresetTable();
        t.layers.push_back(MakeSlot(LayerFromPreset(presets[1]), kBlendAdditive, 1.0f, 0.0f));
        t.layers.push_back(MakeSlot(LayerFromPreset(presets[8]), kBlendTransparency, 0.5f, 0.1f));
        t.layers.push_back(MakeSlot(LayerFromPreset(presets[2]), kBlendAdditive, 0.3f, 0.0f));
    } else {
        const MaterialPresets& presets = MaterialPresetTable();
        for (int i = 0; i < 3; ++i) {
            Layer layer = LayerFromPreset(presets[24]);
            layer.rec.material = 24;
            layer.rec.width = 256;
            layer.rec.height = 256;
            layer.rec.scaleX = 1.5f + i;
            layer.rec.scaleY = 1.5f + i;
            layer.SetPicture(256, 256, NoisePicture(256, 256, 7u + i));
            t.layers.push_back(MakeSlot(std::move(layer), i == 1 ? kBlendTransparency : kBlendAdditive,
                                        i == 1 ? 0.5f : 0.6f, 0.05f * i));
        }
        t.layers[1].layer.rec.reliefIntensity = 1.0f;  // lit
    }
    PrepareForRender(t);
    return t;
}

// The first figure of /proc/loadavg, where there is one.
std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string first;
    if (!(in >> first)) return "unknown";
    return first;
}

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double Seconds(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The same work as the renderer without it: one EvalTexture per pixel.
double BareLoop(const Texture& t, std::vector<uint8_t>& out)
{
    const auto t0 = std::chrono::steady_clock::now();
    EvalContext ctx;
    for (int row = 0; row < kHeight; ++row) {
        uint8_t* px = out.data() + static_cast<size_t>(row) * kWidth * 4;
        const float v = static_cast<float>(row) / static_cast<float>(kHeight);
        for (int x = 0; x < kWidth; ++x, px += 4) {
            float c[3];
            EvalTexture(static_cast<float>(x) / static_cast<float>(kWidth), v, t, c, kDisplayAllLayers, 0, ctx);
            px[0] = static_cast<uint8_t>(static_cast<int>(c[2] * 255.0f));
            px[1] = static_cast<uint8_t>(static_cast<int>(c[1] * 255.0f));
            px[2] = static_cast<uint8_t>(static_cast<int>(c[0] * 255.0f));
            px[3] = 0;
        }
    }
    return Seconds(t0);
}

double Rendered(const Texture& t, std::vector<uint8_t>& out, int threads)
{
    RenderOptions o;
    o.threads = threads;
    int rows = 0;
    o.rowDone = [&](const RenderProgress&) {
        ++rows;
        return true;
    };
    const auto t0 = std::chrono::steady_clock::now();
    RenderRect(t, kWidth, kHeight, 0, 0, kWidth, kHeight, kDisplayAllLayers, 0, out.data(), kWidth * 4, o);
    return Seconds(t0);
}

}  // namespace

int main(int argc, char** argv)
{
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    NoiseInit();
    const Texture t = BenchTexture();
    const int cores = HardwareThreads();
    const double mpix = kWidth * kHeight / 1e6;

    std::vector<uint8_t> bare(static_cast<size_t>(kWidth) * kHeight * 4);
    std::vector<uint8_t> one(bare.size()), all(bare.size());
    double bestBare = 1e9, bestOne = 1e9, bestAll = 1e9;
    Rendered(t, all, cores);  // starts the worker threads
    for (int i = 0; i < reps; ++i) {
        bestBare = std::min(bestBare, BareLoop(t, bare));
        bestOne = std::min(bestOne, Rendered(t, one, 1));
        bestAll = std::min(bestAll, Rendered(t, all, cores));
    }

    std::printf("texture: %s, %d x %d, best of %d\n",
                PatternsAvailable() ? "Marble + Granite + Wood" : "three picture layers (patterns not built yet)",
                kWidth, kHeight, reps);
    std::printf("bare EvalTexture loop, 1 thread: %8.2f Mpixel/s  (%.1f ms)\n", mpix / bestBare, bestBare * 1e3);
    std::printf("renderer, 1 thread:              %8.2f Mpixel/s  (%.1f ms)\n", mpix / bestOne, bestOne * 1e3);
    std::printf("renderer, %2d threads:            %8.2f Mpixel/s  (%.1f ms)\n", cores, mpix / bestAll,
                bestAll * 1e3);
    std::printf("speed-up on %d threads:          %8.2fx\n", cores, bestOne / bestAll);
    std::printf("renderer overhead on 1 thread:   %+8.2f %%\n", (bestOne / bestBare - 1.0) * 100.0);
    // The processor time all threads spent on one render on every core,
    // against the time of one thread alone: near 1 means the threads add
    // no work of their own, so a speed-up short of the core count comes
    // from cores taken by other processes.
    {
        double cpuBest = 1e9;
        for (int i = 0; i < reps; ++i) {
            const double c0 = ProcessCpuSeconds();
            Rendered(t, all, cores);
            cpuBest = std::min(cpuBest, ProcessCpuSeconds() - c0);
        }
        std::printf("processor time on %d threads / 1 thread: %.2f\n", cores, cpuBest / bestOne);
    }
    for (int n = 2; n < cores; n *= 2) {
        double best = 1e9;
        for (int i = 0; i < reps; ++i) best = std::min(best, Rendered(t, all, n));
        std::printf("renderer, %2d threads:            %8.2f Mpixel/s  (speed-up %.2fx)\n", n, mpix / best,
                    bestOne / best);
    }
    std::printf("load average (other processes share the cores): %s\n", LoadAverage().c_str());
    const bool same = one == bare && all == bare;
    std::printf("images identical:                %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
