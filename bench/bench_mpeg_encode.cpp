// Single-core speed of the MPEG encoder: frames per second for 352 x 288
// MPEG-1 and 720 x 576 MPEG-2 PAL, with the SSE2 distortion measures and
// with the plain C++ ones (the two streams must be identical).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/MpegEncoder.h"
#include "tests/codec/TestFrames.h"

using namespace morvane;

namespace {

std::vector<char> Slurp(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

double Encode(const std::string& dir, const std::string& out, int format, int w, int h, int frames, bool plain)
{
    EncodeRequest req;
    req.outputPath = out;
    req.videoFormat = format;
    req.width = w;
    req.height = h;
    req.frameCount = frames;
    req.frameFolder = dir;
    req.plainSearch = plain;
    MessageSink sink;
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = EncodeMovie(req, sink);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return ok ? frames / s : 0.0;
}

void Measure(const char* name, int format, int w, int h, int frames, int repeats)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("morvane-bench-mpeg-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    codectest::WriteFrames(dir.string(), codectest::Content::Detail, w, h, frames);
    const std::string fast = (dir / "fast.bin").string(), plain = (dir / "plain.bin").string();
    double bestFast = 0, bestPlain = 0;
    for (int r = 0; r < repeats; ++r) {
        bestFast = std::max(bestFast, Encode(dir.string(), fast, format, w, h, frames, false));
        bestPlain = std::max(bestPlain, Encode(dir.string(), plain, format, w, h, frames, true));
    }
    const bool same = Slurp(fast) == Slurp(plain);
    std::printf("%-28s %4dx%-4d %3d frames: SSE2 search %6.1f frames/s, plain search %6.1f frames/s, streams %s\n", name, w,
                h, frames, bestFast, bestPlain, same ? "identical" : "DIFFERENT");
    std::filesystem::remove_all(dir);
}

}  // namespace

int main()
{
    std::printf("MPEG encoder, one core (best of 3 runs; frames read from PPM files)\n");
    Measure("MPEG-1", kVideoMpeg1, 352, 288, 60, 3);
    Measure("MPEG-2 PAL", kVideoPal, 720, 576, 36, 3);
    return 0;
}
