// Helpers of the media tests: a private folder, the independent tools
// (ImageMagick, ffmpeg) run at test time, PPM files and picture comparison.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/TempDir.h"
#include "engine/Noise.h"
#include "engine/Render.h"
#include "support/PresetTextures.h"

namespace morvane::test {

inline int Shell(const std::string& cmd)
{
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// The standard output of a command.
inline std::string Output(const std::string& cmd)
{
    std::string out;
    if (std::FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

inline bool HaveTool(const char* probe)
{
    return Shell(std::string(probe) + " > /dev/null 2>&1") == 0;
}

#define REQUIRE_TOOL(probe, name)                                                  \
    do {                                                                           \
        if (!::morvane::test::HaveTool(probe)) {                                   \
            if (std::getenv("CI")) FAIL() << name " is needed in CI";              \
            GTEST_SKIP() << name " is not installed (tools/deps.sh installs it)"; \
        }                                                                          \
    } while (0)
#define REQUIRE_IMAGEMAGICK() REQUIRE_TOOL("identify -version", "ImageMagick")
#define REQUIRE_FFMPEG() REQUIRE_TOOL("ffmpeg -version", "ffmpeg")

// A binary PPM: width, height and rows of red, green, blue, top row first.
struct Ppm {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool ok() const { return width > 0 && rgb.size() == size_t(width) * height * 3; }
};

inline Ppm ParsePpm(const std::vector<uint8_t>& bytes)
{
    Ppm p;
    int maxval = 0, used = 0;
    const std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
    if (std::sscanf(head.c_str(), "P6 %d %d %d%n", &p.width, &p.height, &maxval, &used) != 3 || maxval != 255) return {};
    const size_t start = static_cast<size_t>(used) + 1;
    if (bytes.size() < start) return {};
    p.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    if (!p.ok()) return {};
    return p;
}

// The texture as the view shows it: rows of red, green, blue, top row first.
// Blue, green, red, x pixels as red, green, blue.
inline std::vector<uint8_t> BgraToRgb(const std::vector<uint8_t>& bgra)
{
    std::vector<uint8_t> rgb(bgra.size() / 4 * 3);
    for (size_t i = 0; i < bgra.size() / 4; ++i) {
        rgb[i * 3] = bgra[i * 4 + 2];
        rgb[i * 3 + 1] = bgra[i * 4 + 1];
        rgb[i * 3 + 2] = bgra[i * 4];
    }
    return rgb;
}

inline std::vector<uint8_t> ViewPixels(const Texture& texture, int w, int h)
{
    return BgraToRgb(RenderImage(texture, w, h, 0, 0, true));
}

inline double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty()) return 0.0;
    double se = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    if (se == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(a.size()) / se);
}

// Three preset layers (Marble, Granite, Wood) of width x height, prepared
// for rendering, with the noise tables built.
inline Texture PreparedThreeLayers(int width, int height)
{
    NoiseInit();
    Texture t = ThreeLayers(width, height);
    PrepareForRender(t);
    return t;
}

// The same with the first layer animated over `duration` seconds.
inline Texture AnimatedThreeLayers(int width, int height, float duration)
{
    Texture t = PreparedThreeLayers(width, height);
    AnimateFirstLayer(t, duration);
    return t;
}

}  // namespace morvane::test
