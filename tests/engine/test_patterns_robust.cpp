// Every material with every relief at the ends of every slider's range
// gives finite colours and normals through the layer evaluator (and, in the
// sanitizer build, no undefined conversion or out-of-range read).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/Eval.h"
#include "engine/PatternNames.h"
#include "engine/Patterns.h"
#include "engine/Presets.h"
#include "engine/Render.h"
#include "tests/engine/PatternTestUtil.h"

using namespace morvane;
using namespace morvane::test;

namespace {

// The layer sliders with their ranges (position range times the factor).
struct SliderRange {
    const char* name;
    void (*set)(Layer&, float);
    float lo, hi;
};

const SliderRange kSliders[] = {
    {"detail", [](Layer& l, float v) { l.rec.detail = static_cast<int16_t>(v); }, 0, 20},
    {"turbulence", [](Layer& l, float v) { l.rec.turbulence = v; }, 0, 2},
    {"scaleX", [](Layer& l, float v) { l.rec.scaleX = v; }, 0, 100},
    {"scaleY", [](Layer& l, float v) { l.rec.scaleY = v; }, 0, 100},
    {"scaleZ", [](Layer& l, float v) { l.rec.scaleZ = v; }, 0, 100},
    {"offsetZ", [](Layer& l, float v) { l.rec.offsetZ = v; }, 0, 10},
    {"reliefIntensity", [](Layer& l, float v) { l.rec.reliefIntensity = v; }, 0.1f, 20},
    {"reliefScaleX", [](Layer& l, float v) { l.rec.reliefScaleX = v; }, 0, 200},
    {"reliefScaleY", [](Layer& l, float v) { l.rec.reliefScaleY = v; }, 0, 200},
    {"reliefScaleZ", [](Layer& l, float v) { l.rec.reliefScaleZ = v; }, 0, 200},
    {"reliefOffsetZ", [](Layer& l, float v) { l.rec.reliefOffsetZ = v; }, 0, 10},
    {"lacunarity", [](Layer& l, float v) { l.rec.lacunarity = v; }, 0, 10},
    {"omega", [](Layer& l, float v) { l.rec.omega = v; }, 0, 1},
    {"reliefDetail", [](Layer& l, float v) { l.rec.reliefDetail = static_cast<int32_t>(v); }, 0, 20},
    {"frequency", [](Layer& l, float v) { l.rec.frequency = v; }, 0, 20},
    {"phase", [](Layer& l, float v) { l.rec.phase = v; }, 0, 2},
};
constexpr int kSliderCount = sizeof kSliders / sizeof kSliders[0];

struct Config {
    uint32_t highMask;  // bit i: slider i at its top, else at its bottom
    float orientation;  // turns, both transforms
};

std::string Describe(int m, int r, const Config& c)
{
    std::string s = std::string(MaterialName(m)) + " / " + ReliefName(r) + " turns " + std::to_string(c.orientation) + ":";
    for (int i = 0; i < kSliderCount; ++i) s += std::string(" ") + kSliders[i].name + ((c.highMask >> i) & 1 ? "=max" : "=min");
    return s;
}

}  // namespace

TEST(PatternRobustness, SliderExtremesGiveFiniteColoursAndNormals)
{
    NoiseInit();
    std::vector<Config> configs;
    const uint32_t all = (1u << kSliderCount) - 1;
    for (float turns : {0.0f, 0.125f, 1.0f}) {
        configs.push_back({0, turns});
        configs.push_back({all, turns});
    }
    for (int i = 0; i < kSliderCount; ++i) {
        configs.push_back({1u << i, 0.375f});
        configs.push_back({all & ~(1u << i), 0.625f});
    }
    // A few mixed corners.
    uint32_t h = 0x9E3779B9u;
    for (int k = 0; k < 8; ++k) {
        h = h * 1664525u + 1013904223u;
        configs.push_back({(h >> 7) & all, 0.25f * (k % 4)});
    }

    const float us[] = {0.0f, 0.37f, 0.99375f};
    const float vs[] = {0.0f, 0.5f, 0.9916667f};
    EvalContext ctx;
    int failures = 0;
    for (int m = 0; m < kMaterialCount; ++m) {
        for (int r = 0; r < kReliefCount; ++r) {
            for (size_t ci = 0; ci < configs.size(); ++ci) {
                const Config& c = configs[ci];
                Layer l = BasicLayer(m, r);
                for (int i = 0; i < kSliderCount; ++i) {
                    const SliderRange& s = kSliders[i];
                    s.set(l, (c.highMask >> i) & 1 ? s.hi : s.lo);
                }
                l.rec.offsetX = ci % 3 == 0 ? -3.7f : 0.0f;
                l.rec.offsetY = ci % 5 == 0 ? 2.2f : 0.0f;
                l.rec.foldX = (ci & 1) ? 0.5f : 0.0f;
                if (ci % 4 == 1) l.gradient.reset();  // built-in colours
                if (IsPictureMaterial(m) && ci % 7 != 3) SetTestPicture(l, 7, 5);
                PrepareLayerPatterns(l);
                for (float u : us) {
                    for (float v : vs) {
                        float colourOut[3] = {0, 0, 0}, normalOut[3] = {0, 0, 0};
                        EvalLayer(u, v, l, colourOut, normalOut, c.orientation, c.orientation, ctx);
                        bool ok = true;
                        for (int k = 0; k < 3; ++k) ok = ok && std::isfinite(colourOut[k]) && std::isfinite(normalOut[k]);
                        if (!ok && ++failures <= 20) {
                            ADD_FAILURE() << Describe(m, r, c) << " at u " << u << " v " << v << ": colour "
                                          << colourOut[0] << " " << colourOut[1] << " " << colourOut[2]
                                          << " normal " << normalOut[0] << " " << normalOut[1] << " "
                                          << normalOut[2];
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

// Image sizes up to 65535 are kept in the 16-bit size fields and read
// unsigned: a picture wider than 32767 pixels, at that image size, is
// still sampled.
TEST(PatternRobustness, PicturesWiderThan32767PixelsAreSampled)
{
    constexpr int kWide = 40000;
    for (int material : {kFirstPictureMaterial, kFirstPictureMaterial + 1}) {
        Texture t = PresetTexture(MaterialPresetTable(), material);
        Layer& layer = t.layers[0].layer;
        layer.rec.width = static_cast<int16_t>(static_cast<uint16_t>(kWide));
        layer.rec.height = 1;
        std::vector<uint8_t> pixels(static_cast<size_t>(kWide) * 4, 0);
        for (size_t i = 0; i < pixels.size(); i += 4) pixels[i + 1] = 200;  // green
        layer.SetPicture(kWide, 1, std::move(pixels));
        PrepareForRender(t);
        const std::vector<uint8_t> image = RenderImage(t, 8, 8, kDisplayAllLayers, 0, true);
        int green = 0;
        for (size_t i = 0; i < image.size(); i += 4) green = std::max<int>(green, image[i + 1]);
        EXPECT_GT(green, 0) << material;
    }
}
