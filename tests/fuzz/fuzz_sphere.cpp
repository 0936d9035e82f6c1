// Sphere tables of any contents and length: the walk and the shading stay
// inside the table and the line buffers.
#include <cstdint>
#include <span>

#include "engine/Sphere.h"

using namespace morvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SphereTable table;
    table.LoadBytes(std::span<const uint8_t>(data, size));
    LayerRecord light{};
    light.lightDirX = 0.5f;
    light.lightDirY = -0.3f;
    light.lightDirZ = 0.8f;
    light.lightR = light.lightG = light.lightB = 1.0f;
    light.reflectR = light.reflectG = light.reflectB = 1.0f;
    light.brillianceR = light.brillianceG = light.brillianceB = 200.0f;
    SphereShader shader;
    unsigned sum = 0;
    shader.ShadeRows(table, light, [&](int) { sum += shader.lineA[0] + shader.lineB[299]; });
    return static_cast<int>(sum & 0);
}
