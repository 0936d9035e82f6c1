#include "media/ExportFiles.h"

#include <cstdio>
#include <cstring>

#include "engine/TextureFile.h"

namespace morvane {

std::vector<uint8_t> EncodeTprFile(const Layer& layer)
{
    // The layer file holds the same record and gradient images.
    const std::vector<uint8_t> block = EncodeLayerFile(layer);
    std::vector<uint8_t> out;
    out.reserve(kTprFileSize);
    out.push_back(block[0]);
    out.insert(out.end(), block.begin() + 2, block.begin() + 64);
    out.insert(out.end(), block.begin() + sizeof(LayerRecord), block.begin() + kLayerBlockSize);
    return out;
}

int BitmapDumpRowBytes(int width) { return width * 3 + (width * 3) % 2; }

std::vector<uint8_t> BitmapDumpHead(int width, int height)
{
    std::vector<uint8_t> out(kBitmapDumpHeadSize, 0);
    auto put16 = [&](size_t at, int v) {
        const uint16_t x = static_cast<uint16_t>(v);
        std::memcpy(&out[at], &x, 2);
    };
    auto put32 = [&](size_t at, int v) {
        const int32_t x = v;
        std::memcpy(&out[at], &x, 4);
    };
    put16(2, width);
    put16(4, height);
    put16(6, BitmapDumpRowBytes(width));
    out[8] = 1;
    out[9] = 24;
    put32(10, 40);
    put32(14, width);
    put32(18, height);
    put16(22, 1);
    put16(24, 24);
    return out;
}

std::string PpmHeader(int width, int height)
{
    return "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
}

std::string FrameFileName(int frame, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "mpeg%04d%s", frame, extension);
    return name;
}

}  // namespace morvane
