// Helpers of the decoder tests: streams made by ffmpeg, decoding a whole
// stream into 4:2:0 frames, capturing the decoder's messages.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

#include "codec/BitWriter.h"
#include "codec/DecoderCore.h"
#include "codec/DecoderMessages.h"
#include "codec/VlcTables.h"

namespace dectest {

namespace fs = std::filesystem;

// A fresh folder below the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir()
    {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("morvane_dectest_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline bool HaveFfmpeg()
{
    static const bool have = std::system("ffmpeg -version > /dev/null 2>&1") == 0;
    return have;
}

inline std::vector<uint8_t> ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs ffmpeg with its moving test pattern as input (`frames` frames of
// `size`) and `args`, writing `out`.  False when it fails.
inline bool MakeStream(const fs::path& out, const std::string& size, int frames, const std::string& args)
{
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc2=size=" + size + ":rate=25 -frames:v " +
                            std::to_string(frames) + " " + args + " '" + out.string() + "' < /dev/null";
    return std::system(cmd.c_str()) == 0 && fs::exists(out);
}

// ffmpeg's own decode of `stream` as raw yuv420p frames.
inline std::vector<uint8_t> FfmpegDecode(const fs::path& stream, const fs::path& work)
{
    const fs::path out = work / "ffmpeg_decode.yuv";
    const std::string cmd = "ffmpeg -v error -y -i '" + stream.string() +
                            "' -fps_mode passthrough -f rawvideo -pix_fmt yuv420p '" + out.string() + "' < /dev/null";
    if (std::system(cmd.c_str()) != 0) return {};
    return ReadFile(out);
}

// One frame as planes of the picture size (chroma (w+1)/2 x (h+1)/2).
struct Yuv {
    int width = 0, height = 0;
    std::vector<uint8_t> y, cb, cr;
};

inline Yuv CopyPlanes(const morvane::DecodedPlanes& f)
{
    Yuv out;
    out.width = f.width;
    out.height = f.height;
    const int cw = (f.width + 1) / 2, ch = (f.height + 1) / 2;
    for (int r = 0; r < f.height; ++r) out.y.insert(out.y.end(), f.y + r * f.lumaStride, f.y + r * f.lumaStride + f.width);
    for (int r = 0; r < ch; ++r) {
        out.cb.insert(out.cb.end(), f.cb + r * f.chromaStride, f.cb + r * f.chromaStride + cw);
        out.cr.insert(out.cr.end(), f.cr + r * f.chromaStride, f.cr + r * f.chromaStride + cw);
    }
    return out;
}

// Collects the messages of whatever decoder or front-end call it is handed to.
// The colour the decoder's output gives one sample: a flat 16 x 16 frame
// of it through the plain conversion.
inline void ConvertedSample(int y, int cb, int cr, int matrixCoefficients, uint8_t rgb[3])
{
    const std::vector<uint8_t> luma(16 * 16, static_cast<uint8_t>(y));
    const std::vector<uint8_t> blue(8 * 8, static_cast<uint8_t>(cb)), red(8 * 8, static_cast<uint8_t>(cr));
    const morvane::DecodedPlanes planes{luma.data(), blue.data(), red.data(), 16, 8, 16, 16, 16, 16,
                                        false, true, matrixCoefficients, 0};
    uint8_t rgbx[16 * 16 * 4];
    morvane::ConvertFrameToRgb(planes, rgbx, 16 * 4, morvane::PixelLayout::Rgbx, morvane::DecoderOutputKernelsFor(0));
    std::memcpy(rgb, rgbx, 3);
}

class MessageCapture {
public:
    morvane::DecoderMessageSink Sink()
    {
        return [this](morvane::DecoderMessageKind kind, const std::string& text) {
            (kind == morvane::DecoderMessageKind::Alert ? alerts : diagnostics).push_back(text);
        };
    }
    std::vector<std::string> diagnostics;
    std::vector<std::string> alerts;
};

inline std::vector<Yuv> DecodeAll(const std::vector<uint8_t>& stream, morvane::DecoderMessageSink sink = {})
{
    morvane::MpegVideoDecoder decoder(std::move(sink));
    decoder.Start(stream.data(), stream.size());
    std::vector<Yuv> frames;
    while (const morvane::DecodedPlanes* f = decoder.NextFrame()) frames.push_back(CopyPlanes(*f));
    return frames;
}

inline double Psnr(const uint8_t* a, const uint8_t* b, size_t n)
{
    double se = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    if (se == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(n) / se);
}

// ---- hand-built streams -----------------------------------------------------

// An aligned start code 0x000001xx.
inline void PutStartCode(morvane::mpeg::BitWriter& w, int code)
{
    w.AlignBits();
    w.PutBits(0x000001, 24);
    w.PutBits(code, 8);
}

// A sequence header of frame_rate_code 3 without matrices.
inline void PutSequenceHeader(morvane::mpeg::BitWriter& w, int width, int height, int aspect, int bitRate,
                              int vbvSize)
{
    PutStartCode(w, 0xB3);
    w.PutBits(width & 0xFFF, 12);
    w.PutBits(height & 0xFFF, 12);
    w.PutBits(aspect, 4);
    w.PutBits(3, 4);
    w.PutBits(bitRate, 18);
    w.PutBits(1, 1);
    w.PutBits(vbvSize, 10);
    w.PutBits(0, 3);  // constrained_parameters_flag, no matrices
}

// A sequence extension: main profile at main level, interlaced 4:2:0, the
// given horizontal_size_extension.
inline void PutSequenceExtension(morvane::mpeg::BitWriter& w, int hExt = 0)
{
    PutStartCode(w, 0xB5);
    w.PutBits(1, 4);
    w.PutBits(0x48, 8);
    w.PutBits(0, 1);  // progressive_sequence
    w.PutBits(1, 2);  // 4:2:0
    w.PutBits(hExt, 2);
    w.PutBits(0, 2);  // vertical_size_extension
    w.PutBits(0, 12);
    w.PutBits(1, 1);
    w.PutBits(0, 8);
    w.PutBits(0, 8);  // low_delay, frame_rate_extension_n and _d
}

// The code of `value` in a table.
inline void PutVlc(morvane::mpeg::BitWriter& w, std::span<const morvane::mpeg::VlcEntry> table, int value)
{
    for (const morvane::mpeg::VlcEntry& e : table) {
        if (e.value == value) {
            w.PutBits(e.code, e.length);
            return;
        }
    }
    ADD_FAILURE() << "no code for " << value;
}

// An intra DC difference: dct_dc_size, then dct_dc_differential.
inline void PutDcDifferential(morvane::mpeg::BitWriter& w, bool luma, int diff)
{
    int size = 0;
    while ((std::abs(diff) >> size) != 0) ++size;
    PutVlc(w, luma ? morvane::mpeg::kDctDcSizeLuminance : morvane::mpeg::kDctDcSizeChrominance, size);
    if (size) w.PutBits(diff < 0 ? diff + (1 << size) - 1 : diff, size);
}

}  // namespace dectest
