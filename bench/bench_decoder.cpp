// Single-core decoding speed of the MPEG video decoder, to 32-bit RGB in
// memory (as playback and export use it):
//   - 352 x 288 MPEG-1 at the program's 1,852,000 bit/s,
//   - 720 x 576 MPEG-2 (interlaced coding) at 5 Mbit/s.
// The streams are made by ffmpeg (an independent encoder) from its moving
// test pattern, and by the program's own encoder (MPEG-1 and PAL settings)
// from a moving synthetic picture; pass file names to time other streams
// instead:
//   bench_decoder [STREAM...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "codec/DecoderCore.h"
#include "codec/DecoderOutput.h"
#include "codec/MpegEncoder.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Time(const std::string& label, const std::vector<uint8_t>& stream)
{
    morvane::MpegVideoDecoder decoder;
    double best = 0;
    int frames = 0;
    int width = 0, height = 0;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        decoder.Start(stream.data(), stream.size());
        frames = 0;
        while (const morvane::DecodedPlanes* f = decoder.NextFrame()) {
            std::vector<uint8_t> rgb = morvane::FrameToRgbx(*f, decoder.OutputKernels());
            width = f->width;
            height = f->height;
            ++frames;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::max(best, frames / s);
    }
    double decodeOnly = 0;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        decoder.Start(stream.data(), stream.size());
        int n = 0;
        while (decoder.NextFrame()) ++n;
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        decodeOnly = std::max(decodeOnly, n / s);
    }
    std::printf("%-40s %4dx%-4d %4d frames  %7.1f frames/s to RGB  (%7.1f frames/s decoding alone)\n",
                label.c_str(), width, height, frames, best, decodeOnly);
}

// Frame files for the program's encoder: a disc moving over stripes and a
// colour ramp.
bool WriteFrames(const fs::path& folder, int width, int height, int count)
{
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int n = 0; n < count; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "mpeg%04d.ppm", n);
        std::FILE* f = std::fopen((folder / name).c_str(), "wb");
        if (!f) return false;
        std::fprintf(f, "P6\n%d %d\n255\n", width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int dx = x - width / 3 - 4 * n, dy = y - height / 2;
                const bool disc = dx * dx + dy * dy < height * height / 16;
                row[3 * x] = static_cast<uint8_t>(disc ? 240 : (x + 2 * n) & 0xFF);
                row[3 * x + 1] = static_cast<uint8_t>(disc ? 60 : ((x / 7 + y / 5 + n) & 1) * 160 + 40);
                row[3 * x + 2] = static_cast<uint8_t>((y * 255) / height);
            }
            std::fwrite(row.data(), 1, row.size(), f);
        }
        std::fclose(f);
    }
    return true;
}

void TimeOwnEncoder(const fs::path& dir, const char* label, int format, int width, int height)
{
    const fs::path frames = dir / (std::string("frames") + std::to_string(format + 1));
    fs::create_directories(frames);
    const int count = 100;
    morvane::EncodeRequest request;
    request.outputPath = (dir / ("own" + std::to_string(format + 1) + ".bin")).string();
    request.videoFormat = format;
    request.width = width;
    request.height = height;
    request.frameCount = count;
    request.frameFolder = frames.string();
    morvane::MessageSink sink;
    sink.SetEcho(false);
    if (!WriteFrames(frames, width, height, count) || !morvane::EncodeMovie(request, sink)) {
        std::printf("%-40s (the encoder could not make the stream)\n", label);
        return;
    }
    Time(label, ReadAll(request.outputPath));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) Time(argv[i], ReadAll(argv[i]));
        return 0;
    }
    const fs::path dir = fs::temp_directory_path() / ("morvane_bench_decoder_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    struct Case {
        const char* label;
        const char* args;
        const char* name;
    } cases[] = {
        {"MPEG-1 352x288 1.852 Mbit/s", "-s 352x288 -c:v mpeg1video -b:v 1852k -bf 2 -g 12 -f mpeg1video",
         "m1.mpg"},
        {"MPEG-2 720x576 5 Mbit/s interlaced",
         "-s 720x576 -c:v mpeg2video -b:v 5M -bf 2 -g 12 -flags +ildct+ilme -f mpeg2video", "m2.m2v"},
    };
    for (const Case& c : cases) {
        const fs::path out = dir / c.name;
        const std::string cmd = std::string("ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 "
                                            "-frames:v 250 ") +
                                c.args + " '" + out.string() + "'";
        if (std::system(cmd.c_str()) != 0 || !fs::exists(out)) {
            std::printf("%-40s (ffmpeg could not make the stream)\n", c.label);
            continue;
        }
        Time(c.label, ReadAll(out));
    }
    TimeOwnEncoder(dir, "MPEG-1 352x288 (own encoder)", morvane::kVideoMpeg1, 352, 288);
    TimeOwnEncoder(dir, "MPEG-2 720x576 PAL 5 Mbit/s (own encoder)", morvane::kVideoPal, 720, 576);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
