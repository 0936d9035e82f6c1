// The names of the materials and reliefs as the command panel lists them;
// the list index is the number stored in the layer.
#pragma once

#include <array>

#include "engine/Patterns.h"

namespace morvane {

extern const std::array<const char*, kMaterialCount> kMaterialNames;
extern const std::array<const char*, kReliefCount> kReliefNames;

// The materials 24..35 take a picture.
constexpr int kFirstPictureMaterial = 24;
constexpr int kLastPictureMaterial = 35;
constexpr bool IsPictureMaterial(int material)
{
    return material >= kFirstPictureMaterial && material <= kLastPictureMaterial;
}

// The name of a number, or "" outside the list.
const char* MaterialName(int material);
const char* ReliefName(int relief);

}  // namespace morvane
