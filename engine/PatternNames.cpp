#include "engine/PatternNames.h"

namespace morvane {

const std::array<const char*, kMaterialCount> kMaterialNames = {
    "Sky",
    "Marble",
    "Wood",
    "Brick",
    "Checker",
    "Checker Texture",
    "Reflection",
    "Agate",
    "Granite",
    "Flame",
    "Onion",
    "Leopard",
    "Smoke",
    "Stains",
    "Crackle",
    "Mandelbrot",
    "Radial",
    "Cyclone",
    "Cyclone1",
    "ColorRipples",
    "ColorWaves",
    "ColorDents",
    "ColorWrinkles",
    "ColorQuilted",
    "Image",
    "Perturbed Image",
    "Ripples Image",
    "Waves Image",
    "Dents Image",
    "Wrinkles Image",
    "Quilted Image",
    "Marble Image",
    "Wood Image",
    "Leopard Image",
    "Onion Image",
    "Swirled Image",
    "Horizontal Gradient",
    "Vertical Gradient",
    "Radial Gradient",
};

const std::array<const char*, kReliefCount> kReliefNames = {
    "Waves", "Ripples", "Bumps", "Dents", "Inverse Dents", "Quilted", "Brick", "Fbm",
    "Crater", "Multifractal", "Hetero", "Hybrid", "Ridge", "TerrainBump", "Crackle",
};

const char* MaterialName(int material)
{
    return material >= 0 && material < kMaterialCount ? kMaterialNames[material] : "";
}

const char* ReliefName(int relief)
{
    return relief >= 0 && relief < kReliefCount ? kReliefNames[relief] : "";
}

}  // namespace morvane
