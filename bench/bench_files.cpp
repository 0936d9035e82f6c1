// Reading and writing a 64-layer animated texture: parsing and encoding in
// memory, and the whole road through the disk (temporary file and rename).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "engine/TextureFile.h"

using namespace morvane;

namespace {

Texture MakeTexture(int layers, int keys)
{
    Texture t;
    for (int i = 0; i < layers; ++i) {
        LayerSlot slot;
        Layer& l = slot.layer;
        l.rec.material = static_cast<int8_t>(i % 39);
        l.rec.scaleX = 1.0f + static_cast<float>(i);
        l.rec.lacunarity = 2.0f;
        l.rec.omega = 0.5f;
        l.rec.width = 160;
        l.rec.height = 120;
        l.rec.animated = 1;
        l.rec.keyCount = keys;
        l.rec.duration = 4.0f;
        l.gradient = Gradient::Tiled();
        for (int k = 0; k < keys; ++k) {
            Keyframe key = MakeKey(l);
            key.rec.time = static_cast<float>(k) / static_cast<float>(keys - 1);
            l.keys.push_back(key);
        }
        t.layers.push_back(std::move(slot));
    }
    return t;
}

template <class F>
double MillisecondsPerRun(F&& f, int runs)
{
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / runs;
}

}  // namespace

int main()
{
    const int layers = 64, keys = 8, runs = 200;
    const Texture texture = MakeTexture(layers, keys);
    const std::vector<uint8_t> bytes = EncodeTextureFile(texture);
    const double mb = static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
    std::printf("texture: %d layers, %d keys each, %zu bytes\n", layers, keys, bytes.size());

    size_t sink = 0;
    const double encode = MillisecondsPerRun([&] { sink += EncodeTextureFile(texture).size(); }, runs);
    const double parse = MillisecondsPerRun([&] { sink += ParseTextureFile(bytes, FileKind::Texture).value->layers.size(); }, runs);

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("morvane-bench-" + std::to_string(::getpid()) + ".zyv");
    const double write = MillisecondsPerRun([&] { sink += WriteTextureFile(path, texture).error.size(); }, runs / 4);
    const double read = MillisecondsPerRun([&] { sink += ReadTextureFile(path).value->layers.size(); }, runs);
    std::filesystem::remove(path);

    std::printf("encode in memory:            %8.3f ms  (%7.1f MB/s)\n", encode, mb / encode * 1000.0);
    std::printf("parse from memory:           %8.3f ms  (%7.1f MB/s)\n", parse, mb / parse * 1000.0);
    std::printf("write file (temp + rename):  %8.3f ms  (with fsync)\n", write);
    std::printf("read file:                   %8.3f ms\n", read);
    return sink == 0;
}
