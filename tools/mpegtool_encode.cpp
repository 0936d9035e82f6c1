// "mpegtool encode": encodes numbered frame files into an MPEG stream.
//   mpegtool encode --format mpeg1|pal|ntsc|secam --size WxH --count N --in DIR OUT
//                   [--recon FILE] [--plain]
// --recon writes the encoder's reconstruction as raw 4:2:0 (Y, Cb, Cr planes
// of the picture size per frame, display order); --plain uses the plain C++
// kernels (as MORVANE_CPU_MASK=plain does).  Prints the frames per second at
// the end.  Exits 2 with a message for a command line it does not take
// (a negative count, a size that is not two whole numbers that fit), 1 when
// the encoder stops (its message says why).
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "codec/MpegEncoder.h"
#include "engine/Cpu.h"
#include "tools/SizeArgument.h"

using namespace morvane;

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: mpegtool encode --format mpeg1|pal|ntsc|secam --size WxH --count N --in DIR OUT "
                 "[--recon FILE] [--plain]\n");
    return 2;
}

int Refuse(const char* option, const char* takes, const char* value)
{
    std::fprintf(stderr, "encode: %s takes %s, not \"%s\"\n", option, takes, value);
    return 2;
}

}  // namespace

int EncodeCommand(int argc, char** argv)
{
    EncodeRequest req;
    std::string recon;
    bool haveFormat = false, haveSize = false, haveCount = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--format") {
            const char* v = next();
            if (!v) return Usage();
            const std::string f = v;
            if (f == "mpeg1") req.videoFormat = kVideoMpeg1;
            else if (f == "pal") req.videoFormat = kVideoPal;
            else if (f == "ntsc") req.videoFormat = kVideoNtsc;
            else if (f == "secam") req.videoFormat = kVideoSecam;
            else return Usage();
            haveFormat = true;
        } else if (a == "--size") {
            const char* v = next();
            if (!v) return Usage();
            const std::optional<std::pair<int, int>> size = ParseSizeArgument(v, INT_MAX);
            if (!size) return Refuse("--size", "WIDTHxHEIGHT in pixels", v);
            std::tie(req.width, req.height) = *size;
            haveSize = true;
        } else if (a == "--count") {
            const char* v = next();
            if (!v) return Usage();
            const std::optional<int> count = WholeNumberArgument(v, 0, INT_MAX);
            if (!count) return Refuse("--count", "a number of frames, 0 or more", v);
            req.frameCount = *count;
            haveCount = true;
        } else if (a == "--in") {
            const char* v = next();
            if (!v) return Usage();
            req.frameFolder = v;
        } else if (a == "--recon") {
            const char* v = next();
            if (!v) return Usage();
            recon = v;
        } else if (a == "--plain") {
            morvane::SetCpuMask(0);
        } else if (!a.empty() && a[0] != '-' && req.outputPath.empty()) {
            req.outputPath = a;
        } else {
            return Usage();
        }
    }
    if (!haveFormat || !haveSize || !haveCount || req.outputPath.empty()) return Usage();

    std::FILE* reconFile = nullptr;
    if (!recon.empty()) {
        reconFile = std::fopen(recon.c_str(), "wb");
        if (!reconFile) {
            std::fprintf(stderr, "Couldn't create %s\n", recon.c_str());
            return 1;
        }
        const int w = req.width, h = req.height;
        req.onReconstructed = [reconFile, w, h](const ReconstructedPicture& p) {
            const long frameBytes = static_cast<long>(w) * h * 3 / 2;
            std::fseek(reconFile, frameBytes * p.displayNumber, SEEK_SET);
            for (int y = 0; y < h; ++y) std::fwrite(p.y + static_cast<long>(y) * p.codedWidth, 1, w, reconFile);
            for (const uint8_t* c : {p.cb, p.cr})
                for (int y = 0; y < h / 2; ++y) std::fwrite(c + static_cast<long>(y) * (p.codedWidth / 2), 1, w / 2, reconFile);
        };
    }

    MessageSink sink;
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = EncodeMovie(req, sink);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (reconFile) std::fclose(reconFile);
    if (!ok) return 1;
    std::printf("%d frames in %.3f s: %.1f frames per second\n", req.frameCount, seconds,
                seconds > 0 ? req.frameCount / seconds : 0.0);
    return 0;
}
