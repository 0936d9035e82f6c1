// Single-core speed of every material with its preset parameters, and of
// every relief on the Marble preset: megapixels per second of a 320 x 240
// image evaluated pixel by pixel on one thread (EvalTexture, one layer).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/PatternNames.h"
#include "engine/Presets.h"
#include "engine/Render.h"

using namespace morvane;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

void SetBenchPicture(Layer& layer)
{
    constexpr int w = 320, h = 240;
    layer.rec.width = w;
    layer.rec.height = h;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7u);
    layer.SetPicture(w, h, std::move(pixels));
}

// Megapixels per second, timing whole images until half a second has passed.
double Measure(const Texture& texture)
{
    EvalContext ctx;
    const auto t0 = std::chrono::steady_clock::now();
    long pixels = 0;
    float sink = 0.0f;
    double seconds = 0.0;
    do {
        for (int y = 0; y < kHeight; ++y) {
            const float v = static_cast<float>(y) / kHeight;
            for (int x = 0; x < kWidth; ++x) {
                float c[3];
                EvalTexture(static_cast<float>(x) / kWidth, v, texture, c, kDisplayAllLayers, 0, ctx);
                sink += c[0];
            }
        }
        pixels += static_cast<long>(kWidth) * kHeight;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    } while (seconds < 0.5);
    volatile float keep = sink;
    (void)keep;
    return pixels / seconds / 1e6;
}

}  // namespace

int main()
{
    NoiseInit();
    const MaterialPresets& presets = MaterialPresetTable();
    struct Row {
        std::string name;
        double mps;
    };
    std::vector<Row> materials;

    std::printf("Materials with their presets, %d x %d, one core:\n", kWidth, kHeight);
    for (int m = 0; m < kMaterialCount; ++m) {
        Texture t = PresetTexture(presets, m);
        if (IsPictureMaterial(m)) SetBenchPicture(t.layers[0].layer);
        PrepareForRender(t);
        const double mps = Measure(t);
        std::printf("  %2d %-20s %8.2f MP/s\n", m, MaterialName(m), mps);
        materials.push_back({std::to_string(m) + " " + MaterialName(m), mps});
    }

    std::printf("Reliefs on Marble (relief intensity 5, detail 10):\n");
    for (int r = 0; r < kReliefCount; ++r) {
        Texture t = NewTexture(presets);
        LayerRecord& rec = t.layers[0].layer.rec;
        rec.relief = static_cast<int8_t>(r);
        ResetReliefParameters(rec);
        PrepareForRender(t);
        std::printf("  %2d %-20s %8.2f MP/s\n", r, ReliefName(r), Measure(t));
    }

    std::sort(materials.begin(), materials.end(), [](const Row& a, const Row& b) { return a.mps < b.mps; });
    std::printf("Slowest materials:");
    for (size_t i = 0; i < 5 && i < materials.size(); ++i) {
        std::printf(" %s (%.2f)%s", materials[i].name.c_str(), materials[i].mps, i < 4 ? "," : "\n");
    }
    return 0;
}
