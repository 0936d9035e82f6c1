#include "engine/Patterns.h"

#include "engine/PatternsInternal.h"

namespace morvane {

namespace {

using namespace patterns;

// Material 24 ("Image") is sampled by the layer evaluator itself.
constexpr PatternFn kColourPatterns[kMaterialCount] = {
    MaterialSky,          MaterialMarble,         MaterialWood,           MaterialBrick,
    MaterialChecker,      MaterialCheckerTexture, MaterialReflection,     MaterialAgate,
    MaterialGranite,      MaterialFlame,          MaterialOnion,          MaterialLeopard,
    MaterialSmoke,        MaterialStains,         MaterialCrackle,        MaterialMandelbrot,
    MaterialRadial,       MaterialCyclone,        MaterialCyclone1,       MaterialColorRipples,
    MaterialColorWaves,   MaterialColorDents,     MaterialColorWrinkles,  MaterialColorQuilted,
    nullptr,              MaterialPerturbedImage, MaterialRipplesImage,   MaterialWavesImage,
    MaterialDentsImage,   MaterialWrinklesImage,  MaterialQuiltedImage,   MaterialMarbleImage,
    MaterialWoodImage,    MaterialLeopardImage,   MaterialOnionImage,     MaterialSwirledImage,
    MaterialHorizontalGradient, MaterialVerticalGradient, MaterialRadialGradient,
};

constexpr PatternFn kReliefPatterns[kReliefCount] = {
    ReliefWaves, ReliefRipples,      ReliefBumps,  ReliefDents,  ReliefInverseDents,
    ReliefQuilted, ReliefBrick,      ReliefFbm,    ReliefCrater, ReliefMultifractal,
    ReliefHetero, ReliefHybrid,      ReliefRidge,  ReliefTerrainBump, ReliefCrackle,
};

constexpr int kMaterialBrick = 3;
constexpr int kReliefBrick = 6;

}  // namespace

PatternFn ColourPatternFor(int material)
{
    return material >= 0 && material < kMaterialCount ? kColourPatterns[material] : nullptr;
}

PatternFn ReliefPatternFor(int relief)
{
    return relief >= 0 && relief < kReliefCount ? kReliefPatterns[relief] : nullptr;
}

void PrepareLayerPatterns(Layer& layer)
{
    const bool brickColour = layer.rec.material == kMaterialBrick;
    const bool brickRelief = layer.rec.relief == kReliefBrick && layer.rec.reliefIntensity > 0.0f;
    if (brickColour || brickRelief) layer.rec.mortar = kMortar;
}

}  // namespace morvane
