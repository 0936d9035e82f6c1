// Writes the program's default texture library: a handful of textures
// (".zyv") and "default.jxw" listing them.
//
//   librarygen <texture folder> <library file>
//
// The textures are written into <texture folder>; the library lists each
// one by its name ("\sunset.zyv") and by its file name alone as its path
// ("sunset.zyv"), which the program looks for beside the library first, so
// that the library and its textures can be installed, and moved, together.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/LibraryFile.h"
#include "engine/Presets.h"
#include "engine/TextureFile.h"

using namespace morvane;

namespace {

struct Rgb {
    float r, g, b;
};

struct Stop {
    int entry;  // 0..24: where the colour is reached (24 is the end of the last entry)
    Rgb colour;
};

// Colours of the 24 entries running linearly through the stops (the first
// stop at entry 0, the last at 24); positions are the standard tiling.
Gradient Ramp(std::initializer_list<Stop> stops)
{
    Gradient g = Gradient::Tiled();
    const std::vector<Stop> s(stops);
    auto at = [&](int position) {
        size_t k = 0;
        while (k + 2 < s.size() && s[k + 1].entry <= position) ++k;
        const Stop& a = s[k];
        const Stop& b = s[k + 1];
        const float t = b.entry == a.entry ? 0.0f
                                           : static_cast<float>(position - a.entry) / static_cast<float>(b.entry - a.entry);
        return Rgb{a.colour.r + (b.colour.r - a.colour.r) * t, a.colour.g + (b.colour.g - a.colour.g) * t,
                   a.colour.b + (b.colour.b - a.colour.b) * t};
    };
    for (int j = 0; j < kGradientEntries; ++j) {
        GradientEntry& e = g.entries[j];
        const Rgb from = at(j);
        const Rgb to = at(j + 1);
        e.startR = from.r;
        e.startG = from.g;
        e.startB = from.b;
        e.endR = to.r;
        e.endG = to.g;
        e.endB = to.b;
    }
    return g;
}

constexpr Rgb Bytes(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

LayerSlot Slot(int material, int blendMode, float blendCoef)
{
    LayerSlot slot;
    slot.blendMode = blendMode;
    slot.blendCoef = blendCoef;
    slot.layer = LayerFromPreset(MaterialPresetTable()[static_cast<size_t>(material)]);
    return slot;
}

void Relief(Layer& layer, int relief, float intensity, float scale)
{
    LayerRecord& r = layer.rec;
    ResetReliefParameters(r);
    r.relief = static_cast<int8_t>(relief);
    r.reliefIntensity = intensity;
    r.reliefScaleX = scale;
    r.reliefScaleY = scale;
    r.reliefScaleZ = scale;
}

void Scale(Layer& layer, float x, float y, float z)
{
    layer.rec.scaleX = x;
    layer.rec.scaleY = y;
    layer.rec.scaleZ = z;
}

Texture Make(std::vector<LayerSlot> slots)
{
    Texture t;
    t.layers = std::move(slots);
    return t;
}

// An evening sky: turbulent clouds lit from the horizon.
Texture Sunset()
{
    LayerSlot sky = Slot(0, 1, 1.0f);
    sky.layer.gradient = Ramp({{0, Bytes(255, 236, 180)},
                               {6, Bytes(250, 160, 80)},
                               {13, Bytes(200, 80, 90)},
                               {19, Bytes(90, 50, 120)},
                               {24, Bytes(30, 25, 70)}});
    Scale(sky.layer, 1.5f, 4.0f, 1.0f);
    return Make({sky});
}

// White marble with grey-green veins.
Texture WhiteMarble()
{
    LayerSlot marble = Slot(1, 1, 1.0f);
    marble.layer.gradient = Ramp({{0, Bytes(245, 243, 236)},
                                  {10, Bytes(228, 226, 218)},
                                  {16, Bytes(170, 176, 168)},
                                  {20, Bytes(90, 104, 96)},
                                  {24, Bytes(50, 60, 55)}});
    marble.layer.rec.turbulence = 1.4f;
    return Make({marble});
}

// Honey-coloured planks: wood grain with the brick relief drawn long.
Texture Planks()
{
    LayerSlot wood = Slot(2, 1, 1.0f);
    wood.layer.gradient = Ramp({{0, Bytes(222, 170, 110)},
                                {12, Bytes(196, 136, 80)},
                                {20, Bytes(150, 96, 52)},
                                {24, Bytes(110, 66, 34)}});
    Scale(wood.layer, 1.0f, 8.0f, 1.0f);
    wood.layer.rec.turbulence = 0.3f;
    Relief(wood.layer, 6, 2.0f, 2.0f);
    wood.layer.rec.reliefScaleY = 6.0f;
    return Make({wood});
}

// A wall of red bricks with sunken mortar.
Texture BrickWall()
{
    LayerSlot brick = Slot(3, 1, 1.0f);
    Relief(brick.layer, 6, 4.0f, 4.0f);
    brick.layer.rec.reliefScaleY = 7.0f;
    return Make({brick});
}

// Cooling lava: glowing cracks under a dark crust.
Texture Lava()
{
    LayerSlot crust = Slot(14, 1, 1.0f);
    crust.layer.gradient = Ramp({{0, Bytes(255, 220, 90)},
                                 {2, Bytes(250, 120, 20)},
                                 {4, Bytes(150, 30, 10)},
                                 {8, Bytes(50, 20, 15)},
                                 {24, Bytes(25, 18, 16)}});
    Scale(crust.layer, 4.0f, 4.0f, 4.0f);
    Relief(crust.layer, 14, 3.0f, 4.0f);
    return Make({crust});
}

// Blue water with ripples catching the light.
Texture Lagoon()
{
    LayerSlot water = Slot(19, 1, 1.0f);
    water.layer.gradient = Ramp({{0, Bytes(20, 60, 120)},
                                 {8, Bytes(30, 110, 160)},
                                 {16, Bytes(60, 170, 190)},
                                 {24, Bytes(20, 60, 120)}});
    Relief(water.layer, 1, 2.0f, 6.0f);
    return Make({water});
}

// Speckled grey granite, polished.
Texture Granite()
{
    LayerSlot stone = Slot(8, 1, 1.0f);
    stone.layer.gradient = Ramp({{0, Bytes(230, 228, 224)},
                                 {8, Bytes(170, 166, 164)},
                                 {16, Bytes(90, 88, 92)},
                                 {24, Bytes(30, 30, 34)}});
    return Make({stone});
}

struct Item {
    const char* file;
    Texture (*make)();
};

constexpr Item kItems[] = {
    {"sunset.zyv", Sunset}, {"marble.zyv", WhiteMarble}, {"planks.zyv", Planks}, {"brick.zyv", BrickWall},
    {"lava.zyv", Lava},     {"lagoon.zyv", Lagoon},      {"granite.zyv", Granite},
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: librarygen <texture folder> <library file>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::filesystem::path library = argv[2];

    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::filesystem::create_directories(library.parent_path(), ec);

    std::vector<LibraryEntry> entries;
    for (const Item& item : kItems) {
        const Result<> saved = WriteTextureFile(folder / item.file, item.make());
        if (!saved.ok()) {
            std::fprintf(stderr, "librarygen: %s\n", saved.error.c_str());
            return 1;
        }
        entries.push_back({LibraryEntryName(item.file), item.file});
    }
    const Result<> saved = WriteLibraryFile(library, entries);
    if (!saved.ok()) {
        std::fprintf(stderr, "librarygen: %s\n", saved.error.c_str());
        return 1;
    }
    return 0;
}
