// "mpegtool decode IN --out DIR [--yuv]": decodes an MPEG-1 or MPEG-2 video
// elementary stream and writes every frame, in display order, as
// DIR/mpeg0000.ppm, mpeg0001.ppm, ... (binary PPM, the decoder's RGB
// conversion) or, with --yuv, as DIR/mpeg0000.yuv, ... (raw 4:2:0 planes:
// Y of width x height, then Cb and Cr of (width + 1) / 2 x (height + 1) / 2).
// Prints the frame count and the frames per second of decoding (with the
// RGB conversion unless --yuv; file writing not counted).
//
// Exits 1 with a message when the input cannot be read, holds no picture,
// or holds a stream the decoder stops on (the decoder says why), and when
// a frame cannot be written (the system's reason and the frames written
// before it).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "codec/DecoderCore.h"
#include "codec/DecoderOutput.h"
#include "engine/SafeFile.h"

namespace {

// Each frame file appears whole; the frames reach the disk together, with
// one sync after the last.
morvane::Result<> WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    return morvane::WriteFileReplacing(path, bytes, morvane::Durability::Deferred);
}

std::vector<uint8_t> Planes420(const morvane::DecodedPlanes& f)
{
    const int cw = (f.width + 1) / 2;
    const int ch = (f.height + 1) / 2;
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(f.width) * f.height + 2 * static_cast<size_t>(cw) * ch);
    for (int y = 0; y < f.height; ++y) out.insert(out.end(), f.y + y * f.lumaStride, f.y + y * f.lumaStride + f.width);
    for (const uint8_t* plane : {f.cb, f.cr}) {
        for (int y = 0; y < ch; ++y) out.insert(out.end(), plane + y * f.chromaStride, plane + y * f.chromaStride + cw);
    }
    return out;
}

int Usage()
{
    std::fprintf(stderr, "usage: mpegtool decode IN --out DIR [--yuv]\n");
    return 2;
}

}  // namespace

int DecodeCommand(int argc, char** argv)
{
    std::string input;
    std::filesystem::path outDir;
    bool yuv = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            outDir = argv[++i];
        } else if (std::strcmp(argv[i], "--yuv") == 0) {
            yuv = true;
        } else if (argv[i][0] != '-' && input.empty()) {
            input = argv[i];
        } else {
            return Usage();
        }
    }
    if (input.empty() || outDir.empty()) return Usage();
    morvane::InputFile file(input);
    std::FILE* in = file.TakeStream();
    if (!in) {
        std::fprintf(stderr, "decode: cannot open %s: %s\n", input.c_str(), file.Error().c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) {
        std::fprintf(stderr, "decode: cannot create %s\n", outDir.string().c_str());
        std::fclose(in);
        return 1;
    }

    morvane::MpegVideoDecoder decoder;
    decoder.Start(in);
    using Clock = std::chrono::steady_clock;
    Clock::duration busy{};
    int frames = 0;
    int status = 0;
    for (;;) {
        const auto t0 = Clock::now();
        const morvane::DecodedPlanes* frame = decoder.NextFrame();
        if (!frame) {
            busy += Clock::now() - t0;
            break;
        }
        std::vector<uint8_t> bytes;
        char name[32];
        if (yuv) {
            busy += Clock::now() - t0;
            bytes = Planes420(*frame);
            std::snprintf(name, sizeof name, "mpeg%04d.yuv", frames);
        } else {
            const std::string head = "P6\n" + std::to_string(frame->width) + " " + std::to_string(frame->height) + "\n255\n";
            const size_t pixels = static_cast<size_t>(frame->width) * frame->height;
            std::vector<uint8_t> rgbx = morvane::FrameToRgbx(*frame, decoder.OutputKernels());
            busy += Clock::now() - t0;
            bytes.resize(head.size() + pixels * 3);
            std::copy(head.begin(), head.end(), bytes.begin());
            uint8_t* out = bytes.data() + head.size();
            for (size_t p = 0; p < pixels; ++p, out += 3) std::memcpy(out, &rgbx[4 * p], 3);
            std::snprintf(name, sizeof name, "mpeg%04d.ppm", frames);
        }
        if (const morvane::Result<> written = WriteFile(outDir / name, bytes); !written.ok()) {
            std::fprintf(stderr, "decode: cannot write %s: %s; %d frame%s written\n", (outDir / name).string().c_str(),
                         written.error.c_str(), frames, frames == 1 ? "" : "s");
            status = 1;
            break;
        }
        ++frames;
    }
    std::fclose(in);
    if (status == 0 && decoder.Stopped()) {
        std::fprintf(stderr, "decode: %s cannot be decoded further; %d frame%s written\n", input.c_str(), frames,
                     frames == 1 ? "" : "s");
        status = 1;
    } else if (status == 0 && frames == 0) {
        std::fprintf(stderr, "decode: %s holds no picture of an MPEG-1 or MPEG-2 video stream\n", input.c_str());
        status = 1;
    }
    if (frames > 0) {
        if (const morvane::Result<> synced = morvane::SyncFolder(outDir); !synced.ok()) {
            std::fprintf(stderr, "decode: cannot write %s: %s\n", outDir.string().c_str(), synced.error.c_str());
            status = 1;
        }
    }
    const double seconds = std::chrono::duration<double>(busy).count();
    std::printf("%d frames\n", frames);
    std::printf("%.1f frames per second\n", seconds > 0 ? frames / seconds : 0.0);
    return status;
}
