// Helpers of the picture and movie tests: files made by ffmpeg and by the
// movie-file script, ffmpeg's own decoding as the oracle, and the render a
// picture layer must give.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/TempDir.h"
#include "tests/media/MediaTestSupport.h"
#include "engine/Presets.h"
#include "engine/Records.h"
#include "engine/Render.h"
#include "media/Picture.h"
#include "support/SampleTextures.h"

namespace morvane::test {

namespace fs = std::filesystem;

inline bool RunCommand(const std::string& command) { return Shell(command + " < /dev/null") == 0; }

inline std::vector<uint8_t> FileBytesOf(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// ffmpeg's moving test pattern: `frames` frames of `size` ("64x48") with
// the output arguments `args`, written to `out`.
inline bool FfmpegPattern(const fs::path& out, const std::string& size, int frames, const std::string& args)
{
    return RunCommand("ffmpeg -v error -y -f lavfi -i testsrc2=size=" + size + ":rate=25 -frames:v " + std::to_string(frames) +
               " " + args + " '" + out.string() + "'") &&
           fs::exists(out);
}

// The movie-file script (FLI and run-length AVI from the formats' layouts).
inline bool ScriptMovie(const std::string& kind, const fs::path& out, int w, int h, int frames)
{
    const std::string script = std::string(MORVANE_TEST_DATA_DIR) + "/../scripts/movie_files.py";
    return RunCommand("python3 '" + script + "' " + kind + " '" + out.string() + "' " + std::to_string(w) + " " +
               std::to_string(h) + " " + std::to_string(frames)) &&
           fs::exists(out);
}

// Every frame ffmpeg decodes from `file`, as rows of red, green, blue, top
// row first.
inline std::vector<std::vector<uint8_t>> FfmpegFrames(const fs::path& file, int w, int h)
{
    const fs::path raw = fs::path(file).concat(".rgb");
    std::vector<std::vector<uint8_t>> frames;
    if (!RunCommand("ffmpeg -v error -y -i '" + file.string() + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 '" +
             raw.string() + "'")) {
        return frames;
    }
    const std::vector<uint8_t> all = FileBytesOf(raw);
    const size_t size = static_cast<size_t>(w) * h * 3;
    for (size_t at = 0; at + size <= all.size(); at += size) frames.emplace_back(all.begin() + at, all.begin() + at + size);
    return frames;
}

// A picture (bottom row first, four bytes a pixel) as rows of red, green,
// blue, top row first.
inline std::vector<uint8_t> TopFirstRgb(const std::vector<uint8_t>& pixels, int w, int h)
{
    std::vector<uint8_t> out;
    if (pixels.size() < static_cast<size_t>(w) * h * 4) return out;
    out.reserve(static_cast<size_t>(w) * h * 3);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
            out.insert(out.end(), p, p + 3);
        }
    }
    return out;
}
inline std::vector<uint8_t> TopFirstRgb(const Layer& layer)
{
    return TopFirstRgb(layer.Pixels(), layer.PictureWidth(), layer.PictureHeight());
}
inline std::vector<uint8_t> TopFirstRgb(const Picture& p) { return TopFirstRgb(p.pixels, p.width, p.height); }

// Number of bytes in which two equally long images differ.
inline size_t DifferingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

// A texture of one layer of material 24 ("Image") with `layer`'s picture,
// unscaled and unmoved, added over black.
inline Texture ImageTexture(const Layer& layer)
{
    Texture t = PresetTexture(MaterialPresetTable(), 24);
    Layer& l = t.layers[0].layer;
    l.rec.width = layer.rec.width;
    l.rec.height = layer.rec.height;
    l.picture = layer.picture;
    l.rec.scaleX = l.rec.scaleY = 1.0f;
    l.rec.offsetX = l.rec.offsetY = l.rec.offsetZ = 0.0f;
    l.rec.reliefIntensity = 0.0f;
    return t;
}

// What an image-size render (top row first, blue, green, red, 0) of that
// texture shows for a source picture given as red, green, blue rows top
// row first: pixel (column c, image row r) is the picture at column
// trunc(c / w x (w - 1)) and row trunc(r / h x h), bytes through the
// engine's float colour.
inline std::vector<uint8_t> ExpectedImageRender(const std::vector<uint8_t>& topRgb, int w, int h)
{
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4, 0);
    auto through = [](uint8_t b) {
        const float c = std::min(static_cast<float>(b) * (1.0f / 255.0f), 1.0f);
        return static_cast<uint8_t>(static_cast<int>(c * 255.0f));
    };
    for (int j = 0; j < h; ++j) {
        const int r = h - 1 - j;
        const float v = static_cast<float>(r) / static_cast<float>(h);
        const int row = std::min(static_cast<int>(v * static_cast<float>(h)), h - 1);
        for (int c = 0; c < w; ++c) {
            const float u = static_cast<float>(c) / static_cast<float>(w);
            const int column = std::min(static_cast<int>(u * static_cast<float>(w - 1)), w - 1);
            const uint8_t* src = &topRgb[(static_cast<size_t>(h - 1 - row) * w + column) * 3];
            uint8_t* px = &out[(static_cast<size_t>(j) * w + c) * 4];
            px[0] = through(src[2]);
            px[1] = through(src[1]);
            px[2] = through(src[0]);
        }
    }
    return out;
}

// The texture of a picture layer rendered at the picture's size equals the
// source picture as the "Image" material samples it.
inline void ExpectRendersAs(const Layer& layer, const std::vector<uint8_t>& sourceTopRgb)
{
    const int w = layer.rec.width, h = layer.rec.height;
    const std::vector<uint8_t> image = RenderImage(ImageTexture(layer), w, h, 0, 0, true);
    EXPECT_EQ(DifferingBytes(image, ExpectedImageRender(sourceTopRgb, w, h)), 0u);
}

// A layer whose picture path is `path`.
inline Layer LayerWithPicture(const std::string& path)
{
    Layer l = LayerFromPreset(MaterialPresetTable()[24]);
    l.SetPicturePath(path);
    return l;
}

}  // namespace morvane::test
