// Single-core speed of the MPEG encoder: frames per second for 352 x 288
// MPEG-1 and 720 x 576 MPEG-2 PAL, with the kernels of the processor's level
// (SSE2, AVX, AVX2 where it has them) and with the plain C++ ones (the two
// streams must be identical).
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/MpegEncoder.h"
#include "engine/Cpu.h"
#include "tests/codec/TestFrames.h"

using namespace morvane;

namespace {

std::vector<char> Slurp(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

double CpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

struct Speed {
    double wall = 0, cpu = 0;  // frames per second
};

Speed Encode(const std::string& dir, const std::string& out, int format, int w, int h, int frames, bool plain)
{
    EncodeRequest req;
    req.outputPath = out;
    req.videoFormat = format;
    req.width = w;
    req.height = h;
    req.frameCount = frames;
    req.frameFolder = dir;
    const uint32_t mask = CpuMask();
    if (plain) SetCpuMask(0);  // the encoder takes its kernels when it is made
    MessageSink sink;
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = CpuSeconds();
    const bool ok = EncodeMovie(req, sink);
    const double cpu = CpuSeconds() - c0;
    SetCpuMask(mask);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!ok) return {};
    return {frames / wall, frames / cpu};
}

void Measure(const char* name, int format, int w, int h, int frames, int repeats)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("morvane-bench-mpeg-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    codectest::WriteFrames(dir.string(), codectest::Content::Detail, w, h, frames);
    const std::string fast = (dir / "fast.bin").string(), plain = (dir / "plain.bin").string();
    Speed bestFast, bestPlain;
    for (int r = 0; r < repeats; ++r) {
        const Speed f = Encode(dir.string(), fast, format, w, h, frames, false);
        const Speed p = Encode(dir.string(), plain, format, w, h, frames, true);
        bestFast = {std::max(bestFast.wall, f.wall), std::max(bestFast.cpu, f.cpu)};
        bestPlain = {std::max(bestPlain.wall, p.wall), std::max(bestPlain.cpu, p.cpu)};
    }
    const bool same = Slurp(fast) == Slurp(plain);
    std::printf("%-11s %dx%d, %d frames: SIMD search %6.1f frames/s (%6.1f per CPU second), plain search %6.1f (%6.1f), "
                "streams %s\n",
                name, w, h, frames, bestFast.wall, bestFast.cpu, bestPlain.wall, bestPlain.cpu, same ? "identical" : "DIFFERENT");
    std::filesystem::remove_all(dir);
}

}  // namespace

int main()
{
    std::printf("MPEG encoder, one core (best of 5 runs; frames read from PPM files)\n");
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        double load = 0;
        if (std::fscanf(f, "%lf", &load) == 1) std::printf("load average %.2f\n", load);
        std::fclose(f);
    }
    Measure("MPEG-1", kVideoMpeg1, 352, 288, 60, 5);
    Measure("MPEG-2 PAL", kVideoPal, 720, 576, 36, 5);
    return 0;
}
