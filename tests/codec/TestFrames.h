// Moving test pictures for the codec tests and speed figures: PPM frames
// written as the export writes them ("mpeg%04d.ppm", "P6\n%d %d\n255\n").
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace codectest {

enum class Content {
    Smooth,  // soft gradients and a textured background drifting, with a moving disc
    Sharp,   // a black and white checkerboard scrolling diagonally (hard edges)
    Detail,  // several octaves of value noise panning, plus moving bars: camera-like detail
};

inline uint32_t Hash(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// Value noise in 0..1 with cell size `cell`.
inline double ValueNoise(double x, double y, double cell, int seed)
{
    const double fx = x / cell, fy = y / cell;
    const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
    const double tx = fx - ix, ty = fy - iy;
    auto v = [&](int a, int b) { return (Hash(a, b, seed) & 0xFFFF) / 65535.0; };
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double top = v(ix, iy) + (v(ix + 1, iy) - v(ix, iy)) * sx;
    const double bot = v(ix, iy + 1) + (v(ix + 1, iy + 1) - v(ix, iy + 1)) * sx;
    return top + (bot - top) * sy;
}

inline uint8_t ToByte(double v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v + 0.5)); }

// RGB bytes of frame `f`, rows top first.
inline std::vector<uint8_t> MakeFrame(Content c, int w, int h, int f)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            double r, g, b;
            if (c == Content::Sharp) {
                const int v = (((x + 3 * f) / 8 + (y + 2 * f) / 8) & 1) ? 255 : 0;
                r = v, g = 255 - v, b = (((x - f) / 16) & 1) ? 255 : 0;
            } else if (c == Content::Smooth) {
                const double u = x + 2.0 * f, v = y + 1.0 * f;
                r = 128 + 90 * std::sin(u * 0.031) * std::cos(v * 0.043);
                g = 128 + 80 * std::sin(u * 0.017 + v * 0.023);
                b = 60 + 120 * ValueNoise(u, v, 24.0, 3);
                const double dx = x - (w * 0.3 + 3.0 * f), dy = y - (h * 0.5 + std::sin(f * 0.2) * h * 0.2);
                if (dx * dx + dy * dy < (h * 0.15) * (h * 0.15)) r = 230, g = 40, b = 40;
            } else {
                const double u = x + 1.5 * f, v = y + 0.5 * f;
                const double n = 0.5 * ValueNoise(u, v, 32.0, 1) + 0.3 * ValueNoise(u, v, 8.0, 2) + 0.2 * ValueNoise(u, v, 3.0, 5);
                r = 255 * n;
                g = 200 * ValueNoise(u, v, 16.0, 7) + 30;
                b = 255 * (1 - n);
                const int bar = (x - 4 * f) % 96;
                if ((bar + 96) % 96 < 12) r = 250, g = 250, b = 250;
            }
            p[0] = ToByte(r);
            p[1] = ToByte(g);
            p[2] = ToByte(b);
        }
    return rgb;
}

inline bool WritePpm(const std::string& path, const std::vector<uint8_t>& rgb, int w, int h)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    return std::fclose(f) == 0 && ok;
}

inline std::string FrameName(const std::string& dir, int f)
{
    char name[32];
    std::snprintf(name, sizeof name, "mpeg%04d.ppm", f);
    return dir + "/" + name;
}

// Writes frames 0..count-1 into dir.
inline bool WriteFrames(const std::string& dir, Content c, int w, int h, int count)
{
    for (int f = 0; f < count; ++f)
        if (!WritePpm(FrameName(dir, f), MakeFrame(c, w, h, f), w, h)) return false;
    return true;
}

}  // namespace codectest
