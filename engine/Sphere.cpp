#include "engine/Sphere.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/Lighting.h"
#include "engine/Paths.h"
#include "engine/SafeFile.h"

namespace morvane {

SphereTable::SphereTable() : bytes_(kSphereTableBytes, 0) {}

void SphereTable::LoadBytes(std::span<const uint8_t> bytes)
{
    std::fill(bytes_.begin(), bytes_.end(), uint8_t{0});
    const size_t n = std::min(bytes.size(), bytes_.size());
    if (n > 0) std::memcpy(bytes_.data(), bytes.data(), n);
}

bool SphereTable::LoadFile(const std::filesystem::path& path)
{
    std::fill(bytes_.begin(), bytes_.end(), uint8_t{0});
    // Only the table's first bytes are read, however long the file is; a
    // pipe or a device is not read at all.
    InputFile in(path, UINT64_MAX);
    const Result<std::vector<uint8_t>> head = in.Read(bytes_.size());
    if (!head.ok()) return false;
    std::copy(head.value->begin(), head.value->end(), bytes_.begin());
    return true;
}

bool SphereTable::Load()
{
    std::fill(bytes_.begin(), bytes_.end(), uint8_t{0});
    const auto path = FindDataFile("sphere.par");
    return path && LoadFile(*path);
}

void SphereShader::AllocShadingLines()
{
    std::memset(lineA, 192, sizeof lineA);
    std::memset(lineB, 192, sizeof lineB);
}

void SphereShader::ShadeSpherePoint(const LayerRecord& layer)
{
    eye[0] = normal[0];
    eye[1] = normal[1];
    eye[2] = normal[2] - 10.0f;
    ShadePoint(layer);
}

void SphereShader::ShadePoint(const LayerRecord& layer)
{
    const float L[3] = {layer.lightDirX, layer.lightDirY, layer.lightDirZ};
    const float* E = eye;
    const float* S = normal;

    // The eye vector's y pairs with the light's x and its x with the
    // light's y (the table's y and x are the screen's horizontal and
    // vertical).  A zero light direction counts as light from the side.
    const double lightLength = std::sqrt(static_cast<double>(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]));
    const float dot = -(E[2] * L[2]) - E[1] * L[0] - E[0] * L[1];
    float m;
    if (lightLength > 0.0 && std::isfinite(lightLength))
        m = static_cast<float>((dot / lightLength + 1.0) * 0.5);
    else
        m = 0.5f;

    const float diffuse = DiffuseFactor(m);
    const float brilliance[3] = {layer.brillianceR, layer.brillianceG, layer.brillianceB};
    const float light[3] = {layer.lightR, layer.lightG, layer.lightB};
    const float reflect[3] = {layer.reflectR, layer.reflectG, layer.reflectB};
    const float away = 1.0f - m;
    for (int ch = 0; ch < 3; ++ch) {
        const float D = static_cast<float>(0.75 * light[ch] * diffuse);
        colour[ch] = LitChannel(D, brilliance[ch], away, light[ch], reflect[ch]);
    }

    // Specular highlight along the half vector; a point without a normal
    // has none.
    const double normalLength = std::sqrt(static_cast<double>(S[0] * S[0] + S[1] * S[1] + S[2] * S[2]));
    if (!(normalLength > 0.0) || !std::isfinite(normalLength)) return;
    float H[3];
    for (int i = 0; i < 3; ++i) H[i] = static_cast<float>((L[i] - S[i] / normalLength) * 0.5);
    const float p = H[0] * E[0] + H[1] * E[1] + H[2] * E[2];
    if (!(p > 0.01f)) return;
    for (int ch = 0; ch < 3; ++ch) {
        const float b = brilliance[ch];
        const double e = 13.0 / (b * b * 0.000025 + 1.0);
        colour[ch] = static_cast<float>(colour[ch] + std::pow(static_cast<double>(p), e) * 0.5 * light[ch] * reflect[ch]);
    }
}

uint8_t SphereShader::ChannelByte(float c)
{
    if (!(c >= 0.0f)) return 0;
    if (c > 1.0f) c = 1.0f;
    return static_cast<uint8_t>(c * 255.0f);
}

void SphereShader::Store(uint8_t* line, int position)
{
    uint8_t* px = line + position * 4;
    px[0] = ChannelByte(colour[2]);
    px[1] = ChannelByte(colour[1]);
    px[2] = ChannelByte(colour[0]);
}

}  // namespace morvane
