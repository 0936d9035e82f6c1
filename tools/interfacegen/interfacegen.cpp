// interfacegen: writes "interface.zyv", the texture behind the program's
// panels and buttons: a calm, dark slate sky over which the white captions
// with their dark shadows stay legible.
//
//   interfacegen <file>
#include <cstdio>
#include <string>

#include "engine/Noise.h"
#include "engine/Presets.h"
#include "engine/TextureFile.h"

using namespace morvane;

namespace {

constexpr int kSky = 0;

// A gradient that drifts between two slate tones and back.
Gradient Slate()
{
    Gradient g = Gradient::Tiled();
    const float dark[3] = {0.15f, 0.18f, 0.23f};
    const float light[3] = {0.33f, 0.37f, 0.44f};
    for (int j = 0; j < kGradientEntries; ++j) {
        GradientEntry& e = g.entries[static_cast<size_t>(j)];
        // Dark at both ends of the gradient, light in its middle.
        auto tone = [&](int k, int c) {
            const float t = static_cast<float>(k > 12 ? 24 - k : k) / 12.0f;
            return dark[c] + (light[c] - dark[c]) * t;
        };
        e.startR = tone(j, 0);
        e.startG = tone(j, 1);
        e.startB = tone(j, 2);
        e.endR = tone(j + 1, 0);
        e.endG = tone(j + 1, 1);
        e.endB = tone(j + 1, 2);
    }
    return g;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: interfacegen <file>\n");
        return 2;
    }
    NoiseInit();
    Texture t = PresetTexture(MaterialPresetTable(), kSky);
    LayerRecord& r = t.layers[0].layer.rec;
    r.width = 1024;
    r.height = 768;
    t.layers[0].layer.gradient = Slate();
    const Result<> saved = WriteTextureFile(argv[1], t);
    if (!saved.ok()) {
        std::fprintf(stderr, "%s\n", saved.error.c_str());
        return 1;
    }
    return 0;
}
